#pragma once

// The interface with a link up to a loopback device (UDP or a pseudo-terminal) that records what
// the application sends, for the tests that check a panel's effect on the wire.

#include <QElapsedTimer>
#include <QtTest>

#include <memory>

#include "LinkTestDevices.h"
#include "UiFixture.h"
#include "protocol/MessageCatalogue.h"

namespace Ui {

// GimbalControl payloads: mode 0 with the yaw and pitch codes (0 negative, 1 positive, 2 none).
const QString kStop = QStringLiteral("00 02 02 00");

// A stop the device has not confirmed within 400 ms is sent once more by the controller itself;
// its session-log line tells that copy from a stop of the interface's own. Counted from the test's
// start (install()) or the last LinkedDevice::clear().
namespace Resends {
inline int count = 0;
inline QtMessageHandler chained = nullptr;
inline void countLine(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains(QStringLiteral("未确认，重发一次")))
        ++count;
    chained(type, context, message);
}
inline void install() {
    chained = qInstallMessageHandler(countLine);
}
}  // namespace Resends

enum class Link { Udp, Serial };

// Payload bytes as a device lays them out: single bytes and little-endian 16-bit values.
inline QByteArray bytes(std::initializer_list<int> list) {
    QByteArray result;
    for (int b : list)
        result.append(char(b));
    return result;
}
inline QByteArray u16(int value) {
    return bytes({value & 0xFF, (value >> 8) & 0xFF});
}
inline int u16At(const QByteArray& payload, int at) {
    return quint8(payload[at]) | (quint8(payload[at + 1]) << 8);
}

class LinkedDevice {
public:
    std::unique_ptr<LinkTest::UdpDevice> udp;
    std::unique_ptr<LinkTest::PtyDevice> pty;

    void reset() {
        udp.reset();
        pty.reset();
    }

    // Brings the link up on the fixture's controller and lets the link-up traffic pass.
    bool attach(Fixture& ui, Link link) {
        reset();
        if (link == Link::Udp) {
            udp = std::make_unique<LinkTest::UdpDevice>();
            ui.bridge->connectUdp(QStringLiteral("127.0.0.1"), udp->port());
        } else {
            pty = std::make_unique<LinkTest::PtyDevice>();
            if (!ui.bridge->openSerial(pty->slavePath(), 115200))
                return false;
        }
        if (!collector().waitForFrames(1, 10000))
            return false;
        Fixture::settle(600);
        clear();
        return true;
    }

    // The runtime page of a product (with a stream address that reaches nothing) and the link up.
    bool start(Fixture& ui, const QString& product, Link link = Link::Udp, const QString& language = "en",
               const QByteArray& extra = {}) {
        return ui.start(config(language, product, {"rtsp://127.0.0.1:9/a"}, extra)) && attach(ui, link);
    }

    LinkTest::FrameCollector& collector() { return udp ? udp->collector : pty->collector; }
    const LinkTest::FrameCollector& collector() const { return udp ? udp->collector : pty->collector; }

    bool deliver(const QByteArray& frame) { return udp ? udp->send(frame) : pty->write(frame); }

    void clear() {
        collector().clear();
        Resends::count = 0;
    }

    // Payloads of the frames with this message id, in the order sent.
    QVector<QByteArray> raw(uint32_t id) const {
        QVector<QByteArray> result;
        for (const auto& wire : collector().frames)
            if (wire.frame.messageId == id)
                result << wire.payload();
        return result;
    }
    // The same as spaced hex.
    QStringList payloads(uint32_t id) const {
        QStringList result;
        for (const QByteArray& payload : raw(id))
            result << LinkTest::hex(payload);
        return result;
    }

    // Gimbal moves: the GimbalControl frames with this payload, the moves among them and the
    // interface's own stops.
    int controls(const QString& payload) const { return payloads(MessageId::GimbalControl).count(payload); }
    int moves() const { return payloads(MessageId::GimbalControl).size() - controls(kStop); }
    int stops() const { return controls(kStop) - Resends::count; }

    // A held direction repeats about every 33 ms: a slow machine sends fewer, never one per 20 ms.
    void verifyRepeat(const QString& payload, const QElapsedTimer& held) {
        QTRY_VERIFY_WITH_TIMEOUT(controls(payload) >= 5, 15000);
        const qint64 ms = held.elapsed();
        const int sent = moves();
        QVERIFY2(sent <= ms / 20 + 2, qPrintable(QString("%1 moves in %2 ms").arg(sent).arg(ms)));
        QCOMPARE(payloads(MessageId::GimbalControl).first(), payload);
    }

    // After a release: exactly one stop, after the last move, and the moves have ended.
    void verifyOneStop() {
        QTRY_VERIFY_WITH_TIMEOUT(stops() >= 1, 10000);
        const int sent = moves();
        Fixture::settle(600);
        QCOMPARE(moves(), sent);
        QCOMPARE(stops(), 1);
        QCOMPARE(payloads(MessageId::GimbalControl).indexOf(kStop), sent);
    }

    static void addLinkRows() {
        QTest::addColumn<Link>("link");
        QTest::newRow("udp") << Link::Udp;
        QTest::newRow("serial") << Link::Serial;
    }
};

}  // namespace Ui

Q_DECLARE_METATYPE(Ui::Link)
