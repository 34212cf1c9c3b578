#include <QtTest>

#include <QProcess>
#include <QRandomGenerator>

#include <algorithm>
#include <cstring>
#include <vector>

#include "TestSupport.h"
#include "app/AppLog.h"
#include "app/elog.h"
#include "protocol/FrameCodec.h"
#include "protocol/MessageCatalogue.h"
#include "protocol/ProtocolTrace.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes frameOf(uint8_t receiver, uint8_t sender, uint8_t sequence, uint32_t messageId, const Bytes& payload) {
    Bytes frame(kMaxFrameLength, 0);
    frame.resize(buildFrame(frame.data(), receiver, 1, sequence, sender, 1, messageId,
                            payload.empty() ? nullptr : payload.data(), static_cast<uint8_t>(payload.size())));
    return frame;
}

AppLog::ProtocolSwitches switchesOn(bool hex = false) {
    AppLog::ProtocolSwitches s;
    s.enabled = true;
    s.hex = hex;
    return s;
}

TraceLines traceOf(const AppLog::ProtocolSwitches& s, const char* direction, const Bytes& frame) {
    return frameTraceLines(s, direction, "UDP", frame.data(), uint16_t(frame.size()), frame[2], frame[5],
                           uint32_t(frame[7] | (frame[8] << 8) | (frame[9] << 16)), frame[4], frame[1]);
}

QString textOf(const TraceLine& line) {
    return QString::fromUtf8(line.text);
}

const char kVisibleReadLine[] =
    "[发送][UDP] 应用(0x01) -> 相机(0x04) | 指令:读取可见光参数(000200) | 序号0 | 数据: 0x01 0x00";

// Runs the built skyvane-frame tool the way a field engineer would.
struct Run {
    int exitCode = -1;
    bool crashed = true;
    QString out;
    QString err;
};

Run runTool(const QStringList& arguments, const QByteArray& input = QByteArray()) {
    QProcess process;
    process.start(QStringLiteral(SKYVANE_FRAME_TOOL), arguments);
    process.write(input);
    process.closeWriteChannel();
    Run run;
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished(1000);
        return run;
    }
    run.crashed = process.exitStatus() != QProcess::NormalExit;
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// A record with every byte set, so a parse that touches it on failure is noticed.
ParsedFrame sentinelRecord() {
    ParsedFrame record;
    auto* raw = reinterpret_cast<unsigned char*>(&record);
    std::fill(raw, raw + sizeof record, static_cast<unsigned char>(0xA5));
    return record;
}

// Every byte compared: the sentinel fills the padding too.
bool sameRecord(const ParsedFrame& a, const ParsedFrame& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

// Frames byte for byte: built, checked and parsed back; then as the protocol log and the frame
// tool describe them to a person.
class TestFrameCodec : public QObject {
    Q_OBJECT

private slots:
    void crcReferenceValues_data() {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("expected");
        QTest::newRow("empty-is-initial-value") << QByteArray() << 0xFFFF;
        QTest::newRow("abc") << QByteArray("abc") << 0x61DA;
        // The standard check value of CRC-16/MCRF4XX.
        QTest::newRow("check-123456789") << QByteArray("123456789") << 0x6F91;
    }
    void crcReferenceValues() {
        QFETCH(QByteArray, data);
        QFETCH(int, expected);
        const uint16_t crc =
            frameCrc16(reinterpret_cast<const uint8_t*>(data.constData()), static_cast<uint16_t>(data.size()));
        QCOMPARE(int(crc), expected);
    }

    void buildRejectsBadArguments() {
        uint8_t buffer[300];
        std::memset(buffer, 0x5A, sizeof buffer);
        uint8_t payload[244] = {};
        QCOMPARE(buildFrame(nullptr, 4, 1, 0, 1, 1, 0x200, payload, 2), uint16_t(0));
        QCOMPARE(buildFrame(buffer, 4, 1, 0, 1, 1, 0x200, payload, 244), uint16_t(0));
        QCOMPARE(buildFrame(buffer, 4, 1, 0, 1, 1, 0x200, nullptr, 1), uint16_t(0));
        for (uint8_t byte : buffer)
            QCOMPARE(byte, uint8_t(0x5A));  // untouched on failure
        QCOMPARE(buildFrame(buffer, 4, 1, 0, 1, 1, 0x200, nullptr, 0), uint16_t(12));
    }

    // Built and parsed back: the checksum covers the nine header bytes after the start byte and
    // the payload, every header byte comes back, and the record's payload area beyond the payload
    // is cleared. Bytes after the frame (here a second frame) are not the parse's business.
    void payloadBoundaries_data() {
        QTest::addColumn<int>("payloadLength");
        QTest::newRow("empty") << 0;
        QTest::newRow("one-byte") << 1;
        QTest::newRow("largest-243") << 243;
    }
    void payloadBoundaries() {
        QFETCH(int, payloadLength);
        Bytes payload(payloadLength);
        for (int i = 0; i < payloadLength; ++i)
            payload[i] = static_cast<uint8_t>(i * 7 + 3);
        Bytes frame(kMaxFrameLength, 0);
        frame.resize(
            buildFrame(frame.data(), 1, 0x22, 0xFE, 4, 0x66, 0x010317, payload.data(), uint8_t(payloadLength)));
        QCOMPARE(int(frame.size()), payloadLength + 12);
        QCOMPARE(int(frame[1]), payloadLength);
        QVERIFY(std::equal(payload.begin(), payload.end(), frame.begin() + 10));
        const uint16_t crc = frameCrc16(frame.data() + 1, uint16_t(9 + payloadLength));
        QCOMPARE(int(frame[10 + payloadLength]), crc & 0xFF);
        QCOMPARE(int(frame[11 + payloadLength]), crc >> 8);
        const Bytes next = frameOf(4, 1, 4, 0x000317, {0x00, 0x00});
        frame.insert(frame.end(), next.begin(), next.end());
        ParsedFrame record = sentinelRecord();
        QVERIFY(parseFrame(frame.data(), uint16_t(frame.size()), &record));
        QCOMPARE(record.startByte, uint8_t(0xFD));
        QCOMPARE(record.receiverId, uint8_t(1));
        QCOMPARE(record.headerByte3, uint8_t(0x22));
        QCOMPARE(record.sequence, uint8_t(0xFE));
        QCOMPARE(record.senderId, uint8_t(4));
        QCOMPARE(record.headerByte6, uint8_t(0x66));
        QCOMPARE(record.messageId, uint32_t(0x010317));
        QCOMPARE(record.checksum, crc);
        QCOMPARE(int(record.payloadLength), payloadLength);
        QVERIFY(std::equal(payload.begin(), payload.end(), record.payload));
        for (int i = payloadLength; i < kMaxPayloadLength; ++i)
            QCOMPARE(record.payload[i], uint8_t(0));
    }

    void messageIdKeepsClassAndDropsHighBits_data() {
        QTest::addColumn<uint>("given");
        QTest::addColumn<uint>("onWire");
        QTest::newRow("command") << 0x000317u << 0x000317u;
        QTest::newRow("report-class-2") << 0x020303u << 0x020303u;
        QTest::newRow("bits-above-23-dropped") << 0xAB010304u << 0x010304u;
        QTest::newRow("all-bits-set") << 0xFFFFFFFFu << 0xFFFFFFu;
    }
    void messageIdKeepsClassAndDropsHighBits() {
        QFETCH(uint, given);
        QFETCH(uint, onWire);
        const Bytes frame = frameOf(4, 1, 1, given, {0x00, 0x00});
        QCOMPARE(uint(frame[7] | (frame[8] << 8) | (frame[9] << 16)), onWire);
        ParsedFrame record;
        QVERIFY(parseFrame(frame.data(), uint16_t(frame.size()), &record));
        QCOMPARE(uint(record.messageId), onWire);
    }

    void parseRejectsShortOrTruncatedInput_data() {
        QTest::addColumn<int>("available");
        QTest::addColumn<bool>("nullBytes");
        QTest::newRow("nothing") << 0 << false;
        QTest::newRow("eleven-bytes") << 11 << false;
        QTest::newRow("one-short-of-frame") << 13 << false;
        QTest::newRow("null-pointer") << 14 << true;
    }
    void parseRejectsShortOrTruncatedInput() {
        QFETCH(int, available);
        QFETCH(bool, nullBytes);
        const Bytes frame = frameOf(4, 1, 0, 0x000200, {0x01, 0x00});  // 14 bytes
        ParsedFrame record = sentinelRecord();
        const ParsedFrame before = record;
        QVERIFY(!parseFrame(nullBytes ? nullptr : frame.data(), uint16_t(available), &record));
        QVERIFY(sameRecord(record, before));
        QVERIFY(!parseFrame(frame.data(), uint16_t(frame.size()), nullptr));

        // A length byte of 244 is refused even with a matching checksum.
        Bytes oversized(244 + 12, 0x11);
        oversized[0] = 0xFD;
        oversized[1] = 244;
        const uint16_t crc = frameCrc16(oversized.data() + 1, 244 + 9);
        oversized[254] = static_cast<uint8_t>(crc & 0xFF);
        oversized[255] = static_cast<uint8_t>(crc >> 8);
        QVERIFY(!parseFrame(oversized.data(), uint16_t(oversized.size()), &record));
        QVERIFY(sameRecord(record, before));

        // Eleven bytes never parse, whatever they are: even a valid zero-payload frame cut by one.
        const Bytes empty = frameOf(4, 1, 0, 0x000100, {});
        QVERIFY(!parseFrame(empty.data(), 11, &record));
    }

    // The start byte included: a flip there makes it some other byte.
    void parseRejectsEverySingleBitFlip() {
        const Bytes frame = frameOf(4, 1, 0x5C, 0x010200, {0x00, 0x00, 0x07, 0x03, 0x99});
        for (std::size_t byte = 0; byte < frame.size(); ++byte) {
            for (int bit = 0; bit < 8; ++bit) {
                Bytes damaged = frame;
                damaged[byte] ^= static_cast<uint8_t>(1u << bit);
                ParsedFrame record;
                QVERIFY2(!parseFrame(damaged.data(), uint16_t(damaged.size()), &record),
                         qPrintable(QStringLiteral("byte %1 bit %2 accepted").arg(byte).arg(bit)));
            }
        }
    }

    void receivedFrameDescription() {
        QCOMPARE(
            describeFrame(nullptr, nullptr, 0x2a, 0xff, 0x03abcd, 7, nullptr, 0),
            QStringLiteral("[接收][?] 未知设备(0x2a) -> 未知设备(0xff) | 消息:未知消息(0x03abcd)(03abcd) | 序号7"));
        // Placeholder-like text in a link name is shown as it is.
        QCOMPARE(describeFrame("tx", "%1%2", 1, 3, 0x000018, 1, nullptr, 0),
                 QStringLiteral("[发送][%1%2] 应用(0x01) -> 云台(0x03) | 指令:获取云台版本(000018) | 序号1"));
    }

    void payloadDescriptions_data() {
        QTest::addColumn<uint>("id");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("text");

        auto row = [](const char* name, uint id, const char* hex, const char* text) {
            QTest::newRow(name) << id << QByteArray::fromHex(hex) << QString::fromUtf8(text);
        };
        row("empty", 0x010317, "", "");
        // Replies: result code, and the extra of a success read from byte 2 on.
        row("camera-version-reply", 0x010317, "0000010203", "成功，相机版本 v1.2.3");
        row("camera-version-reply-short", 0x010317, "00000102", "成功");
        row("no-sd-card-no-extra", 0x010317, "0402010203", "未插SD卡");
        row("unknown-result-code", 0x010302, "050201", "响应码=0x0205");
        row("photo-reply-feedback", 0x010302, "000009", "成功，反馈=9");
        row("record-reply-seconds", 0x010303, "00002c01", "成功，已录300秒");
        row("image-mode-reply", 0x010318, "000007", "成功，当前=分屏");
        row("visible-settings-reply", 0x010200, "00000304", "成功，拍照分辨率索引=3，录像分辨率索引=4");
        row("gimbal-version-reply", 0x010018, "0000010203040506ff", "成功，硬件 v1.2.3，软件 v4.5.6");
        row("gimbal-version-reply-8-bytes", 0x010018, "0000010203040506", "成功");
        row("laser-reply-distance", 0x010400, "00007b00", "成功，距离=12.3 m");
        row("zoom-reply-state-is-byte-2", 0x010304, "000003", "成功，变倍状态=3");
        row("zoom-reply-without-state", 0x010304, "0000", "成功");
        row("zoom-reply-failure-no-state", 0x010304, "010003", "失败");
        row("reply-one-byte-uses-command-rule", 0x010306, "01", "放大");
        row("reply-one-byte-fallback", 0x010317, "07", "数据: 0x07");
        // Status reports.
        row("attitude-report", 0x020002, "000000000000d2fe1027a0f00000000000000000",
            "偏航=-3.02° 俯仰=-39.36° 横滚=100.00°");
        row("attitude-report-short-falls-back", 0x020002, "000000000000d2fe1027a0f0", "载荷12字节");
        row("camera-system-report", 0x020003, "010000020000000003", "拍照录像模式=1，推流模式=2，SD状态=3");
        row("camera-system-report-short", 0x020003, "0100000200000000",
            "数据: 0x01 0x00 0x00 0x02 0x00 0x00 0x00 0x00");
        row("visible-zoom-report", 0x020005, "7b0000000000000000000000000000", "可见光变倍=12.3");
        row("infrared-zoom-report", 0x020004, "04000000", "红外变倍=4");
        row("record-report-recording", 0x020303, "00010a00", "录像中，时长10秒");
        row("record-report-idle", 0x020303, "00000000", "未录像，时长0秒");
        row("record-command-same-number", 0x000303, "0001", "录像模式=0，开始录像");
        row("record-report-short-uses-command", 0x020303, "0002", "录像模式=0，停止录像");
        row("laser-periodic-invalid", 0x020406, "00000000", "测距无效");
        row("laser-periodic-range", 0x020406, "00007b00", "测距=12.30 m");
        // Commands.
        row("gimbal-control", 0x000010, "10020200", "工作模式=0x10，方位=2，俯仰=2");
        row("gimbal-set-angle", 0x000012, "01e80300b80b00", "俯仰方向=1 角度=1000，偏航方向=0 角度=3000");
        row("palette", 0x000106, "0300", "伪彩方案=3");
        row("photo-start", 0x000302, "0100", "拍照模式=1，开始拍照");
        row("photo-other", 0x000302, "0105", "拍照模式=1，拍照命令=5");
        row("record-other", 0x000303, "0009", "录像模式=0，录像命令=9");
        row("zoom-ratio", 0x000304, "002c01", "变倍倍率=300");
        row("continuous-zoom-out", 0x000306, "0200", "缩小");
        row("continuous-zoom-other", 0x000306, "0900", "变倍控制=9");
        row("image-mode-visible", 0x000318, "0500", "切换到可见光");
        row("image-mode-infrared", 0x000318, "0000", "切换到红外");
        row("image-mode-other", 0x000318, "0300", "切换到图像模式=3");
        row("box-tracking", 0x000324, "0164000a00c8001400ffff", "载荷11字节");
        row("box-tracking-12", 0x000324, "0164000a00c8001400ffff00", "追踪=开始，框(100,10)-(200,20)");
        row("laser-mode", 0x000400, "0100", "测距模式=1");
        row("laser-periodic-off", 0x000406, "0000", "周期测距=关闭");
        // Fallbacks.
        row("raw-eight-bytes", 0x000501, "0102030405060708", "数据: 0x01 0x02 0x03 0x04 0x05 0x06 0x07 0x08");
        row("raw-nine-bytes", 0x000501, "010203040506070809", "载荷9字节");
    }

    void payloadDescriptions() {
        QFETCH(uint, id);
        QFETCH(QByteArray, payload);
        QFETCH(QString, text);
        QCOMPARE(describePayload(id, reinterpret_cast<const uint8_t*>(payload.constData()), uint16_t(payload.size())),
                 text);
    }

    void switchesGateFrameLines_data() {
        QTest::addColumn<QString>("switches");  // the letters of those on: enabled, tx, rx, status frames
        QTest::addColumn<QString>("direction");
        QTest::addColumn<uint>("id");
        QTest::addColumn<bool>("traced");
        QTest::newRow("defaults-nothing") << QString("tr") << "TX" << 0x000200u << false;
        QTest::newRow("enabled-tx") << QString("etr") << "TX" << 0x000200u << true;
        QTest::newRow("enabled-rx") << QString("etr") << "RX" << 0x010200u << true;
        QTest::newRow("tx-off-drops-tx") << QString("er") << "TX" << 0x000200u << false;
        QTest::newRow("tx-off-lowercase-t") << QString("er") << "tx" << 0x000200u << false;
        QTest::newRow("tx-off-keeps-rx") << QString("er") << "RX" << 0x010200u << true;
        QTest::newRow("rx-off-drops-rx") << QString("et") << "RX" << 0x010200u << false;
        QTest::newRow("rx-off-other-direction") << QString("et") << "IN" << 0x010200u << false;
        QTest::newRow("camera-report-hidden") << QString("etr") << "RX" << 0x020003u << false;
        QTest::newRow("camera-report-shown") << QString("etrs") << "RX" << 0x020003u << true;
        QTest::newRow("gimbal-status-class-0-hidden") << QString("etr") << "RX" << 0x000001u << false;
        QTest::newRow("record-report-hidden") << QString("etr") << "RX" << 0x020303u << false;
        QTest::newRow("gimbal-status-class-2-not-filtered") << QString("etr") << "RX" << 0x020001u << true;
        QTest::newRow("laser-report-not-filtered") << QString("etr") << "RX" << 0x020406u << true;
    }

    void switchesGateFrameLines() {
        QFETCH(QString, switches);
        QFETCH(QString, direction);
        QFETCH(uint, id);
        QFETCH(bool, traced);
        AppLog::ProtocolSwitches s;
        s.enabled = switches.contains('e');
        s.tx = switches.contains('t');
        s.rx = switches.contains('r');
        s.statusFrames = switches.contains('s');
        const Bytes frame = frameOf(1, 4, 3, id, {0x00, 0x00, 0x00, 0x00});
        QCOMPARE(traceOf(s, direction.toLatin1().constData(), frame).isEmpty(), !traced);
    }

    // A good frame's hex dump, 48 bytes a line; a caller handing a length byte larger than the
    // bytes it has must not make the trace read on.
    void hexDumpAndPayloadWithinTheFrame() {
        const Bytes frame = frameOf(4, 1, 0, 0x000200, {0x01, 0x00});
        const TraceLines lines = traceOf(switchesOn(true), "TX", frame);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[1].text,
                 QByteArray("  hex: 0xFD 0x02 0x04 0x01 0x00 0x01 0x01 0x00 0x02 0x00 0x01 0x00 0x38 0x1D"));

        const Bytes large = frameOf(4, 1, 0, 0x000302, Bytes(243, 0xAB));  // 255 bytes: 48 * 5 + 15
        const TraceLines largeLines = traceOf(switchesOn(true), "TX", large);
        QCOMPARE(largeLines.size(), 1 + 6);
        QCOMPARE(largeLines.last().text.count("0x"), 15);
        for (int i = 1; i < 6; ++i)
            QCOMPARE(largeLines[i].text.count("0x"), 48);

        const Bytes cut = {0xFD, 0xC8, 0x04, 0x01, 0x00, 0x01, 0x01, 0x00, 0x02, 0x00, 0x07};
        const TraceLines cutLines =
            frameTraceLines(switchesOn(), "TX", "UDP", cut.data(), uint16_t(cut.size()), 4, 1, 0x000200, 0, cut[1]);
        QCOMPARE(cutLines.size(), 1);
        QVERIFY2(textOf(cutLines[0]).endsWith(QStringLiteral(" | 数据: 0x07")), cutLines[0].text.constData());
        const Bytes header(cut.begin(), cut.begin() + 10);  // no payload byte at all
        const TraceLines headerOnly =
            frameTraceLines(switchesOn(), "TX", "UDP", header.data(), 10, 4, 1, 0x000200, 0, 2);
        QVERIFY(textOf(headerOnly[0]).endsWith(QStringLiteral("序号0")));
    }

    void badDatagramOf300BytesWithHex() {
        Bytes datagram(300);
        for (int i = 0; i < 300; ++i)
            datagram[i] = static_cast<uint8_t>(i);
        const TraceLines lines = badFrameTraceLines(switchesOn(true), "UDP", datagram.data(), 300);
        QCOMPARE(lines.size(), 5);
        for (const TraceLine& line : lines)
            QCOMPARE(line.level, int(ELOG_LVL_WARN));
        QCOMPARE(textOf(lines[0]),
                 QStringLiteral("[接收][UDP] 帧解析失败，长度300，首部: 0x00 0x01 0x02 0x03 0x04 0x05 "
                                "0x06 0x07 0x08 0x09 0x0a 0x0b 0x0c 0x0d 0x0e 0x0f..."));
        QCOMPARE(lines[1].text.count("0x"), 48);
        QCOMPARE(lines[2].text.count("0x"), 48);
        QCOMPARE(lines[3].text.count("0x"), 32);
        QVERIFY(lines[1].text.startsWith("  hex: 0x00 0x01 0x02"));
        QVERIFY(lines[3].text.endsWith("0x7E 0x7F"));
        QCOMPARE(textOf(lines[4]), QStringLiteral("  ... 共 300 字节"));

        QCOMPARE(badFrameTraceLines(switchesOn(false), "UDP", datagram.data(), 300).size(), 1);
        AppLog::ProtocolSwitches rxOff = switchesOn(true);
        rxOff.rx = false;
        QVERIFY(badFrameTraceLines(rxOff, "UDP", datagram.data(), 300).isEmpty());
        QVERIFY(badFrameTraceLines(AppLog::ProtocolSwitches(), "UDP", datagram.data(), 300).isEmpty());
        QVERIFY(badFrameTraceLines(switchesOn(true), "UDP", datagram.data(), 0).isEmpty());
        // Exactly 128 bytes: no byte-count line.
        QCOMPARE(badFrameTraceLines(switchesOn(true), "UART", datagram.data(), 128).size(), 1 + 3);
    }

    void badFrameDescriptions_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        auto row = [](const char* name, const char* hex, const char* text) {
            QTest::newRow(name) << QByteArray::fromHex(hex) << QString::fromUtf8(text);
        };
        row("suspected-message", "fd0204010001010002000100381e",
            "[接收][UART] 帧解析失败，长度14，疑似读取可见光参数，首部: "
            "0xfd 0x02 0x04 0x01 0x00 0x01 0x01 0x00 0x02 0x00 0x01 0x00 0x38 0x1e");
        row("suspected-unknown", "fd000401000101aaaaaa",
            "[接收][UART] 帧解析失败，长度10，疑似未知消息(0xaaaaaa)，首部: "
            "0xfd 0x00 0x04 0x01 0x00 0x01 0x01 0xaa 0xaa 0xaa");
        row("zero-id-not-suspected", "fd0004010001010000000000",
            "[接收][UART] 帧解析失败，长度12，首部: 0xfd 0x00 0x04 0x01 0x00 0x01 0x01 0x00 0x00 0x00 0x00 0x00");
        row("nine-bytes-not-suspected", "fd0004010001010002",
            "[接收][UART] 帧解析失败，长度9，首部: 0xfd 0x00 0x04 0x01 0x00 0x01 0x01 0x00 0x02");
        row("exactly-16-no-ellipsis", "00000000000000000000000000000000",
            "[接收][UART] 帧解析失败，长度16，首部: "
            "0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00");
    }

    void badFrameDescriptions() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(describeBadFrame("UART", reinterpret_cast<const uint8_t*>(bytes.constData()), uint16_t(bytes.size())),
                 text);
    }

    void longLineIsCutAt900Bytes() {
        const QByteArray link(1000, 'L');
        const Bytes frame = frameOf(4, 1, 0, 0x000200, {0x01, 0x00});
        const TraceLines lines = frameTraceLines(switchesOn(), "TX", link.constData(), frame.data(),
                                                 uint16_t(frame.size()), 4, 1, 0x000200, 0, 2);
        QCOMPARE(lines.size(), 1);
        QCOMPARE(lines[0].text.size(), 903);

        // Exactly 900 bytes stay as they are; 901 are cut.
        const QString nine = QString(900, QLatin1Char('x'));
        QCOMPARE(cutTraceLine(nine), nine.toUtf8());
        QCOMPARE(cutTraceLine(nine + QLatin1Char('y')), nine.toUtf8() + "...");
        // The cut counts UTF-8 bytes, not characters: 301 three-byte characters are 903 bytes.
        const QByteArray cjk = cutTraceLine(QString(301, QChar(0x5E27)));
        QCOMPARE(cjk.size(), 903);
        QVERIFY(cjk.endsWith("..."));
    }

    void traceWritesToSessionLog() {
        QVERIFY(AppLog::start());
        const QString path = AppLog::logFilePath();

        AppLog::setProtocolSwitches(AppLog::ProtocolSwitches());  // defaults: nothing traced
        const Bytes silent = frameOf(4, 1, 0, 0x000317, {0x01, 0x00});
        traceFrame("TX", "UDP", silent.data(), uint16_t(silent.size()), 4, 1, 0x000317, 0, 2);
        QVERIFY(!TestSupport::readFile(path).contains("获取相机版本"));

        AppLog::setProtocolSwitches(switchesOn(true));
        const Bytes frame = frameOf(4, 1, 0, 0x000200, {0x01, 0x00});
        traceFrame("TX", "UDP", frame.data(), uint16_t(frame.size()), 4, 1, 0x000200, 0, 2);
        const Bytes garbage(20, 0x55);
        traceBadFrame("UART", garbage.data(), uint16_t(garbage.size()));
        AppLog::setProtocolSwitches(AppLog::ProtocolSwitches());

        const QList<QByteArray> lines = TestSupport::readFile(path).split('\n');
        auto lineWith = [&lines](const QByteArray& needle) {
            for (const QByteArray& line : lines) {
                if (line.contains(needle))
                    return line;
            }
            return QByteArray();
        };
        const QByteArray frameLine = lineWith(QByteArray(kVisibleReadLine));
        QVERIFY2(frameLine.startsWith("I/proto"), frameLine.constData());
        QVERIFY(frameLine.endsWith(kVisibleReadLine));
        QVERIFY(lineWith("  hex: 0xFD 0x02 0x04").startsWith("D/proto"));
        QVERIFY(lineWith("[接收][UART] 帧解析失败，长度20").startsWith("W/proto"));
        QVERIFY(lineWith("  hex: 0x55 0x55").startsWith("W/proto"));
    }

    // The catalogue's names where no trace line above already shows them.
    void catalogueTexts_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<uint>("value");
        QTest::addColumn<QString>("text");
        auto row = [](const char* name, const char* kind, uint value, const char* text) {
            QTest::newRow(name) << QString::fromLatin1(kind) << value << QString::fromUtf8(text);
        };
        row("command-0x000317", "message", 0x000317, "获取相机版本");
        row("first-0x0001", "message", 0x000001, "云台状态");
        row("last-0x0502", "message", 0x000502, "SBUS配置获取");
        row("parenthesised-0x0203", "message", 0x000203, "可见光拍照分辨率(自定义)");
        row("class-3-still-named", "message", 0x030304, "指定混合变倍");
        row("unnamed-0x00010B", "message", 0x00010B, "未知消息(0x00010b)");
        row("gap-0x000104", "message", 0x000104, "未知消息(0x000104)");
        row("unknown-reply-keeps-class", "message", 0x01abcd, "未知消息(0x01abcd)");
        row("bits-above-23-not-shown", "message", 0xFF00FFFF, "未知消息(0x00ffff)");
        row("class-0", "class", 0x000200, "指令");
        row("class-1", "class", 0x010200, "应答");
        row("class-2", "class", 0x020200, "状态");
        row("class-255", "class", 0xFF0200, "消息");
        row("device-0-unknown", "device", 0, "未知设备");
        row("device-2-flight-controller", "device", 2, "飞控");
        row("device-5-unknown", "device", 5, "未知设备");
        row("result-1-failure", "result", 1, "失败");
        row("result-10-merge-error", "result", 10, "文件合并错误");
        row("result-11-fallback", "result", 11, "响应码=0x000b");
        row("result-0x0201-recording", "result", 0x0201, "正在录像");
        row("result-0xffff-fallback", "result", 0xFFFF, "响应码=0xffff");
    }
    void catalogueTexts() {
        QFETCH(QString, kind);
        QFETCH(uint, value);
        QFETCH(QString, text);
        const QString shown = kind == "message"  ? messageDisplayName(value)
                              : kind == "class"  ? messageClassWord(value)
                              : kind == "device" ? deviceDisplayName(uint8_t(value))
                                                 : resultCodeText(uint16_t(value));
        QCOMPARE(shown, text);
    }

    // The frame tool prints the same descriptions for frames given on its command line or input.
    void roundTripBuildThenDescribe_data() {
        QTest::addColumn<QStringList>("buildArgs");
        QTest::addColumn<QString>("description");
        QTest::newRow("camera-version-reply")
            << QStringList{"1", "0x010317", "00 00 01 02 03", "--sender", "4", "--seq", "200"}
            << QStringLiteral(
                   "[接收][UDP] 相机(0x04) -> 应用(0x01) | 应答:获取相机版本(010317) | 序号200 | "
                   "成功，相机版本 v1.2.3");
        QTest::newRow("zero-payload-to-gimbal")
            << QStringList{"3", "18"}
            << QStringLiteral("[发送][UDP] 应用(0x01) -> 云台(0x03) | 指令:获取云台版本(000018) | 序号0");
        QTest::newRow("largest-payload")
            << QStringList{"4", "000302", QString(243 * 2, QLatin1Char('0'))}
            << QStringLiteral(
                   "[发送][UDP] 应用(0x01) -> 相机(0x04) | 指令:拍照(000302) | 序号0 | 拍照模式=0，开始拍照");
    }

    void roundTripBuildThenDescribe() {
        QFETCH(QStringList, buildArgs);
        QFETCH(QString, description);
        const Run built = runTool(QStringList{QStringLiteral("--build")} + buildArgs);
        QVERIFY2(built.exitCode == 0, qPrintable(built.err));
        const QString frame = built.out.trimmed();
        const Run described = runTool({frame});
        QVERIFY2(described.exitCode == 0, qPrintable(frame + QLatin1Char(' ') + described.err));
        QCOMPARE(described.out, description + QLatin1Char('\n'));
    }

    void describesStandardInputLineByLine() {
        const QByteArray input =
            "# captured on the serial line\n"
            "FD 02 04 01 00 01 01 00 02 00 01 00 38 1D\r\n"
            "\n"
            "0xfd,0x02,0x04,0x01,0x00,0x01,0x01,0x00,0x02,0x00,0x01,0x00,0x38,0x1e\n"
            "fd0204010001010002000100381d fd0204010101010002000100\n";
        const Run run = runTool({QStringLiteral("--link"), QStringLiteral("UART")}, input);
        QCOMPARE(run.exitCode, 1);  // some bytes did not form a frame
        const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines[0].startsWith(QStringLiteral("[发送][UART] 应用(0x01) -> 相机(0x04)")));
        QVERIFY(lines[1].startsWith(QStringLiteral("[接收][UART] 帧解析失败，长度14，疑似读取可见光参数，首部: 0xfd")));
        QCOMPARE(lines[2], lines[0]);
        QVERIFY2(lines[3].startsWith(QStringLiteral("[接收][UART] 帧解析失败，长度12，疑似")), qPrintable(lines[3]));
        QVERIFY(run.err.isEmpty());
    }

    // Bytes pasted unquoted after the command arrive one per argument: they are read as one text.
    void argumentsFormOneHexText() {
        const QString request = runTool({"--build", "4", "000200", "01 00"}).out.trimmed();
        QCOMPARE(request, QStringLiteral("FD 02 04 01 00 01 01 00 02 00 01 00 38 1D"));
        const QString line = QString::fromUtf8(kVisibleReadLine) + QLatin1Char('\n');
        const Run unquoted = runTool(request.split(QLatin1Char(' ')));
        QCOMPARE(unquoted.exitCode, 0);
        QCOMPARE(unquoted.out, line);

        // Two frames, one per argument, are described one after the other.
        const Run two = runTool({request, QStringLiteral("0x") + QString(request).remove(QLatin1Char(' '))});
        QCOMPARE(two.exitCode, 0);
        QCOMPARE(two.out, line + line);
    }

    void badInputIsRejected_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("message");
        QTest::newRow("not-hex-argument")
            << QStringList{"fd02zz"} << QByteArray() << "not a hexadecimal digit at column 5";
        QTest::newRow("odd-digits") << QStringList{"fd 0"} << QByteArray() << "odd number of hexadecimal digits";
        QTest::newRow("odd-digits-second-argument")
            << QStringList{"FD", "0"} << QByteArray() << "argument 2: odd number";
        QTest::newRow("bare-prefix") << QStringList{"0x"} << QByteArray() << "\"0x\" without digits";
        QTest::newRow("not-hex-line") << QStringList() << QByteArray("fd 02\nhexa\n")
                                      << "line 2: not a hexadecimal digit at column 1";
        QTest::newRow("unknown-option") << QStringList{"--frobnicate"} << QByteArray() << "unknown option";
        QTest::newRow("missing-value") << QStringList{"--link"} << QByteArray() << "needs a value";
        QTest::newRow("bad-direction") << QStringList{"--direction", "UP", "fd"} << QByteArray() << "must be TX or RX";
        QTest::newRow("build-missing-id") << QStringList{"--build", "4"} << QByteArray() << "needs RECEIVER and MSGID";
        QTest::newRow("build-receiver-256")
            << QStringList{"--build", "256", "0200"} << QByteArray() << "not a device id";
        QTest::newRow("build-id-above-24-bits")
            << QStringList{"--build", "4", "1000000"} << QByteArray() << "not hexadecimal from 0 to FFFFFF";
        QTest::newRow("build-payload-244") << QStringList{"--build", "4", "0302", QString(244 * 2, QLatin1Char('a'))}
                                           << QByteArray() << "payload of 244 bytes";
        QTest::newRow("build-payload-not-hex")
            << QStringList{"--build", "4", "0302", "0g"} << QByteArray() << "payload: not a hexadecimal digit";
        QTest::newRow("too-many-bytes") << QStringList() << QByteArray(65536 * 2, 'f') + '\n'
                                        << "line 1: more than 65535 bytes";
        QTest::newRow("line-too-long") << QStringList() << QByteArray(300000, ' ') + "fd\n"
                                       << "line 1: line longer than";
    }

    void badInputIsRejected() {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, input);
        QFETCH(QString, message);
        const Run run = runTool(arguments, input);
        QVERIFY(!run.crashed);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(QStringLiteral("skyvane-frame: ")) && run.err.contains(message), qPrintable(run.err));
    }

    void binaryGarbageOnStandardInputDoesNotCrash() {
        QByteArray garbage(256 * 1024, '\0');
        QRandomGenerator random(20261206);
        for (char& c : garbage)
            c = static_cast<char>(random.bounded(256));
        const Run run = runTool({}, garbage);
        QVERIFY2(!run.crashed, "the tool crashed on random bytes");
        QCOMPARE(run.exitCode, 2);
        // Hexadecimal-looking garbage of the largest size is described, not refused.
        QByteArray hex;
        for (int i = 0; i < 65535; ++i)
            hex += QByteArray::number(random.bounded(256), 16).rightJustified(2, '0');
        const Run big = runTool({}, hex + '\n');
        QVERIFY(!big.crashed);
        QVERIFY(big.exitCode == 0 || big.exitCode == 1);
        QVERIFY(!big.out.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestFrameCodec)
#include "tst_framecodec.moc"
