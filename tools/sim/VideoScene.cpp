#include "VideoScene.h"

#include <QPainter>
#include <QTime>

#include <cmath>

#include "FrameStamp.h"

namespace {

constexpr double kWideFieldOfViewDeg = 60.0;

// Thermal false colour of a level from 0 (cold) to 1 (hot): white hot, black hot, rainbow and
// iron, chosen by the palette code as the device numbers them.
QColor thermal(int paletteCode, double level) {
    level = qBound(0.0, level, 1.0);
    // 1 white hot, 2 black hot, 3 and 4 rainbow, 5 iron; the rest take turns.
    const int look = paletteCode <= 5 ? paletteCode : paletteCode % 4 + 1;
    switch (look) {
        case 1:
            return QColor::fromRgbF(level, level, level);
        case 2:
            return QColor::fromRgbF(1 - level, 1 - level, 1 - level);
        case 3:
        case 4:
            return QColor::fromHsvF((1 - level) * 0.66, 1.0, 0.4 + 0.6 * level);
        default:
            return QColor::fromRgbF(qMin(1.0, level * 1.6), qBound(0.0, level * 1.6 - 0.6, 1.0),
                                    level < 0.3 ? level * 2 : qMax(0.0, level * 2.5 - 1.5));
    }
}

QColor sky(const VideoState& state, bool infrared) {
    return infrared ? thermal(state.paletteCode, 0.1) : QColor(90, 150, 215);
}
QColor ground(const VideoState& state, bool infrared) {
    return infrared ? thermal(state.paletteCode, 0.45) : QColor(95, 120, 60);
}

// The outdoor view: sky and ground split by a horizon at the pitch angle, and a post with its
// bearing every 10 degrees of yaw, spaced by the zoom.
void drawLandscape(QPainter& painter, const QRect& area, const VideoState& state, bool infrared) {
    const double zoom = infrared ? state.irZoom : state.zoom;
    const double pixelsPerDeg = area.width() / (kWideFieldOfViewDeg / qMax(1.0, zoom));
    const int horizon = area.center().y() + int(state.pitch * pixelsPerDeg);
    const int clampedHorizon = qBound(area.top(), horizon, area.bottom() + 1);
    painter.fillRect(QRect(area.left(), area.top(), area.width(), clampedHorizon - area.top()), sky(state, infrared));
    painter.fillRect(QRect(area.left(), clampedHorizon, area.width(), area.bottom() + 1 - clampedHorizon),
                     ground(state, infrared));

    const double halfSpanDeg = area.width() / 2.0 / pixelsPerDeg;
    const int firstPost = int(std::floor((state.yaw - halfSpanDeg) / 10.0)) * 10;
    QFont font = painter.font();
    font.setPixelSize(qMax(10, area.height() / 30));
    painter.setFont(font);
    for (int bearing = firstPost; bearing <= state.yaw + halfSpanDeg + 10; bearing += 10) {
        const int x = area.center().x() + int((bearing - state.yaw) * pixelsPerDeg);
        const int postHeight = area.height() / 6;
        const QRect post(x - 4, horizon - postHeight, 8, postHeight);
        painter.fillRect(post.intersected(area), infrared ? thermal(state.paletteCode, 0.85) : QColor(70, 50, 30));
        const int shown = ((bearing % 360) + 360) % 360;
        painter.setPen(infrared ? Qt::white : Qt::black);
        painter.drawText(QPoint(x + 6, qBound(area.top() + 20, horizon - postHeight, area.bottom())),
                         QString::number(shown));
    }
    // Lines on the ground every few degrees below the horizon, so looking down still shows motion.
    painter.setPen(QPen(infrared ? thermal(state.paletteCode, 0.35) : QColor(70, 95, 45), 2));
    for (int depression : {5, 10, 15, 20, 30, 45, 60, 75, 90}) {
        const int y = area.center().y() + int((state.pitch + depression) * pixelsPerDeg);
        if (y < clampedHorizon || y < area.top() || y > area.bottom())
            continue;
        painter.drawLine(area.left(), y, area.right(), y);
        painter.drawText(QPoint(area.left() + 8, y - 4), QStringLiteral("-%1").arg(depression));
    }
    if (infrared) {
        // A warm target in the middle of the view, as a thermal camera would show one.
        const int radius = area.height() / 12;
        QRadialGradient warm(area.center(), radius);
        QColor hot = thermal(state.paletteCode, 1.0);
        warm.setColorAt(0, hot);
        hot.setAlpha(0);
        warm.setColorAt(1, hot);
        painter.setPen(Qt::NoPen);
        painter.setBrush(warm);
        painter.drawEllipse(area.center(), radius, radius);
        painter.setBrush(Qt::NoBrush);
    }
}

QRect toPicture(const QRect& device, QSize deviceFrame, QSize picture) {
    const double sx = double(picture.width()) / deviceFrame.width();
    const double sy = double(picture.height()) / deviceFrame.height();
    return QRect(int(device.x() * sx), int(device.y() * sy), int(device.width() * sx), int(device.height() * sy));
}

// The measuring area, the hottest and coldest points and the spot, on the infrared picture.
void drawThermometry(QPainter& painter, const QRect& infraredArea, const VideoState& state) {
    const auto& t = state.thermometry;
    if (!t.on)
        return;
    const QSize frame(1920, 1080);
    auto toArea = [&](QPoint p) {
        return QPoint(infraredArea.left() + p.x() * infraredArea.width() / frame.width(),
                      infraredArea.top() + p.y() * infraredArea.height() / frame.height());
    };
    painter.setPen(QPen(QColor(0, 220, 230), 2, Qt::DashLine));
    painter.drawRect(QRect(toArea(t.area.topLeft()), toArea(t.area.bottomRight())));
    auto mark = [&](QPoint where, const QColor& colour, double celsius) {
        const QPoint at = toArea(where);
        painter.setPen(QPen(colour, 2));
        painter.drawLine(at - QPoint(10, 0), at + QPoint(10, 0));
        painter.drawLine(at - QPoint(0, 10), at + QPoint(0, 10));
        painter.drawText(at + QPoint(12, -6), QStringLiteral("%1 C").arg(celsius, 0, 'f', 1));
    };
    mark(t.hottest, QColor(255, 60, 40), t.maxC);
    mark(t.coldest, QColor(60, 140, 255), t.minC);
    mark(t.spot, Qt::white, t.spotC);
}

QString outputName(VideoState::Output output) {
    switch (output) {
        case VideoState::Output::Visible:
            return QStringLiteral("visible");
        case VideoState::Output::Infrared:
            return QStringLiteral("infrared");
        case VideoState::Output::Split:
            return QStringLiteral("split");
    }
    return {};
}

void drawOverlay(QPainter& painter, QSize size, const VideoState& state, qint64 epochMs, quint32 frameCounter) {
    QFont font = painter.font();
    font.setPixelSize(qMax(12, size.height() / 32));
    painter.setFont(font);
    const int line = font.pixelSize() + 6;
    const QStringList lines = {
        QStringLiteral("%1  %2  palette %3").arg(state.product, outputName(state.output)).arg(state.paletteCode),
        QStringLiteral("zoom %1x  IR zoom %2x").arg(state.zoom, 0, 'f', 1).arg(state.irZoom, 0, 'f', 1),
        QStringLiteral("pitch %1  yaw %2  roll %3")
            .arg(state.pitch, 0, 'f', 1)
            .arg(state.yaw, 0, 'f', 1)
            .arg(state.roll, 0, 'f', 1),
        QStringLiteral("%1  frame %2")
            .arg(QDateTime::fromMSecsSinceEpoch(epochMs).toString(QStringLiteral("HH:mm:ss.zzz")))
            .arg(frameCounter),
    };
    const int top = size.height() - line * lines.size() - line / 2;
    painter.fillRect(QRect(0, top - line / 2, size.width() / 2, size.height() - top + line / 2), QColor(0, 0, 0, 120));
    painter.setPen(Qt::white);
    for (int i = 0; i < lines.size(); ++i)
        painter.drawText(QPoint(line / 2, top + line * i + font.pixelSize()), lines[i]);

    if (state.recording) {
        const QString text = QStringLiteral("REC %1:%2")
                                 .arg(state.recordingSeconds / 60, 2, 10, QLatin1Char('0'))
                                 .arg(state.recordingSeconds % 60, 2, 10, QLatin1Char('0'));
        painter.setPen(QColor(230, 30, 30));
        painter.setBrush(QColor(230, 30, 30));
        const int x = size.width() - line * 7;
        painter.drawEllipse(QPoint(x, line), line / 3, line / 3);
        painter.drawText(QPoint(x + line / 2, line + font.pixelSize() / 3), text);
        painter.setBrush(Qt::NoBrush);
    }
    for (const auto& detection : state.detections) {
        const QRect box = toPicture(detection.box, QSize(1920, 1080), size);
        painter.setPen(QPen(QColor(250, 210, 40), 3));
        painter.drawRect(box);
        painter.drawText(box.topLeft() + QPoint(0, -4), detection.label);
    }
    if (state.tracking && !state.trackingBox.isEmpty()) {
        painter.setPen(QPen(QColor(40, 230, 70), 3));
        painter.drawRect(toPicture(state.trackingBox, QSize(1920, 1088), size));
    }
}

}  // namespace

QImage VideoScene::render(const VideoState& state, QSize size, qint64 epochMs, quint32 frameCounter) {
    QImage image(size, QImage::Format_RGB32);
    {
        QPainter painter(&image);
        const QRect whole(QPoint(0, 0), size);
        switch (state.output) {
            case VideoState::Output::Visible:
                drawLandscape(painter, whole, state, false);
                break;
            case VideoState::Output::Infrared:
                drawLandscape(painter, whole, state, true);
                drawThermometry(painter, whole, state);
                break;
            case VideoState::Output::Split: {
                const QRect left(0, 0, size.width() / 2, size.height());
                const QRect right(size.width() / 2, 0, size.width() - size.width() / 2, size.height());
                painter.setClipRect(left);
                drawLandscape(painter, left, state, false);
                painter.setClipRect(right);
                drawLandscape(painter, right, state, true);
                drawThermometry(painter, right, state);
                painter.setClipping(false);
                break;
            }
        }
        drawOverlay(painter, size, state, epochMs, frameCounter);
    }
    FrameStamp::paint(image, epochMs, frameCounter);
    return image;
}
