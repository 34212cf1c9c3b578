#include "VideoPlayerItem.h"

VideoPlayerItem::VideoPlayerItem(QQuickItem* parent) : QQuickItem(parent) { setFlag(ItemHasContents, true); }

void VideoPlayerItem::setUrl(const QString& url) {
    if (url == m_url) return;
    m_url = url;
    emit urlChanged();
}
