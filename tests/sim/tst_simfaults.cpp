#include <QtTest>

#include "FaultInjector.h"
#include "FrameStream.h"
#include "SimOptions.h"
#include "protocol/FrameCodec.h"

namespace {

QByteArray frame(quint8 sequence, int payloadLength = 4) {
    QByteArray payload(payloadLength, char(0x11));
    uint8_t buffer[kMaxFrameLength];
    const uint16_t length = buildFrame(buffer, 1, 1, sequence, 4, 1, 0x020003,
                                       reinterpret_cast<const uint8_t*>(payload.constData()), uint8_t(payloadLength));
    return QByteArray(reinterpret_cast<const char*>(buffer), length);
}

bool parses(const QByteArray& bytes) {
    ParsedFrame parsed;
    return parseFrame(reinterpret_cast<const uint8_t*>(bytes.constData()), uint16_t(bytes.size()), &parsed);
}

QByteArray joined(const FaultInjector::Shaped& shaped) {
    QByteArray all;
    for (const auto& write : shaped.writes)
        all += write.bytes;
    return all;
}

}  // namespace

// Fault injection must do what it says, the same way for the same seed; the serial deframer must
// find every frame again behind garbage and across split writes; the command line must refuse
// what the simulator cannot honour.
class TestSimFaults : public QObject {
    Q_OBJECT

private slots:
    void sameSeedSameFaults() {
        FaultOptions options;
        options.drop = options.duplicate = options.corrupt = options.garbage = options.split = 0.3;
        FaultInjector first(options, 42);
        FaultInjector second(options, 42);
        FaultInjector other(options, 43);
        QByteArray a, b, c;
        for (int i = 0; i < 200; ++i) {
            a += joined(first.shape(frame(quint8(i)), true));
            b += joined(second.shape(frame(quint8(i)), true));
            c += joined(other.shape(frame(quint8(i)), true));
        }
        QCOMPARE(a, b);
        QVERIFY(a != c);
    }

    void eachFaultDoesWhatItSays_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("serial");
        QTest::newRow("drop-udp") << "drop" << false;
        QTest::newRow("duplicate-udp") << "duplicate" << false;
        QTest::newRow("corrupt-serial") << "corrupt" << true;
        QTest::newRow("garbage-udp-own-datagram") << "garbage" << false;
        QTest::newRow("garbage-serial-before-frame") << "garbage" << true;
        QTest::newRow("split-serial") << "split" << true;
        QTest::newRow("split-ignored-on-udp") << "split" << false;
    }

    void eachFaultDoesWhatItSays() {
        QFETCH(QString, fault);
        QFETCH(bool, serial);
        FaultOptions options;
        if (fault == "drop")
            options.drop = 1;
        if (fault == "duplicate")
            options.duplicate = 1;
        if (fault == "corrupt")
            options.corrupt = 1;
        if (fault == "garbage")
            options.garbage = 1;
        if (fault == "split")
            options.split = 1;
        FaultInjector injector(options, 7);
        const QByteArray original = frame(9);
        const FaultInjector::Shaped shaped = injector.shape(original, serial);
        if (fault == "drop") {
            QVERIFY(shaped.writes.isEmpty());
        } else if (fault == "duplicate") {
            QCOMPARE(shaped.writes.size(), 2);
            QCOMPARE(shaped.writes[0].bytes, original);
            QCOMPARE(shaped.writes[1].bytes, original);
        } else if (fault == "corrupt") {
            QCOMPARE(shaped.writes.size(), 1);
            QCOMPARE(shaped.writes[0].bytes.size(), original.size());
            QVERIFY(!parses(shaped.writes[0].bytes));
        } else if (fault == "garbage" && !serial) {
            QCOMPARE(shaped.writes.size(), 2);
            QVERIFY(!parses(shaped.writes[0].bytes));
            QCOMPARE(shaped.writes[1].bytes, original);
        } else if (fault == "garbage") {
            QCOMPARE(shaped.writes.size(), 1);
            QVERIFY(shaped.writes[0].bytes.endsWith(original));
            QVERIFY(shaped.writes[0].bytes.size() > original.size());
        } else if (fault == "split" && serial) {
            QCOMPARE(shaped.writes.size(), 2);
            QCOMPARE(shaped.writes[0].bytes + shaped.writes[1].bytes, original);
            QVERIFY(shaped.writes[1].delayMs > 0);
        } else {
            QCOMPARE(shaped.writes.size(), 1);
            QCOMPARE(shaped.writes[0].bytes, original);
        }
        QCOMPARE(shaped.faults.isEmpty(), fault == "split" && !serial);
    }

    void refusalAndSilenceAreByMessageNumber() {
        SimOptions options;
        const auto parse =
            parseSimOptions({"--refuse", "0x0302=0x0204", "--refuse", "0x0106", "--silent", "0x0400"}, &options);
        QVERIFY2(parse.ok, qPrintable(parse.error));
        FaultInjector injector(options.faults, 1);
        quint16 code = 0;
        QVERIFY(injector.refuses(0x0302, &code));
        QCOMPARE(code, quint16(0x0204));
        QVERIFY(injector.refuses(0x0106, &code));
        QCOMPARE(code, quint16(1));
        QVERIFY(!injector.refuses(0x0303, &code));
        QVERIFY(injector.silences(0x0400));
        QVERIFY(!injector.silences(0x0406));
    }

    // Garbage, a stray start byte, a corrupted frame and writes split at every position: every
    // intact frame comes out once, in order.
    void serialStreamFindsEveryFrame() {
        QByteArray stream;
        stream += QByteArray::fromHex("0102030405");
        stream += frame(1);
        stream += QByteArray::fromHex("fd03");  // a start byte that begins nothing
        stream += frame(2, 20);
        QByteArray broken = frame(3);
        broken[broken.size() - 1] = char(broken[broken.size() - 1] ^ 1);
        stream += broken;
        stream += frame(4, 0);
        for (int chunk = 1; chunk <= stream.size(); ++chunk) {
            FrameStream reader;
            QVector<QByteArray> frames;
            for (int at = 0; at < stream.size(); at += chunk)
                frames += reader.append(stream.mid(at, chunk)).frames;
            QVERIFY2(frames.size() == 3, qPrintable(QString("chunk %1: %2 frames").arg(chunk).arg(frames.size())));
            QCOMPARE(frames[0], frame(1));
            QCOMPARE(frames[1], frame(2, 20));
            QCOMPARE(frames[2], frame(4, 0));
            QVERIFY(reader.buffered() < kFrameOverhead);
        }
    }

    void commandLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("ok");
        QTest::newRow("defaults") << QStringList{} << true;
        QTest::newRow("everything") << QStringList{"--product", "Tern",          "--udp", "127.0.0.1:1031",
                                                   "--serial",  "--rtsp-port",   "0",     "--video-size",
                                                   "1920x1080", "--codec",       "h265",  "--rtsp-outage",
                                                   "5:2",       "--rtsp-outage", "20:1",  "--seed",
                                                   "9",         "--drop",        "0.1",   "--delay",
                                                   "50"}
                                    << true;
        QTest::newRow("unknown-product") << QStringList{"--product", "tern"} << false;
        QTest::newRow("udp-not-loopback") << QStringList{"--udp", "192.0.2.1:1030"} << false;
        QTest::newRow("udp-without-port") << QStringList{"--udp", "127.0.0.1"} << false;
        QTest::newRow("odd-video-size") << QStringList{"--video-size", "1281x720"} << false;
        QTest::newRow("fraction-above-one") << QStringList{"--corrupt", "1.5"} << false;
        QTest::newRow("outage-without-duration") << QStringList{"--rtsp-outage", "5"} << false;
        QTest::newRow("refusal-code-too-big") << QStringList{"--refuse", "0x0302=70000"} << false;
    }

    void commandLine() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, ok);
        SimOptions options;
        const auto parse = parseSimOptions(arguments, &options);
        QVERIFY2(parse.ok == ok, qPrintable(parse.error));
        if (QByteArray(QTest::currentDataTag()) == "everything") {
            QCOMPARE(options.product, QStringLiteral("Tern"));
            QCOMPARE(options.udpPort, quint16(1031));
            QVERIFY(options.serial);
            QCOMPARE(options.rtspPort, quint16(0));
            QCOMPARE(options.videoSize, QSize(1920, 1080));
            QVERIFY(options.h265);
            QCOMPARE(options.outages.size(), 2);
            QCOMPARE(options.outages[1].startS, 20.0);
            QCOMPARE(options.faults.delayMs, 50);
        }
    }
};

QTEST_GUILESS_MAIN(TestSimFaults)
#include "tst_simfaults.moc"
