#include "VideoFrameItem.h"

#include <QPainter>
#include <QQuickWindow>
#include <QSGImageNode>
#include <QSGRectangleNode>
#include <QSGRendererInterface>
#include <QSGTexture>
#include <cmath>
#include <memory>

#include "VideoGeometry.h"
#include "bridge/ProductModel.h"

QString defaultCameraStreamUrl() {
    return QStringLiteral("rtsp://%1:8600/videoh264_chn0").arg(kDeviceAddressA);
}

namespace {

// The top-left corner of the rounded look: black outside a quarter circle, clear inside, so that the
// four corner nodes cover whatever lies under the item's corners (picture or letter-box bar).
QImage cornerMask(qreal devicePixelRatio) {
    const int side = qMax(1, int(std::ceil(VideoFrameItem::kCornerRadius * devicePixelRatio)));
    QImage mask(side, side, QImage::Format_ARGB32_Premultiplied);
    mask.fill(Qt::black);
    QPainter painter(&mask);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setCompositionMode(QPainter::CompositionMode_Clear);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawEllipse(QPointF(side, side), side, side);
    return mask;
}

// The item's scene graph: black background, the picture (when there is one), the corner masks on top.
// A transform node (identity) rather than a plain node: Qt Quick's software renderer places a child
// added later (the picture, on the first frame) with the transform and clip of its nearest transform,
// clip or opacity node, and for a plain parent it finds none and draws the picture at the window's
// origin instead of on the item.
class VideoFrameNode : public QSGTransformNode {
public:
    ~VideoFrameNode() override {
        delete pictureTexture;
        delete cornerTexture;
    }

    QSGRectangleNode* background = nullptr;
    QSGImageNode* picture = nullptr;
    QSGTexture* pictureTexture = nullptr;
    QSGImageNode* corners[4] = {};
    QSGTexture* cornerTexture = nullptr;
    quint64 pictureSerial = 0;
};

VideoFrameNode* createFrameNode(QQuickWindow* window) {
    auto* node = new VideoFrameNode;
    node->background = window->createRectangleNode();
    node->background->setColor(Qt::black);
    node->appendChildNode(node->background);
    node->cornerTexture = window->createTextureFromImage(cornerMask(window->effectiveDevicePixelRatio()));
    const QSGImageNode::TextureCoordinatesTransformMode mirror[4] = {
        QSGImageNode::NoTransform, QSGImageNode::MirrorHorizontally, QSGImageNode::MirrorVertically,
        QSGImageNode::MirrorHorizontally | QSGImageNode::MirrorVertically};
    for (int i = 0; i < 4; ++i) {
        QSGImageNode* corner = window->createImageNode();
        corner->setTexture(node->cornerTexture);
        corner->setOwnsTexture(false);
        corner->setSourceRect(QRectF(QPointF(0, 0), node->cornerTexture->textureSize()));
        corner->setFiltering(QSGTexture::Linear);
        corner->setTextureCoordinatesTransform(mirror[i]);
        node->corners[i] = corner;
        node->appendChildNode(corner);
    }
    // Serial 0 is "no picture", which a new node shows already.
    return node;
}

void placeCorners(VideoFrameNode* node, const QRectF& bounds) {
    const qreal r = qMin<qreal>(VideoFrameItem::kCornerRadius, qMin(bounds.width(), bounds.height()) / 2);
    node->corners[0]->setRect(QRectF(bounds.left(), bounds.top(), r, r));
    node->corners[1]->setRect(QRectF(bounds.right() - r, bounds.top(), r, r));
    node->corners[2]->setRect(QRectF(bounds.left(), bounds.bottom() - r, r, r));
    node->corners[3]->setRect(QRectF(bounds.right() - r, bounds.bottom() - r, r, r));
}

}  // namespace

VideoFrameItem::VideoFrameItem(QQuickItem* parent) : QQuickItem(parent), m_url(defaultCameraStreamUrl()) {
    setFlag(ItemHasContents, true);
    updatePictureRect();
}

VideoFrameItem::~VideoFrameItem() = default;

void VideoFrameItem::setUrl(const QString& url) {
    if (url == m_url)
        return;
    m_url = url;
    emit urlChanged();
}

void VideoFrameItem::clear() {
    writePicture([](QImage& picture) {
        picture = QImage();
        return false;
    });
}

QImage VideoFrameItem::image() const {
    QMutexLocker locker(&m_pictureLock);
    return m_image;
}

VideoFrameItem::FrameCounts VideoFrameItem::frameCounts() const {
    QMutexLocker locker(&m_pictureLock);
    return m_counts;
}

void VideoFrameItem::showPicture(const QImage& picture) {
    writePicture([&picture](QImage& current) {
        current = picture;
        return !picture.isNull();
    });
    setVideoSize(picture.width(), picture.height());
}

void VideoFrameItem::writePicture(const std::function<bool(QImage& picture)>& write) {
    {
        QMutexLocker locker(&m_pictureLock);
        ++m_pictureSerial;
        const bool shown = write(m_image) && !m_image.isNull();
        if (shown) {
            ++m_counts.decoded;
            if (m_pictureWaiting)
                ++m_counts.replaced;
            m_pictureWaiting = true;
            pictureArrived();
        } else {
            m_image = QImage();
            m_pictureWaiting = false;
        }
        m_hasPicture = !m_image.isNull();
    }
    if (m_hasPicture) {
        m_connecting = false;
        setStreamProblem({});
    }
    updateStreamStatus();
    update();
}

QString VideoFrameItem::streamStatus() const {
    return m_streamStatus;
}

void VideoFrameItem::setConnecting(bool connecting) {
    m_connecting = connecting;
    setStreamProblem({});
    updateStreamStatus();
}

void VideoFrameItem::refusePictureSize(int width, int height, int maxWidth, int maxHeight) {
    setStreamProblem({
        {QStringLiteral("kind"), QStringLiteral("pictureTooLarge")},
        {QStringLiteral("width"), width},
        {QStringLiteral("height"), height},
        {QStringLiteral("maxWidth"), maxWidth},
        {QStringLiteral("maxHeight"), maxHeight},
        {QStringLiteral("detail"), QStringLiteral("%1x%2 > %3x%4").arg(width).arg(height).arg(maxWidth).arg(maxHeight)},
    });
}

void VideoFrameItem::setStreamProblem(const QVariantMap& problem) {
    if (problem == m_streamProblem)
        return;
    m_streamProblem = problem;
    emit streamProblemChanged();
}

void VideoFrameItem::updateStreamStatus() {
    const QString status = m_hasPicture ? QStringLiteral("playing")
                                        : (m_connecting ? QStringLiteral("connecting") : QStringLiteral("idle"));
    if (status == m_streamStatus)
        return;
    m_streamStatus = status;
    emit streamStatusChanged();
}

void VideoFrameItem::setVideoSize(int width, int height) {
    m_videoWidth = width;
    m_videoHeight = height;
    updatePictureRect();
}

void VideoFrameItem::geometryChanged(const QRectF& newGeometry, const QRectF& oldGeometry) {
    QQuickItem::geometryChanged(newGeometry, oldGeometry);
    updatePictureRect();
}

void VideoFrameItem::updatePictureRect() {
    const QRect rect = letterBoxRect(m_videoWidth, m_videoHeight, size());
    {
        QMutexLocker locker(&m_pictureLock);
        m_pictureRect = rect;
    }
    update();
    if (QRectF(rect) != m_contentRect) {
        m_contentRect = QRectF(rect);
        emit contentRectChanged();
    }
}

// Runs while the GUI thread waits for the scene graph to take over the item's state; the picture
// lock still guards the picture against the latency hooks of the render thread.
QSGNode* VideoFrameItem::updatePaintNode(QSGNode* oldNode, UpdatePaintNodeData*) {
    QQuickWindow* const win = window();
    auto* node = static_cast<VideoFrameNode*>(oldNode);
    if (!node)
        node = createFrameNode(win);
    const QRectF bounds = boundingRect();
    node->background->setRect(bounds);
    placeCorners(node, bounds);

    QMutexLocker locker(&m_pictureLock);
    if (node->pictureSerial != m_pictureSerial) {
        node->pictureSerial = m_pictureSerial;
        QSGTexture* const previous = node->pictureTexture;
        node->pictureTexture = nullptr;
        if (m_image.isNull()) {
            delete node->picture;
            node->picture = nullptr;
        } else {
            node->pictureTexture = win->createTextureFromImage(m_image, QQuickWindow::TextureIsOpaque);
            const bool added = !node->picture;
            if (added) {
                node->picture = win->createImageNode();
                node->picture->setOwnsTexture(false);
                // Smooth scaling costs nothing on a GPU; Qt Quick's software renderer scales faster
                // without it, as the painted item did before.
                const bool software = win->rendererInterface()->graphicsApi() == QSGRendererInterface::Software;
                node->picture->setFiltering(software ? QSGTexture::Nearest : QSGTexture::Linear);
            }
            node->picture->setTexture(node->pictureTexture);
            node->picture->setSourceRect(QRectF(QPointF(0, 0), node->pictureTexture->textureSize()));
            node->picture->setRect(QRectF(m_pictureRect));
            // Only a node with its texture may join the tree: the software renderer reads it at once.
            if (added)
                node->insertChildNodeAfter(node->picture, node->background);
            if (m_pictureWaiting) {
                m_pictureWaiting = false;
                ++m_counts.drawn;
                pictureDrawn();
            }
        }
        delete previous;
    }
    if (node->picture)
        node->picture->setRect(QRectF(m_pictureRect));
    return node;
}
