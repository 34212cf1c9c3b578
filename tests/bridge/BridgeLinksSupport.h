#pragma once

// Helpers of the link tests (tst_bridge_links_*): the message log as plain texts, the statistics
// file, and a controller prepared for one language and product.

#include <QCoreApplication>
#include <QFile>
#include <QMap>
#include <QStringList>

#include "../link/LinkTestDevices.h"
#include "TestSupport.h"
#include "bridge/AppBridge.h"

namespace BridgeLinks {

using LinkTest::kLongWaitMs;

using LinkTest::bytes;

inline QByteArray withBadChecksum(QByteArray frame) {
    frame[frame.size() - 1] = char(frame.at(frame.size() - 1) ^ 0x5A);
    return frame;
}

// A report whose handling is visible: the tracker lost its target (byte 11 = 2).
inline QByteArray targetLostReport(uint8_t sender = 4) {
    QByteArray payload(12, '\0');
    payload[11] = 2;
    return LinkTest::frameBytes(sender, 1, 0x020324, payload);
}

inline QByteArray cameraVersionReply(uint8_t a, uint8_t b, uint8_t c, uint8_t sender = 4) {
    return LinkTest::frameBytes(sender, 1, 0x010317, LinkTest::replyPayload(0, bytes({a, b, c})));
}

// Message log lines without their stamps, repeats spelled out.
inline QStringList messages(const AppBridge& bridge) {
    return TestSupport::logMessages(bridge.messageLog());
}

// The messages appended since `from` lines were in the log.
inline QStringList messagesSince(const AppBridge& bridge, int from) {
    return messages(bridge).mid(from);
}

inline QString statsPath() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/protocol_stats.log");
}
inline int statsBlockCount() {
    return QString::fromUtf8(TestSupport::readFile(statsPath())).count(QStringLiteral("==== Protocol Stats ===="));
}
// The value of one counter line in the last block of the statistics file, -1 when absent.
inline int lastStatsValue(const QString& label) {
    const QString text = QString::fromUtf8(TestSupport::readFile(statsPath()));
    const int at = text.lastIndexOf(label);
    if (at < 0)
        return -1;
    const QString rest = text.mid(at + label.size());
    return rest.left(rest.indexOf(QLatin1Char('\n'))).trimmed().toInt();
}

// A fresh configuration with the given language, when not empty the given product, and more INI
// text after that.
inline void prepareConfig(const QString& language, const QString& product = QString(), const QByteArray& more = {}) {
    QByteArray ini = "[general]\nlanguage=" + language.toUtf8() + "\n";
    if (!product.isEmpty())
        ini += "currentProduct=" + product.toUtf8() + "\n";
    TestSupport::writeConfig(ini + more);
}

// Frames of one message id among those collected.
inline QVector<LinkTest::WireFrame> framesWithId(const LinkTest::FrameCollector& collector, uint32_t id) {
    QVector<LinkTest::WireFrame> result;
    for (const auto& wire : collector.frames)
        if (wire.frame.messageId == id)
            result << wire;
    return result;
}

// Whether the frame was built at or after the one numbered `first`: the controller numbers every
// frame it builds, so this tells frames still on their way from before a moment from later ones.
// Numbers wrap at 256; a test sends far fewer than 128 frames around such a moment.
inline bool builtSince(const LinkTest::WireFrame& wire, uint8_t first) {
    return uint8_t(wire.frame.sequence - first) < 128;
}

inline QString idList(const LinkTest::FrameCollector& collector) {
    QStringList ids;
    for (const auto& wire : collector.frames)
        ids << QStringLiteral("%1@%2ms").arg(wire.frame.messageId, 6, 16, QLatin1Char('0')).arg(wire.atMs);
    return ids.join(QLatin1Char(' '));
}

// Compares the first frames a link-up sent with the expected ids and delays ("" when they match):
// each id as often as expected, each of its frames no earlier than its delay in turn (clock
// started before the link came up), and consecutive numbers. Each timer counts from the moment it
// was started, so on a busy machine one started a little later may fire before another with a
// shorter delay: the order between different ids says nothing and is not checked.
inline QString linkUpMismatch(const LinkTest::FrameCollector& collector,
                              const QVector<QPair<uint32_t, int>>& expected) {
    const auto& frames = collector.frames;
    if (frames.size() < expected.size())
        return QStringLiteral("too few frames: ") + idList(collector);
    QMap<uint32_t, QVector<int>> delays;
    for (const auto& entry : expected)
        delays[entry.first] << entry.second;
    QMap<uint32_t, int> seen;
    for (int i = 0; i < expected.size(); ++i) {
        const auto& wire = frames.at(i);
        const QString what = QStringLiteral("frame %1 of %2").arg(i).arg(idList(collector));
        if (wire.frame.sequence != uint8_t(frames.first().frame.sequence + i))
            return QStringLiteral("numbering: ") + what;
        const int n = seen[wire.frame.messageId]++;
        if (n >= delays.value(wire.frame.messageId).size())
            return QStringLiteral("unexpected: ") + what;
        if (wire.atMs < delays.value(wire.frame.messageId).at(n))
            return QStringLiteral("too early: ") + what;
    }
    return QString();
}

}  // namespace BridgeLinks
