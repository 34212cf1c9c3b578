// The pure byte work of the commands, the link-up requests and the decoders of reports and
// replies, table-driven.
#include <QtTest>

#include "BridgeDeviceFixture.h"
#include "bridge/AppBridgePayloads.h"
#include "bridge/CommandPayloads.h"
#include "bridge/IrPalettes.h"
#include "bridge/ReportDecoders.h"

using namespace CommandPayloads;
using BridgeDevice::bytes;

namespace {

template <size_t N>
QString hexOf(const std::array<uint8_t, N>& payload) {
    return LinkTest::hex(QByteArray(reinterpret_cast<const char*>(payload.data()), int(N)));
}

// A payload buffer as a parsed frame holds it: the given bytes, then zeros.
QByteArray padded(const QByteArray& payload, int size = 243) {
    QByteArray result = payload;
    result.resize(size);
    return result;
}

const uint8_t* raw(const QByteArray& bytes) {
    return reinterpret_cast<const uint8_t*>(bytes.constData());
}

}  // namespace

class TestBridgePayloads : public QObject {
    Q_OBJECT

private slots:
    void setAngle_data() {
        QTest::addColumn<double>("pitch");
        QTest::addColumn<double>("yaw");
        QTest::addColumn<QString>("expected");
        QTest::newRow("clamped-to-90-and-minus-180") << 120.0 << -200.0 << "00 28 23 00 50 46 00";
        QTest::newRow("pitch-zero-code-2") << 0.0 << 10.0 << "02 00 00 01 e8 03 00";
        QTest::newRow("yaw-zero-code-2") << 12.0 << 0.0 << "00 b0 04 02 00 00 00";
        QTest::newRow("rounds-half-away-from-zero") << -0.125 << 0.375 << "01 0d 00 01 26 00 00";
        QTest::newRow("rounds-down-below-half") << 0.004 << -0.004 << "00 00 00 00 00 00 00";
        // An unparsable entry arrives from QML as NaN: it must not reach the wire as a magnitude.
        QTest::newRow("nan-pitch-counts-as-0") << qQNaN() << 10.0 << "02 00 00 01 e8 03 00";
        QTest::newRow("nan-yaw-counts-as-0") << -12.0 << qQNaN() << "01 b0 04 02 00 00 00";
    }
    void setAngle() {
        QFETCH(double, pitch);
        QFETCH(double, yaw);
        QFETCH(QString, expected);
        const GimbalAngle angle = clampGimbalAngle(pitch, yaw);
        QVERIFY2(!qIsNaN(angle.pitch) && !qIsNaN(angle.yaw), "a NaN passed the clamp");
        QCOMPARE(hexOf(encodeSetAngle(angle.pitch, angle.yaw)), expected);
    }

    void smallEncoders() {
        QCOMPARE(hexOf(encodeGimbalMove(-1, 1)), QStringLiteral("00 00 01 00"));  // left and up
        QCOMPARE(hexOf(encodeVisibleZoom(2.35)), QStringLiteral("00 18 00"));     // 23.5 rounds to 24
        QCOMPARE(hexOf(encodeVisibleZoom(160.0)), QStringLiteral("00 40 06"));
    }

    void zoomLimitsAndLevels() {
        QCOMPARE(zoomLimit(QStringLiteral("WrenT-R2"), -1), 40.0);
        QCOMPARE(zoomLimit(QStringLiteral("wren-r2"), -1), 160.0);  // names are case-sensitive
        QCOMPARE(zoomLimit(QStringLiteral("Tern"), -1), 160.0);
        QCOMPARE(zoomLimit(QStringLiteral("Tern-LITE-A"), 1), 80.0);
        QCOMPARE(zoomLimit(QStringLiteral("Tern-LITE-B"), 2), 100.0);
        QCOMPARE(zoomLimit(QStringLiteral("Dove"), -1), 160.0);
        QCOMPARE(zoomLimit(QStringLiteral("Dove"), 0), 8.0);
        QCOMPARE(clampZoomRatio(qInf(), 40.0), 40.0);
        QCOMPARE(clampZoomRatio(-3.0, 8.0), 1.0);
        QCOMPARE(infraredZoomLevel(5.4), 5);
        QCOMPARE(infraredZoomLevel(0.2), 1);
        QCOMPARE(infraredZoomLevel(12.0), 8);
    }

    void resolutionTexts_data() {
        QTest::addColumn<bool>("photo");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("code");
        QTest::newRow("photo-times-sign") << true << QString::fromUtf8("1920×1080") << 3 << 0x17;
        QTest::newRow("photo-8000") << true << "8000*6000" << 0 << 0x14;
        QTest::newRow("record-4000-times") << false << QString::fromUtf8("4000 × 3000") << 2 << 0x36;
    }
    void resolutionTexts() {
        QFETCH(bool, photo);
        QFETCH(QString, text);
        QFETCH(int, index);
        QFETCH(int, code);
        const auto choice = photo ? photoResolution(text) : recordResolution(text);
        QCOMPARE(choice.has_value(), index >= 0);
        if (choice) {
            QCOMPARE(choice->comboIndex, index);
            QCOMPARE(int(choice->code), code);
        }
    }

    void streamSettingTexts() {
        QCOMPARE(videoBitrateCode(QStringLiteral("12M")).value_or(0), uint8_t(6));
        QCOMPARE(rtspResolutionCode(QStringLiteral("720P30fps")).value_or(0), uint8_t(2));
        QVERIFY(!rtspResolutionCode(QStringLiteral("720p30fps")));
        QCOMPARE(videoEncodingCode(QStringLiteral("H265")).value_or(9), uint8_t(1));
        QCOMPARE(videoOutputCode(QStringLiteral("红外")).value_or(9), uint8_t(0));
    }

    void thermometryRegion_data() {
        QTest::addColumn<QVector<int>>("args");
        QTest::addColumn<QString>("expected");
        QTest::newRow("oversized-at-origin") << QVector<int>{0, 0, 5000, 5000} << "f5 04 f5 03 bf 03 1b 02 00";
        QTest::newRow("zero-size-becomes-1") << QVector<int>{800, 500, 0, -4} << "01 00 01 00 20 03 f4 01 00";
    }
    void thermometryRegion() {
        QFETCH(QVector<int>, args);
        QFETCH(QString, expected);
        const auto region = clampThermometryRegion(args[0], args[1], args[2], args[3]);
        QCOMPARE(hexOf(encodeThermometryRegion(region)), expected);
    }

    void aiBitmap_data() {
        QTest::addColumn<QVariantList>("ids");
        QTest::addColumn<QString>("expected");
        QTest::newRow("out-of-range-and-text")
            << QVariantList{0, 129, QStringLiteral("car")} << "01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00";
        QTest::newRow("numeric-text-and-duplicates")
            << QVariantList{QStringLiteral("3"), 3, 3.0} << "01 00 04 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00";
    }
    void aiBitmap() {
        QFETCH(QVariantList, ids);
        QFETCH(QString, expected);
        QCOMPARE(hexOf(encodeAiDetect(true, ids)), expected);
        QCOMPARE(encodeAiDetect(false, ids)[0], uint8_t(2));
    }

    void parseIpv4Texts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");  // "" = refused
        auto row = [](const char* name, const char* text, const char* expected = "") {
            QTest::newRow(name) << QString(text) << QString(expected);
        };
        row("plain", "192.0.2.10", "c0 00 02 0a");
        row("surrounding-blanks", "  192.0.2.25 \t", "c0 00 02 19");
        row("three-parts", "192.0.2");
        row("five-parts", "192.0.2.1.5");
        row("256", "192.0.2.256");
        row("empty-part", "192.0..2");
        row("negative", "192.0.-1.2");
        row("not-a-number", "192.0.x.2");
        row("hex-is-not-decimal", "0x10.0.0.1");
        row("empty", "");
    }
    void parseIpv4Texts() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        uint8_t out[4] = {0xAA, 0xAA, 0xAA, 0xAA};
        const bool ok = parseIpv4(text, out);
        QCOMPARE(ok, !expected.isEmpty());
        const QString got = LinkTest::hex(QByteArray(reinterpret_cast<const char*>(out), 4));
        QCOMPARE(got, ok ? expected : QStringLiteral("aa aa aa aa"));  // untouched when refused
    }

    // Codes per product and set; the camera's tests check more of them on the wire.
    void paletteCodes_data() {
        QTest::addColumn<QString>("product");
        QTest::addColumn<int>("set");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("code");
        QTest::newRow("wrent-0") << "WrenT-R2" << -1 << 0 << 1;
        QTest::newRow("tern-set3-14") << "Tern" << 3 << 14 << 15;
        QTest::newRow("tern-lite-b-unknown-set") << "Tern-LITE-B" << -1 << 19 << 20;
        QTest::newRow("no-product") << "" << -1 << 6 << 7;
    }
    void paletteCodes() {
        QFETCH(QString, product);
        QFETCH(int, set);
        QFETCH(int, position);
        QFETCH(int, code);
        QCOMPARE(IrPalettes::codeForPosition(IrPalettes::groupOf(product), set, position), code);
    }

    void paletteComboPositionsAndNames() {
        using namespace IrPalettes;
        QCOMPARE(positionForCode(Group::PaletteSets, 1, 11), 10);
        QCOMPARE(positionForCode(Group::PaletteSets, 1, 12), 0);
        QCOMPARE(positionForCode(Group::Full, -1, 25), 19);
        QCOMPARE(names(Group::PaletteSets, 3, false).at(7), QStringLiteral("深褐色"));
        QCOMPARE(names(Group::PaletteSets, 0, true).size(), 20);
        QCOMPARE(names(Group::PaletteSets, -1, false).at(3), QStringLiteral("高度对比彩虹"));
        QVERIFY(names(Group::NinePalettes, -1, true).isEmpty());
        QVERIFY(names(Group::Full, 3, true).isEmpty());
        QCOMPARE(normalisedSet(7), 0);
        QCOMPARE(codeLimit(Group::PaletteSets, 3), 15);
        QCOMPARE(codeLimit(Group::NinePalettes, 1), 20);
    }

    void measuringArea_data() {
        QTest::addColumn<QVector<int>>("rect");
        QTest::addColumn<QVector<int>>("area");
        QTest::newRow("no-rectangle-whole-area") << QVector<int>{0, 0, 0, 0} << QVector<int>{325, 1594, 33, 1046};
        QTest::newRow("rectangle") << QVector<int>{900, 500, 101, 51} << QVector<int>{850, 950, 475, 525};
        QTest::newRow("limited-to-area") << QVector<int>{330, 40, 100, 100} << QVector<int>{325, 380, 33, 90};
        QTest::newRow("height-missing-whole-area")
            << QVector<int>{900, 500, 10, 0} << QVector<int>{325, 1594, 33, 1046};
    }
    void measuringArea() {
        QFETCH(QVector<int>, rect);
        QFETCH(QVector<int>, area);
        const auto got = DeviceReports::measuringArea(rect[0], rect[1], rect[2], rect[3]);
        QCOMPARE((QVector<int>{got.x0, got.x1, got.y0, got.y1}), area);
    }

    void detection_data() {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("chinese");
        auto record = [](uint8_t flag, uint8_t category) { return QByteArray(8, '\0') + bytes({flag, category}); };
        QTest::newRow("skips-zero-and-duplicates")
            << record(1, 0) + record(0, 5) + record(1, 9) + record(2, 9) + record(1, 40) + bytes({5, 0}) << 5
            << "Bus, Category 40" << QString::fromUtf8("公交车、类别40");
        QTest::newRow("payload-of-2") << bytes({7, 2}) << 7 << QString() << QString();
        QTest::newRow("count-0-ignores-records") << record(1, 4) + bytes({0, 0}) << 0 << QString() << QString();
    }
    void detection() {
        QFETCH(QByteArray, payload);
        QFETCH(int, count);
        QFETCH(QString, english);
        QFETCH(QString, chinese);
        const auto detection = DeviceReports::decodeDetection(raw(padded(payload)), payload.size());
        QCOMPARE(detection.count, count);
        QCOMPARE(DeviceReports::categoryText(detection.categories, true), english);
        QCOMPARE(DeviceReports::categoryText(detection.categories, false), chinese);
    }

    void smallDecoders() {
        QCOMPARE(DeviceReports::infraredZoomLevel(0x1F).value_or(-1), 3);
        const QByteArray categories = padded(bytes({0, 0, 1, 0x05}));
        QCOMPARE(DeviceReports::decodeCategoryBitmap(raw(categories), 4), (QVariantList{1, 3}));
        QByteArray full = padded(bytes({0, 0, 1}) + QByteArray(16, char(0x80)) + bytes({0xFF}));
        const QVariantList all = DeviceReports::decodeCategoryBitmap(raw(full), 19);
        QCOMPARE(all.size(), 16);  // the byte after the bitmap is not read
        QCOMPARE(all.last(), QVariant(128));

        const QByteArray channels = padded(bytes({0, 0}) + BridgeDevice::u16(1800) + BridgeDevice::u16(200) +
                                           bytes({1, 2, 3, 4, 5, 6, 7, 0x08}));
        QCOMPARE(DeviceReports::decodeChannelConfig(raw(channels)).irPaletteCh, 4);
    }

    void cameraStatusCodes() {
        const auto status = DeviceReports::decodeCameraStatus(raw(padded(bytes({1, 1, 0, 6, 6, 0, 0, 0, 4}))));
        QCOMPARE((QVector<int>{status.rtspResolutionIndex, status.videoEncodingIndex, status.streamModeIndex,
                               status.videoBitrateIndex, status.sdStatus}),
                 (QVector<int>{1, 0, 1, 5, 4}));
        const auto odd = DeviceReports::decodeCameraStatus(raw(padded(bytes({0, 2, 2, 3, 0}))));
        QCOMPARE(
            (QVector<int>{odd.rtspResolutionIndex, odd.videoEncodingIndex, odd.streamModeIndex, odd.videoBitrateIndex}),
            QVector<int>(4, -1));
    }
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

    void timeSyncLayoutAndResolutionCodes() {
        QCOMPARE(hexOf(LinkPayloads::encodeTimeSync(0x0102030405060708LL, {-330, 1})),
                 QStringLiteral("08 07 06 05 04 03 02 01 b6 fe ff ff 01 00 00 00"));
        QCOMPARE(LinkPayloads::photoResolutionIndex(0x13), -1);
        QCOMPARE(LinkPayloads::photoResolutionIndex(0x18), -1);
        QCOMPARE(LinkPayloads::recordResolutionIndex(0x14), -1);
    }
};

QTEST_GUILESS_MAIN(TestBridgePayloads)
#include "tst_bridge_payloads.moc"
