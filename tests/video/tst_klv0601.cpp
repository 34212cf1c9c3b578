// The KLV local set encoder against the published example values of the UAS Datalink Local Set
// (each mapped item byte for byte, the checksum of the published example packet), and the
// telemetry's ageing and texts.
#include <QtTest>

#include "RecordingReader.h"
#include "video/Klv0601.h"
#include "video/Telemetry.h"

class Klv0601Test : public QObject {
    Q_OBJECT

private slots:
    void itemsMapAsPublished_data() {
        QTest::addColumn<int>("tag");
        QTest::addColumn<double>("value");
        QTest::addColumn<QByteArray>("item");
        QTest::newRow("azimuth-example") << 18 << 160.719211474396 << QByteArray::fromHex("12 04 72 4A 0A 20");
        QTest::newRow("elevation-example") << 19 << -168.792324833941 << QByteArray::fromHex("13 04 87 F8 4B 86");
        QTest::newRow("roll-example") << 20 << 176.865437690572 << QByteArray::fromHex("14 04 7D C5 5E CE");
        QTest::newRow("slant-range-example") << 21 << 68590.983298744770 << QByteArray::fromHex("15 04 03 83 09 26");
        // The gimbal reports angles of -180..180: azimuth and roll are written as 0..360.
        QTest::newRow("azimuth-negative-wraps") << 18 << -90.0 << QByteArray::fromHex("12 04 BF FF FF FF");
        QTest::newRow("roll-negative-wraps") << 20 << -90.0 << QByteArray::fromHex("14 04 BF FF FF FF");
        QTest::newRow("elevation-top") << 19 << 180.0 << QByteArray::fromHex("13 04 7F FF FF FF");
        QTest::newRow("elevation-bottom") << 19 << -180.0 << QByteArray::fromHex("13 04 80 00 00 01");
        // Beyond its range the signed item carries the value the standard keeps for "out of range".
        QTest::newRow("elevation-out-of-range") << 19 << 181.0 << QByteArray::fromHex("13 04 80 00 00 00");
        QTest::newRow("elevation-not-a-number") << 19 << std::nan("") << QByteArray::fromHex("13 04 80 00 00 00");
        QTest::newRow("slant-range-clamped") << 21 << 6e6 << QByteArray::fromHex("15 04 FF FF FF FF");
        QTest::newRow("azimuth-not-a-number-left-out") << 18 << std::nan("") << QByteArray();
    }
    void itemsMapAsPublished() {
        QFETCH(int, tag);
        QFETCH(double, value);
        QFETCH(QByteArray, item);
        QCOMPARE(Klv0601::encodeItem(Klv0601::Tag(tag), value).toHex(' '), item.toHex(' '));
    }

    void timeStampAndChecksumAsPublished() {
        // 2009-01-12 22:08:22 UTC.
        QCOMPARE(Klv0601::encodeTimeStamp(1231798102000000ull).toHex(' '),
                 QByteArray::fromHex("02 08 00 04 60 50 58 4E 01 80").toHex(' '));
        const QByteArray example = QByteArray::fromHex(
            "06 0E 2B 34 02 0B 01 01 0E 01 03 01 01 00 00 00 61 02 08 00 04 60 50 58 4E 01 80 05 02 71 C2 06"
            "02 FD 3D 07 02 08 B8 0D 04 55 95 B6 6D 0E 04 5B 53 60 C4 0F 02 C2 21 10 02 CD 9C 11 02 D9 17 12"
            "04 72 4A 0A 20 13 04 87 F8 4B 86 14 04 00 00 00 00 15 04 03 83 09 26 16 02 12 81 17 04 F1 01 A2"
            "29 18 04 14 BC 08 2B 19 02 34 F3 41 01 02 01 02 C8 4C");
        QCOMPARE(Klv0601::checksum(reinterpret_cast<const uint8_t*>(example.constData()), example.size() - 2), 0xC84C);
    }

    // A whole packet: key, length, the items known and nothing else, checksum last and right.
    void localSetCarriesWhatIsKnown_data() {
        QTest::addColumn<bool>("attitude");
        QTest::addColumn<bool>("range");
        QTest::addColumn<QList<int>>("tags");
        QTest::newRow("everything") << true << true << QList<int>{1, 2, 10, 11, 18, 19, 20, 21, 65};
        QTest::newRow("no-laser") << true << false << QList<int>{1, 2, 10, 11, 18, 19, 20, 65};
        QTest::newRow("nothing-reported") << false << false << QList<int>{1, 2, 10, 11, 65};
    }
    void localSetCarriesWhatIsKnown() {
        QFETCH(bool, attitude);
        QFETCH(bool, range);
        QFETCH(QList<int>, tags);
        Klv0601::Values values;
        values.timeUs = 1765000000123456ull;
        values.platform = "WrenT-R2";
        values.sensor = "EO/IR";
        values.hasAttitude = attitude;
        values.azimuthDeg = 12.5;
        values.elevationDeg = -30;
        values.rollDeg = 0.25;
        values.hasSlantRange = range;
        values.slantRangeM = 240;
        const LocalSet set = decodeLocalSet(Klv0601::encodeLocalSet(values), 0);
        QVERIFY2(set.fault.isEmpty(), qPrintable(set.fault + ": " + set.bytes.toHex(' ')));
        QCOMPARE(set.items.keys(), tags);
        QCOMPARE(quint8(set.bytes.at(17)), quint8(2));  // the time stamp first
        QCOMPARE(set.unsignedValue(2), values.timeUs);
        QCOMPARE(set.text(10), QStringLiteral("WrenT-R2"));
        QCOMPARE(set.text(11), QStringLiteral("EO/IR"));
        QCOMPARE(set.unsignedValue(65), quint64(Klv0601::kLsVersion));
        if (attitude) {
            QVERIFY(qAbs(set.degrees0To360(18) - 12.5) < 1e-6);
            QVERIFY(qAbs(set.degreesSigned(19) + 30) < 1e-6);
            QVERIFY(qAbs(set.degrees0To360(20) - 0.25) < 1e-6);
        }
        if (range)
            QVERIFY(qAbs(set.metres(21) - 240) < 0.002);
    }

    // Readings age by their own time; a silent device leaves nothing of its own.
    void telemetryAgesAndSilenceEmpties() {
        Telemetry t;
        t.product = QStringLiteral("Tern");
        t.sensor = QStringLiteral("IR");
        t.staleAfterMs = 1000;
        t.hasAttitude = true;
        t.yawDeg = -45;
        t.attitudeMs = 10000;
        t.hasSlantRange = true;
        t.slantRangeM = 850;
        t.slantRangeMs = 9000;
        t.hasZoom = true;
        t.zoom = 4;
        const Telemetry fresh = t.freshAt(10500);
        QVERIFY(fresh.hasAttitude);
        QVERIFY(!fresh.hasSlantRange);
        QCOMPARE(fresh.subtitleText(0),
                 QStringLiteral("1970-01-01T00:00:00.000Z\nYaw -45.0° Pitch 0.0° Roll 0.0°  Zoom 4.0×"));
        QVERIFY(!t.freshAt(11001).hasAttitude);
        t.deviceSilent = true;
        const Telemetry silent = t.freshAt(10000);
        QVERIFY(!silent.hasDeviceValues());
        QCOMPARE(silent.subtitleText(0).section(QLatin1Char('\n'), 1), QStringLiteral("no data"));
        t.chinese = true;
        QCOMPARE(t.freshAt(10000).subtitleText(0).section(QLatin1Char('\n'), 1), QStringLiteral("无数据"));
        const Klv0601::Values values = silent.klvValues(5);
        QVERIFY(!values.hasAttitude && !values.hasSlantRange && values.sensor.isEmpty());
        QCOMPARE(values.platform, QByteArray("Tern"));
    }
};

QTEST_GUILESS_MAIN(Klv0601Test)
#include "tst_klv0601.moc"
