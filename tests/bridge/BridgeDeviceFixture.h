#pragma once

// A controller talking to a loopback test device over UDP or a pseudo-terminal, for the tests of
// the operator commands, the status reports and the replies (tst_bridge_<group>). The device side
// sees the application's frames and can answer on the same link.

#include <QTest>

#include <functional>
#include <memory>

#include "BridgeLinksSupport.h"

namespace BridgeDevice {

enum class Link { Udp, Serial };

using BridgeLinks::bytes;

// Little-endian u16 as two bytes.
inline QByteArray u16(int value) {
    return bytes({uint8_t(value & 0xFF), uint8_t((value >> 8) & 0xFF)});
}

// Visible-camera status report (0x000005 / 0x020005): zoom state in byte 0, ratio x 10 in bytes 3-4.
inline QByteArray zoomReport(bool zooming, int ratioTimesTen, int length = 15) {
    QByteArray payload(length, '\0');
    payload[0] = char(zooming ? 1 : 0);
    payload.replace(3, 2, u16(ratioTimesTen));
    return payload;
}

using LinkTest::kLongWaitMs;

// Skips the current row when the machine was too slow for a scenario that has to fit in a window
// of the controller's (for example an answer before the 400 ms resend): its outcome says nothing.
#define SKIP_IF_WINDOW_OVERRUN(elapsedMs, windowMs)                                                        \
    do {                                                                                                   \
        if ((elapsedMs) >= (windowMs))                                                                     \
            QSKIP(qPrintable(QStringLiteral("machine too slow: the scenario took %1 ms of a %2 ms window") \
                                 .arg(elapsedMs)                                                           \
                                 .arg(windowMs)));                                                         \
    } while (false)

// One row per link, in an int column "link".
inline void addLinkRows() {
    QTest::addColumn<int>("link");
    QTest::newRow("udp") << int(Link::Udp);
    QTest::newRow("serial") << int(Link::Serial);
}

inline QString linkName(Link link) {
    return link == Link::Udp ? QStringLiteral("udp") : QStringLiteral("serial");
}

// Two rows per link, in an int column "link" and a bool column `flag`: the case named `whenTrue`,
// then the one named `whenFalse`.
inline void addLinkRows(const char* flag, const char* whenTrue, const char* whenFalse) {
    QTest::addColumn<int>("link");
    QTest::addColumn<bool>(flag);
    for (Link link : {Link::Udp, Link::Serial}) {
        QTest::addRow("%s-%s", qPrintable(linkName(link)), whenTrue) << int(link) << true;
        QTest::addRow("%s-%s", qPrintable(linkName(link)), whenFalse) << int(link) << false;
    }
}

class Fixture {
public:
    std::unique_ptr<LinkTest::UdpDevice> udp;
    std::unique_ptr<LinkTest::PtyDevice> pty;
    std::unique_ptr<AppBridge> bridge;

    ~Fixture() { reset(); }

    void reset() {
        bridge.reset();
        udp.reset();
        pty.reset();
        m_handledBase = 0;
        m_framesDelivered = 0;
    }

    // A controller for the language and product, with no link; `moreIni` is added to its configuration.
    AppBridge& offline(const QString& language, const QString& product, const QByteArray& moreIni = {}) {
        reset();
        BridgeLinks::prepareConfig(language, product, moreIni);
        bridge = std::make_unique<AppBridge>();
        markMessages();
        return *bridge;
    }

    // A controller with the given link up and the first link-up traffic (tracking stop and its
    // 150 ms repeat, clock, versions) behind it; the frame collector and message mark start fresh.
    // The reads due at 400 and 500 ms may still follow.
    AppBridge& up(Link link, const QString& language = QStringLiteral("en"),
                  const QString& product = QStringLiteral("Wren-R2"), const QByteArray& moreIni = {}) {
        offline(language, product, moreIni);
        return attach(link);
    }

    // Brings the given link up on the existing controller.
    AppBridge& attach(Link link) {
        if (link == Link::Udp) {
            udp = std::make_unique<LinkTest::UdpDevice>();
            bridge->connectUdp(QStringLiteral("127.0.0.1"), udp->port());
        } else {
            pty = std::make_unique<LinkTest::PtyDevice>();
            if (!bridge->openSerial(pty->slavePath(), 115200))
                qWarning("pseudo-terminal open failed");
        }
        // The silent repeat of the stop is the last frame of the 150 ms batch; on serial the announced
        // version request shares its moment.
        waitSent(kTrackingId, 2);
        if (pty)
            waitSent(kCameraVersionId, 1);
        clearFrames();
        markMessages();
        m_handledBase = framesHandled();
        m_framesDelivered = 0;
        return *bridge;
    }

    LinkTest::FrameCollector& collector() { return udp ? udp->collector : pty->collector; }

    // Sends a device frame to the application on whichever link is up; a whole frame sent while
    // the controller's link is open is one that settle() waits for.
    bool deliver(const QByteArray& frame) {
        const bool sent = udp ? udp->send(frame) : (pty && pty->write(frame));
        ParsedFrame parsed;
        if (sent && bridge && (bridge->udpConnected() || bridge->serialOpened()) &&
            parseFrame(reinterpret_cast<const uint8_t*>(frame.constData()), uint16_t(frame.size()), &parsed))
            ++m_framesDelivered;
        return sent;
    }
    // Device frame from `sender`: a reply (result + rest) or any payload.
    bool reply(uint32_t id, uint16_t result, const QByteArray& rest = {}, uint8_t sender = 4) {
        return deliver(LinkTest::frameBytes(sender, 1, id, LinkTest::replyPayload(result, rest)));
    }
    bool report(uint32_t id, const QByteArray& payload, uint8_t sender = 4) {
        return deliver(LinkTest::frameBytes(sender, 1, id, payload));
    }

    void clearFrames() { collector().clear(); }
    QVector<LinkTest::WireFrame> sent(uint32_t id) { return BridgeLinks::framesWithId(collector(), id); }
    // Waits until `count` frames of the id are on the wire (or the timeout passed); the caller
    // checks how many came.
    QVector<LinkTest::WireFrame> waitSent(uint32_t id, int count = 1, int timeoutMs = kLongWaitMs) {
        static_cast<void>(QTest::qWaitFor([&] { return sent(id).size() >= count; }, timeoutMs));
        return sent(id);
    }
    // Payload of the only frame of the id sent so far, as spaced hex; "" when none, "many" when more.
    QString payloadHex(uint32_t id) {
        const auto frames = waitSent(id);
        if (frames.size() != 1)
            return frames.isEmpty() ? QString() : QStringLiteral("many: ") + BridgeLinks::idList(collector());
        return LinkTest::hex(frames.first().payload());
    }
    QString wire() { return BridgeLinks::idList(collector()); }

    void markMessages() { m_messageMark = bridge ? BridgeLinks::messages(*bridge).size() : 0; }
    QStringList newMessages() const { return BridgeLinks::messagesSince(*bridge, m_messageMark); }
    // Milliseconds on the collector's clock, the one the wire frames are stamped with.
    qint64 now() const { return udp ? udp->collector.clock.elapsed() : pty->collector.clock.elapsed(); }

    // Frames the controller has taken in on either link since the link came up.
    int framesHandled() const {
        return bridge ? bridge->protocolCounters().udpFrames + bridge->protocolCounters().uartFrames : 0;
    }
    // Waits until the controller has taken in every frame deliver() sent (false after the timeout).
    bool waitHandled(int timeoutMs = kLongWaitMs) {
        return QTest::qWaitFor([&] { return framesHandled() - m_handledBase >= m_framesDelivered; }, timeoutMs);
    }
    // Lets the controller take in what was delivered, then run its zero-delay notifications and
    // whatever else is due within `ms`; it is also the settle time before checking an absence.
    void settle(int ms = 60) {
        waitHandled();
        QTest::qWait(ms);
    }

private:
    static constexpr uint32_t kTrackingId = 0x000324;
    static constexpr uint32_t kCameraVersionId = 0x000317;

    int m_messageMark = 0;
    int m_handledBase = 0;
    int m_framesDelivered = 0;
};

}  // namespace BridgeDevice

// A command of the controller, as a column of a test table.
using Command = std::function<void(AppBridge&)>;
Q_DECLARE_METATYPE(Command)
