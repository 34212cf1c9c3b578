#pragma once

// The interface with a link up to a loopback device (UDP or a pseudo-terminal) that records what
// the application sends, for the tests that check a panel's effect on the wire.

#include <QtTest>

#include <memory>

#include "LinkTestDevices.h"
#include "UiFixture.h"

namespace Ui {

enum class Link { Udp, Serial };

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
        collector().clear();
        return true;
    }

    LinkTest::FrameCollector& collector() { return udp ? udp->collector : pty->collector; }
    const LinkTest::FrameCollector& collector() const { return udp ? udp->collector : pty->collector; }

    bool deliver(const QByteArray& frame) { return udp ? udp->send(frame) : pty->write(frame); }

    // Payloads (spaced hex) of the frames with this message id, in the order sent.
    QStringList payloads(uint32_t id) {
        QStringList result;
        for (const auto& wire : collector().frames)
            if (wire.frame.messageId == id)
                result << LinkTest::hex(wire.payload());
        return result;
    }

    static void addLinkRows() {
        QTest::addColumn<Link>("link");
        QTest::newRow("udp") << Link::Udp;
        QTest::newRow("serial") << Link::Serial;
    }
};

}  // namespace Ui

Q_DECLARE_METATYPE(Ui::Link)
