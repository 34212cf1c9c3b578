#include "VideoScene.h"

#include <QPainter>
#include <QTime>

#include <cmath>

#include "FrameStamp.h"

namespace {

constexpr double kWideFieldOfViewDeg = 60.0;

QColor sky(bool infrared) {
    return infrared ? QColor(25, 25, 35) : QColor(90, 150, 215);
}
QColor ground(bool infrared) {
    return infrared ? QColor(120, 110, 100) : QColor(95, 120, 60);
}

// The outdoor view: sky and ground split by a horizon at the pitch angle, and a post with its
// bearing every 10 degrees of yaw, spaced by the zoom.
void drawLandscape(QPainter& painter, const QRect& area, const VideoState& state, bool infrared) {
    const double zoom = infrared ? state.irZoom : state.zoom;
    const double pixelsPerDeg = area.width() / (kWideFieldOfViewDeg / qMax(1.0, zoom));
    const int horizon = area.center().y() + int(state.pitch * pixelsPerDeg);
    const int clampedHorizon = qBound(area.top(), horizon, area.bottom() + 1);
    painter.fillRect(QRect(area.left(), area.top(), area.width(), clampedHorizon - area.top()), sky(infrared));
    painter.fillRect(QRect(area.left(), clampedHorizon, area.width(), area.bottom() + 1 - clampedHorizon),
                     ground(infrared));

    const double halfSpanDeg = area.width() / 2.0 / pixelsPerDeg;
    const int firstPost = int(std::floor((state.yaw - halfSpanDeg) / 10.0)) * 10;
    QFont font = painter.font();
    font.setPixelSize(qMax(10, area.height() / 30));
    painter.setFont(font);
    for (int bearing = firstPost; bearing <= state.yaw + halfSpanDeg + 10; bearing += 10) {
        const int x = area.center().x() + int((bearing - state.yaw) * pixelsPerDeg);
        const int postHeight = area.height() / 6;
        const QRect post(x - 4, horizon - postHeight, 8, postHeight);
        painter.fillRect(post.intersected(area), infrared ? QColor(235, 235, 235) : QColor(70, 50, 30));
        const int shown = ((bearing % 360) + 360) % 360;
        painter.setPen(infrared ? Qt::white : Qt::black);
        painter.drawText(QPoint(x + 6, qBound(area.top() + 20, horizon - postHeight, area.bottom())),
                         QString::number(shown));
    }
    // Lines on the ground every few degrees below the horizon, so looking down still shows motion.
    painter.setPen(QPen(infrared ? QColor(90, 85, 80) : QColor(70, 95, 45), 2));
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
        warm.setColorAt(0, QColor(255, 255, 255));
        warm.setColorAt(1, QColor(255, 255, 255, 0));
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
        QStringLiteral("%1  %2  palette %3").arg(state.product, outputName(state.output), state.palette),
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
                break;
            case VideoState::Output::Split: {
                const QRect left(0, 0, size.width() / 2, size.height());
                const QRect right(size.width() / 2, 0, size.width() - size.width() / 2, size.height());
                painter.setClipRect(left);
                drawLandscape(painter, left, state, false);
                painter.setClipRect(right);
                drawLandscape(painter, right, state, true);
                painter.setClipping(false);
                break;
            }
        }
        drawOverlay(painter, size, state, epochMs, frameCounter);
    }
    FrameStamp::paint(image, epochMs, frameCounter);
    return image;
}
