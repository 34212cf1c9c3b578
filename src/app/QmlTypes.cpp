#include "QmlTypes.h"

#include <QtQml>

#include "bridge/MessageLogView.h"
#include "video/VideoPlayerItem.h"

void registerQmlTypes() {
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    qmlRegisterType<VideoPlayerItem>("Skyvane", 1, 0, "FFmpegItem");
    qmlRegisterType<MessageLogView>("Skyvane", 1, 0, "MessageLogView");
}
