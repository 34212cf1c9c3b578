#include "IconPainter.h"

#include <QPainter>
#include <QPainterPath>

#include <functional>
#include <map>

namespace {

// One palette and one line weight (4 px drawn, 2 px shown) for every picture.
const QColor kInk(0x4b, 0x56, 0x63);
const QColor kLight(0xdf, 0xe5, 0xec);
const QColor kAccent(0x40, 0x9e, 0xff);
const QColor kError(0xf5, 0x6c, 0x6c);
const QColor kWhite(0xff, 0xff, 0xff);
const QColor kBodyFill(0xee, 0xf3, 0xf9);
const QColor kBodyShade(0xdc, 0xe5, 0xf0);
const QColor kLensFill(0x2b, 0x33, 0x3d);
constexpr qreal kStroke = 4.0;

QImage blank(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

void prepare(QPainter& p, const QColor& ink) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(ink, kStroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
}

QPainterPath polyline(std::initializer_list<QPointF> points, bool closed = false) {
    QPainterPath path;
    bool first = true;
    for (const QPointF& point : points) {
        if (first)
            path.moveTo(point);
        else
            path.lineTo(point);
        first = false;
    }
    if (closed)
        path.closeSubpath();
    return path;
}

QImage home() {
    QImage image = blank(44, 44);
    QPainter p(&image);
    prepare(p, kInk);
    p.drawPath(polyline({{7, 22}, {22, 8}, {37, 22}}));
    p.drawPath(polyline({{12, 18}, {12, 36}, {32, 36}, {32, 18}}));
    p.drawRoundedRect(QRectF(19, 26, 6, 10), 1.5, 1.5);
    return image;
}

QImage clear() {
    QImage image = blank(40, 40);
    QPainter p(&image);
    prepare(p, kWhite);
    p.drawLine(QPointF(8, 11), QPointF(32, 11));
    p.drawPath(polyline({{16, 11}, {16, 6}, {24, 6}, {24, 11}}));
    p.drawPath(polyline({{11, 11}, {13, 34}, {27, 34}, {29, 11}}));
    p.drawLine(QPointF(17.5, 17), QPointF(17.5, 28));
    p.drawLine(QPointF(22.5, 17), QPointF(22.5, 28));
    return image;
}

QImage recorder(const QColor& ink) {
    QImage image = blank(64, 64);
    QPainter p(&image);
    prepare(p, ink);
    p.drawRoundedRect(QRectF(7, 19, 34, 26), 5, 5);
    p.drawPath(polyline({{41, 28}, {56, 20}, {56, 44}, {41, 36}}, true));
    p.setBrush(ink);
    p.drawEllipse(QPointF(16, 28), 2, 2);
    return image;
}

QImage camera(const QColor& ink) {
    QImage image = blank(64, 64);
    QPainter p(&image);
    prepare(p, ink);
    QPainterPath body;
    body.addRoundedRect(QRectF(7, 20, 50, 32), 6, 6);
    p.drawPath(body);
    p.drawPath(polyline({{21, 20}, {25, 13}, {39, 13}, {43, 20}}));
    p.drawEllipse(QPointF(32, 36), 9, 9);
    p.setBrush(ink);
    p.drawEllipse(QPointF(49, 27), 1.5, 1.5);
    return image;
}

// The SD card both SD pictures start from: outline with a clipped corner and three contacts.
void drawSdCard(QPainter& p) {
    prepare(p, kLight);
    p.drawPath(polyline({{38, 12}, {72, 12}, {72, 84}, {24, 84}, {24, 26}}, true));
    for (qreal x : {44.0, 53.0, 62.0})
        p.drawLine(QPointF(x, 21), QPointF(x, 31));
}

QImage sdNone() {
    QImage image = blank(96, 96);
    QPainter p(&image);
    drawSdCard(p);
    p.setPen(QPen(kError, kStroke, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(16, 90), QPointF(80, 6));
    return image;
}

QImage sdError() {
    QImage image = blank(96, 96);
    QPainter p(&image);
    drawSdCard(p);
    p.setPen(Qt::NoPen);
    p.setBrush(kError);
    p.drawEllipse(QPointF(66, 70), 18, 18);
    p.setPen(QPen(kWhite, kStroke, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(66, 61), QPointF(66, 71));
    p.drawPoint(QPointF(66, 79));
    return image;
}

// Product pictures: a mount plate, a yaw stem, a yoke and the camera pod with its lenses.
struct GimbalShape {
    bool ball = false;    // round pod instead of a box
    qreal podSize = 180;  // box width/height or ball diameter
    int lenses = 1;       // 1: visible; 2: + infrared; 3: + laser
    qreal yokeWidth = 240;
};

void drawLens(QPainter& p, QPointF centre, qreal radius) {
    p.setBrush(kLensFill);
    p.drawEllipse(centre, radius, radius);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kAccent, kStroke));
    p.drawEllipse(centre, radius * 0.55, radius * 0.55);
    p.setPen(QPen(kInk, kStroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(kWhite);
    p.setPen(Qt::NoPen);
    p.drawEllipse(centre + QPointF(-radius * 0.3, -radius * 0.3), radius * 0.12, radius * 0.12);
    p.setPen(QPen(kInk, kStroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

void drawInfraredWindow(QPainter& p, QPointF centre, qreal size) {
    p.setBrush(kLensFill);
    p.drawRoundedRect(QRectF(centre.x() - size / 2, centre.y() - size / 2, size, size), 8, 8);
    p.setPen(QPen(kError, kStroke));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, size * 0.24, size * 0.24);
    p.setPen(QPen(kInk, kStroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

QImage gimbal(const GimbalShape& shape) {
    // Drawn on a 720-wide plan, shifted so that the gimbal fills a 560 x 420 picture.
    QImage image = blank(560, 420);
    QPainter p(&image);
    p.translate(-80, -16);
    prepare(p, kInk);
    const qreal cx = 360;
    const qreal podTop = 170;
    const qreal podCentreY = podTop + shape.podSize / 2;

    // Mount plate and stem
    p.setBrush(kBodyShade);
    p.drawRoundedRect(QRectF(cx - 110, 48, 220, 26), 8, 8);
    p.setBrush(kBodyFill);
    p.drawRect(QRectF(cx - 22, 74, 44, 44));
    // Yoke
    const qreal half = shape.yokeWidth / 2;
    QPainterPath yoke =
        polyline({{cx - half, podCentreY}, {cx - half, 118}, {cx + half, 118}, {cx + half, podCentreY}});
    p.setPen(QPen(kInk, 22, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(yoke);
    p.setPen(QPen(kBodyShade, 22 - 2 * kStroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(yoke);
    p.setPen(QPen(kInk, kStroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(kBodyFill);
    p.drawEllipse(QPointF(cx - half, podCentreY), 16, 16);
    p.drawEllipse(QPointF(cx + half, podCentreY), 16, 16);

    // Pod
    const QRectF pod(cx - shape.podSize / 2, podTop, shape.podSize, shape.podSize);
    p.setBrush(kBodyFill);
    if (shape.ball)
        p.drawEllipse(pod);
    else
        p.drawRoundedRect(pod, 36, 36);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kBodyShade, kStroke));
    p.drawArc(pod.adjusted(14, 14, -14, -14), 200 * 16, 140 * 16);
    p.setPen(QPen(kInk, kStroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));

    const qreal lensRadius = shape.podSize * (shape.lenses == 1 ? 0.22 : 0.16);
    if (shape.lenses == 1) {
        drawLens(p, QPointF(cx, podCentreY), lensRadius);
    } else {
        const qreal dx = shape.podSize * 0.2;
        drawLens(p, QPointF(cx - dx, podCentreY), lensRadius);
        drawInfraredWindow(p, QPointF(cx + dx, podCentreY), lensRadius * 1.7);
        if (shape.lenses >= 3)
            drawLens(p, QPointF(cx, podCentreY + shape.podSize * 0.3), lensRadius * 0.45);
    }
    return image;
}

}  // namespace

namespace IconPainter {

QStringList iconNames() {
    return {"home", "clear", "recorder", "recorder_blue", "camera", "camera_blue", "sd_none", "SD_EROR"};
}

QImage icon(const QString& name) {
    static const std::map<QString, std::function<QImage()>> painters = {
        {"home", home},
        {"clear", clear},
        {"recorder", [] { return recorder(kLight); }},
        {"recorder_blue", [] { return recorder(kAccent); }},
        {"camera", [] { return camera(kLight); }},
        {"camera_blue", [] { return camera(kAccent); }},
        {"sd_none", sdNone},
        {"SD_EROR", sdError},
    };
    const auto found = painters.find(name);
    return found == painters.end() ? QImage() : found->second();
}

QStringList productNames() {
    return {"WrenT-R2", "Wren-R2", "Tern-LITE-A", "Tern-LITE-B", "Tern", "Dove"};
}

QImage productPicture(const QString& product) {
    GimbalShape shape;
    if (product == "WrenT-R2") {
        shape.lenses = 2;
    } else if (product == "Tern-LITE-A") {
        shape = {true, 230, 2, 280};
    } else if (product == "Tern-LITE-B") {
        shape = {true, 230, 3, 280};
    } else if (product == "Tern") {
        shape = {false, 250, 3, 310};
    } else if (product == "Dove") {
        shape = {true, 170, 1, 210};
    }
    return gimbal(shape);
}

QImage defaultPicture() {
    QImage image = blank(720, 540);
    QPainter p(&image);
    prepare(p, kBodyShade);
    const QPointF centre(360, 270);
    p.drawEllipse(centre, 190, 190);
    p.drawEllipse(centre, 130, 130);
    for (int i = 0; i < 12; ++i) {
        p.save();
        p.translate(centre);
        p.rotate(i * 30);
        p.drawLine(QPointF(0, -190), QPointF(0, -(i % 3 == 0 ? 160 : 176)));
        p.restore();
    }
    // The vane: a long pointer towards the upper right, a tail feather below left.
    p.save();
    p.translate(centre);
    p.rotate(45);
    p.setPen(QPen(kInk, kStroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(kAccent);
    p.drawPath(polyline({{0, -150}, {22, -40}, {0, -56}, {-22, -40}}, true));
    p.setBrush(kBodyFill);
    p.drawPath(polyline({{0, 40}, {30, 130}, {0, 110}, {-30, 130}}, true));
    p.drawLine(QPointF(0, -56), QPointF(0, 40));
    p.setBrush(kWhite);
    p.drawEllipse(QPointF(0, 0), 14, 14);
    p.restore();
    return image;
}

// A camera hanging from its gimbal mount on a dark tile: mount bar and stem, body, lens.
QImage applicationIcon(int size) {
    QImage image = blank(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 256.0, size / 256.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1f, 0x3b, 0x57));
    p.drawRoundedRect(QRectF(8, 8, 240, 240), 44, 44);
    p.setBrush(QColor(0xe8, 0xee, 0xf4));
    p.drawRect(QRectF(60, 52, 136, 20));
    p.drawRect(QRectF(117, 72, 22, 30));
    p.setBrush(QColor(0x3a, 0x6d, 0x99));
    p.drawRoundedRect(QRectF(56, 100, 144, 100), 18, 18);
    const QPointF lensCentre(128, 150);
    p.setBrush(QColor(0x0d, 0x1b, 0x28));
    p.drawEllipse(lensCentre, 38, 38);
    p.setBrush(QColor(0x5f, 0xb3, 0xff));
    p.drawEllipse(lensCentre, 27, 27);
    p.setBrush(kWhite);
    p.drawEllipse(QPointF(119, 141), 7, 7);
    return image;
}

}  // namespace IconPainter
