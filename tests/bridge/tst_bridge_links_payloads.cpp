// Payloads of the link-up requests and the tracking box, as pure functions and on the wire.
#include <QtTest>

#include <time.h>

#include "BridgeLinksSupport.h"
#include "bridge/AppBridgePayloads.h"

using namespace BridgeLinks;

namespace {

int32_t readI32(const QByteArray& bytes, int at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | uint8_t(bytes.at(at + i));
    return int32_t(v);
}

int64_t readI64(const QByteArray& bytes, int at) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | uint8_t(bytes.at(at + i));
    return int64_t(v);
}

}  // namespace

class TestBridgeLinksPayloads : public QObject {
    Q_OBJECT

private slots:
    void timeSyncZoneByProduct_data() {
        QTest::addColumn<QString>("product");
        QTest::addColumn<int>("offsetSeconds");
        QTest::addColumn<int>("zone");
        QTest::newRow("Dove-on-UTC") << "Dove" << 0 << 480;
        QTest::newRow("Tern-on-UTC-5") << "Tern" << -5 * 3600 << 480;
        QTest::newRow("Tern-LITE-B-on-UTC+8") << "Tern-LITE-B" << 8 * 3600 << 480;
        QTest::newRow("Wren-R2-on-UTC+5:30") << "Wren-R2" << 19800 << -330;
        QTest::newRow("WrenT-R2-on-UTC+8") << "WrenT-R2" << 8 * 3600 << -480;
        QTest::newRow("Tern-LITE-A-on-UTC-5") << "Tern-LITE-A" << -5 * 3600 << 300;
        QTest::newRow("no-product-on-UTC-3:30") << "" << -(3 * 3600 + 1800) << 210;
        QTest::newRow("other-name-on-UTC+0:45") << "tern" << 45 * 60 << -45;
    }
    void timeSyncZoneByProduct() {
        QFETCH(QString, product);
        QFETCH(int, offsetSeconds);
        QFETCH(int, zone);
        const QDateTime now(QDate(2026, 7, 1), QTime(12, 0), Qt::OffsetFromUTC, offsetSeconds);
        const LinkPayloads::TimeZoneFields fields = LinkPayloads::timeSyncZone(product, now);
        QCOMPARE(fields.zoneMinutes, zone);
        QCOMPARE(fields.daylightSaving, 0);
    }

    void timeSyncLayout() {
        const auto payload = LinkPayloads::encodeTimeSync(0x0102030405060708LL, {-330, 1});
        const QByteArray bytes(reinterpret_cast<const char*>(payload.data()), int(payload.size()));
        QCOMPARE(LinkTest::hex(bytes), QStringLiteral("08 07 06 05 04 03 02 01 b6 fe ff ff 01 00 00 00"));
    }

    // On the wire, with the computer's zone set through TZ.
    void timeSyncOnTheWire_data() {
        QTest::addColumn<QString>("product");
        QTest::addColumn<QByteArray>("tz");
        QTest::addColumn<int>("zone");
        QTest::newRow("Dove-UTC") << "Dove" << QByteArray("UTC0") << 480;
        QTest::newRow("Wren-R2-UTC+5:30") << "Wren-R2" << QByteArray("IST-5:30") << -330;
        QTest::newRow("Tern-LITE-A-UTC-5") << "Tern-LITE-A" << QByteArray("EST5") << 300;
    }
    void timeSyncOnTheWire() {
        QFETCH(QString, product);
        QFETCH(QByteArray, tz);
        QFETCH(int, zone);
        const QByteArray savedTz = qgetenv("TZ");
        qputenv("TZ", tz);
        tzset();
        prepareConfig(QStringLiteral("en"), product);
        LinkTest::UdpDevice device;
        {
            AppBridge bridge;
            bridge.connectUdp(QStringLiteral("127.0.0.1"), device.port());
            QTRY_VERIFY_WITH_TIMEOUT(!framesWithId(device.collector, 0x00030E).isEmpty(), kLongWaitMs);
            bridge.disconnectUdp();
        }
        if (savedTz.isNull())
            qunsetenv("TZ");
        else
            qputenv("TZ", savedTz);
        tzset();
        const auto wire = framesWithId(device.collector, 0x00030E).first();
        QCOMPARE(wire.frame.receiverId, uint8_t(4));
        const QByteArray payload = wire.payload();
        QCOMPARE(payload.size(), 16);
        QVERIFY2(qAbs(readI64(payload, 0) - QDateTime::currentMSecsSinceEpoch()) < 5000,
                 qPrintable(LinkTest::hex(payload)));
        QCOMPARE(readI32(payload, 8), zone);
        QCOMPARE(readI32(payload, 12), 0);
    }

    void trackingBoxClipping_data() {
        QTest::addColumn<QVector<int>>("box");
        QTest::addColumn<QVector<int>>("sent");
        QTest::newRow("overhanging-right-bottom")
            << QVector<int>{1900, 1000, 100, 200} << QVector<int>{1900, 1000, 20, 88};
        QTest::newRow("negative-and-empty") << QVector<int>{-5, -5, 0, 0} << QVector<int>{0, 0, 1, 1};
        QTest::newRow("beyond-the-frame") << QVector<int>{5000, 5000, 5000, 5000} << QVector<int>{1919, 1087, 1, 1};
        QTest::newRow("inside") << QVector<int>{100, 200, 300, 400} << QVector<int>{100, 200, 300, 400};
    }
    void trackingBoxClipping() {
        QFETCH(QVector<int>, box);
        QFETCH(QVector<int>, sent);
        const auto clipped = LinkPayloads::clipTrackingBox(box[0], box[1], box[2], box[3]);
        const auto payload = LinkPayloads::encodeTrackingBox(true, clipped);
        QCOMPARE(payload[0], uint8_t(1));
        for (int i = 0; i < 4; ++i)
            QCOMPARE(int(payload[1 + 2 * i] | (payload[2 + 2 * i] << 8)), sent[i]);
        QCOMPARE(payload[9], uint8_t(0));
    }

    void stopCarriesAnEmptyBox() {
        const auto payload = LinkPayloads::encodeTrackingBox(false, LinkPayloads::clipTrackingBox(10, 10, 10, 10));
        QCOMPARE(payload[0], uint8_t(2));
        for (size_t i = 1; i < payload.size(); ++i)
            QCOMPARE(payload[i], uint8_t(0));
    }

    void resolutionCodes() {
        QCOMPARE(LinkPayloads::photoResolutionIndex(0x13), -1);
        QCOMPARE(LinkPayloads::photoResolutionIndex(0x14), 0);
        QCOMPARE(LinkPayloads::photoResolutionIndex(0x17), 3);
        QCOMPARE(LinkPayloads::photoResolutionIndex(0x18), -1);
        QCOMPARE(LinkPayloads::recordResolutionIndex(0x08), 0);
        QCOMPARE(LinkPayloads::recordResolutionIndex(0x26), 1);
        QCOMPARE(LinkPayloads::recordResolutionIndex(0x36), 2);
        QCOMPARE(LinkPayloads::recordResolutionIndex(0x14), -1);
    }
};

QTEST_GUILESS_MAIN(TestBridgeLinksPayloads)
#include "tst_bridge_links_payloads.moc"
