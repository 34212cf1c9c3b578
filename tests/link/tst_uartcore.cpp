#include <QSerialPort>
#include <QSignalSpy>
#include <QtTest>

#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>

#include "LinkTestDevices.h"
#include "link/SerialCommand.h"
#include "link/Uartcore.h"

using LinkTest::kLongWaitMs;
using LinkTest::PtyDevice;

class TestUartcore : public QObject {
    Q_OBJECT

private:
    static bool openPty(Uartcore& link, const PtyDevice& pty) {
        return link.open(pty.slavePath(), 115200, QSerialPort::Data8, QSerialPort::NoParity, QSerialPort::OneStop,
                         QSerialPort::NoFlowControl);
    }

private slots:
    // The line is 8N1 without flow control; bytes go both ways while the port is open, nothing
    // either way after it was closed.
    void bytesBothWaysUntilClosed() {
        PtyDevice pty;
        QVERIFY(pty.isValid());
        Uartcore link;
        QCOMPARE(link.dataBits(), int(QSerialPort::Data8));
        QCOMPARE(link.parity(), int(QSerialPort::NoParity));
        QCOMPARE(link.stopBits(), int(QSerialPort::OneStop));
        QCOMPARE(link.flowControl(), int(QSerialPort::NoFlowControl));
        QCOMPARE(link.channelId(), uint16_t(0xFFFF));
        QVERIFY2(openPty(link, pty), qPrintable(pty.slavePath()));
        QSignalSpy raw(&link, &Uartcore::rawBytesReceived);
        QSignalSpy ready(&link, &Uartcore::readSignal);
        const QByteArray five("\xFD\x00\x01\x02\x03", 5);
        QVERIFY(pty.write(five));
        QTRY_COMPARE_WITH_TIMEOUT(raw.count(), 1, kLongWaitMs);  // one notification, one signal
        QCOMPARE(raw.at(0).at(0).toByteArray(), five);
        QVERIFY(ready.count() >= 1);
        // A notification that finds nothing waiting emits nothing.
        link.readData();
        QCOMPARE(raw.count(), 1);

        QVERIFY(!link.write(QByteArray()));
        const QByteArray frame = LinkTest::frameBytes(1, 4, 0x000200, QByteArray("\x01\x00", 2));
        QVERIFY(link.write(frame));
        QTRY_COMPARE_WITH_TIMEOUT(pty.received, frame, kLongWaitMs);

        link.close();
        QVERIFY(!link.isOpen());
        QVERIFY(!link.write(QByteArray("x")));
        pty.write(QByteArray("\x01\x02\x03", 3));
        QTest::qWait(100);
        QCOMPARE(raw.count(), 1);
    }

    // Listing ports opens none of them (an open toggles DTR and resets many boards), and neither
    // closes nor re-points the open one. inotify sees every open of the other terminal's device node.
    void listingOpensNoPortAndLeavesTheOpenOneWorking() {
        PtyDevice pty;
        PtyDevice other;
        Uartcore link;
        QVERIFY(openPty(link, pty));
        QSignalSpy raw(&link, &Uartcore::rawBytesReceived);
        const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        QVERIFY(watch >= 0);
        QVERIFY(inotify_add_watch(watch, QFile::encodeName(other.slavePath()).constData(), IN_OPEN | IN_ATTRIB) >= 0);

        link.availablePortNames();
        const QVector<Uartcore::PortEntry> ports{
            {"open", pty.slavePath()}, {"other", other.slavePath()}, {"gone", "/dev/skyvane-no-such-tty"}};
        QStringList denied;
        QCOMPARE(Uartcore::usablePortNames(ports, pty.slavePath(), &denied), QStringList({"open", "other"}));
        QVERIFY(denied.isEmpty());
        inotify_event event{};
        QVERIFY2(::read(watch, &event, sizeof event) < 0 && errno == EAGAIN, "the listing opened a port");
        // The watch itself works: an open of the node is seen.
        ::close(::open(QFile::encodeName(other.slavePath()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK));
        QVERIFY(::read(watch, &event, sizeof event) > 0 && (event.mask & IN_OPEN));
        ::close(watch);

        QVERIFY(link.isOpen());
        QVERIFY2(pty.slavePath().endsWith(link.openPortName()), qPrintable(link.openPortName()));
        QVERIFY(pty.write(QByteArray("\x11\x22", 2)));
        QTRY_COMPARE_WITH_TIMEOUT(raw.count(), 1, kLongWaitMs);
        QVERIFY(link.write(QByteArray("\x33", 1)));
        QTRY_COMPARE_WITH_TIMEOUT(pty.received, QByteArray("\x33", 1), kLongWaitMs);
    }

    void serialCommandBuffersUpTo250Bytes() {
        SerialCommand stream;
        QCOMPARE(stream.available(), uint16_t(0));
        QCOMPARE(stream.readByte(), uint8_t(0));  // reading past the end yields 0 and advances
        QCOMPARE(stream.available(), uint16_t(0));

        SerialCommand full;
        for (int i = 0; i < 300; ++i)
            full.writeByte(uint8_t(i));
        QCOMPARE(full.count(), uint8_t(250));
        QCOMPARE(full.available(), uint16_t(250));
        QCOMPARE(full.readByte(), uint8_t(0));
        QCOMPARE(full.readByte(), uint8_t(1));
        QCOMPARE(full.available(), uint16_t(248));
    }
};

QTEST_GUILESS_MAIN(TestUartcore)
#include "tst_uartcore.moc"
