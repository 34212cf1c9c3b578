#include <QtTest>

#include <algorithm>
#include <cstring>
#include <vector>

#include "protocol/FrameCodec.h"

namespace {

using Bytes = std::vector<uint8_t>;

QByteArray hexOf(const uint8_t* bytes, int length) {
    return QByteArray(reinterpret_cast<const char*>(bytes), length).toHex(' ').toUpper();
}

Bytes buildBytes(uint8_t receiver, uint8_t sequence, uint32_t messageId, const Bytes& payload) {
    Bytes frame(kMaxFrameLength, 0);
    const uint16_t length =
        buildFrame(frame.data(), receiver, 1, sequence, 1, 1, messageId, payload.empty() ? nullptr : payload.data(),
                   static_cast<uint8_t>(payload.size()));
    frame.resize(length);
    return frame;
}

// A record with every byte set, so a parse that touches it on failure is noticed.
ParsedFrame sentinelRecord() {
    ParsedFrame record;
    auto* raw = reinterpret_cast<unsigned char*>(&record);
    std::fill(raw, raw + sizeof record, static_cast<unsigned char>(0xA5));
    return record;
}

bool sameRecord(const ParsedFrame& a, const ParsedFrame& b) {
    return a.startByte == b.startByte && a.payloadLength == b.payloadLength && a.receiverId == b.receiverId &&
           a.headerByte3 == b.headerByte3 && a.sequence == b.sequence && a.senderId == b.senderId &&
           a.headerByte6 == b.headerByte6 && a.messageId == b.messageId && a.checksum == b.checksum &&
           std::memcmp(a.payload, b.payload, sizeof a.payload) == 0;
}

}  // namespace

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

    void visibleReadRequestIsBuiltByteForByte() {
        const Bytes frame = buildBytes(4, 0, 0x000200, {0x01, 0x00});
        const Bytes expected = {0xFD, 0x02, 0x04, 0x01, 0x00, 0x01, 0x01, 0x00, 0x02, 0x00, 0x01, 0x00, 0x38, 0x1D};
        QVERIFY2(frame == expected, hexOf(frame.data(), int(frame.size())).constData());
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
    // the payload, and the record's payload area beyond the payload is cleared.
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
        const Bytes frame = buildBytes(4, 9, 0x000303, payload);
        QCOMPARE(int(frame.size()), payloadLength + 12);
        QCOMPARE(int(frame[1]), payloadLength);
        QVERIFY(std::equal(payload.begin(), payload.end(), frame.begin() + 10));
        const uint16_t crc = frameCrc16(frame.data() + 1, uint16_t(9 + payloadLength));
        QCOMPARE(int(frame[10 + payloadLength]), crc & 0xFF);
        QCOMPARE(int(frame[11 + payloadLength]), crc >> 8);
        ParsedFrame record = sentinelRecord();
        QVERIFY2(parseFrame(frame.data(), uint16_t(frame.size()), &record), hexOf(frame.data(), 16).constData());
        QCOMPARE(int(record.payloadLength), payloadLength);
        QVERIFY(std::memcmp(record.payload, payload.data(), payload.size()) == 0);
        for (int i = payloadLength; i < kMaxPayloadLength; ++i)
            QCOMPARE(record.payload[i], uint8_t(0));
    }

    void messageIdKeepsClassAndDropsHighBits_data() {
        QTest::addColumn<uint>("given");
        QTest::addColumn<uint>("onWire");
        QTest::newRow("command") << 0x000317u << 0x000317u;
        QTest::newRow("reply-class-1") << 0x010317u << 0x010317u;
        QTest::newRow("report-class-2") << 0x020303u << 0x020303u;
        QTest::newRow("bits-above-23-dropped") << 0xAB010304u << 0x010304u;
        QTest::newRow("all-bits-set") << 0xFFFFFFFFu << 0xFFFFFFu;
    }
    void messageIdKeepsClassAndDropsHighBits() {
        QFETCH(uint, given);
        QFETCH(uint, onWire);
        const Bytes frame = buildBytes(4, 1, given, {0x00, 0x00});
        QCOMPARE(uint(frame[7] | (frame[8] << 8) | (frame[9] << 16)), onWire);
        ParsedFrame record;
        QVERIFY(parseFrame(frame.data(), uint16_t(frame.size()), &record));
        QCOMPARE(uint(record.messageId), onWire);
    }

    void parseRoundTripFillsRecord() {
        Bytes frame(kMaxFrameLength, 0);
        const uint8_t payload[] = {0x00, 0x00, 0x01, 0x02, 0x03};
        const uint16_t length = buildFrame(frame.data(), 1, 0x22, 0xFE, 4, 0x66, 0x010317, payload, sizeof payload);
        ParsedFrame record = sentinelRecord();
        QVERIFY(parseFrame(frame.data(), length, &record));
        QCOMPARE(record.startByte, uint8_t(0xFD));
        QCOMPARE(record.payloadLength, uint8_t(5));
        QCOMPARE(record.receiverId, uint8_t(1));
        QCOMPARE(record.headerByte3, uint8_t(0x22));
        QCOMPARE(record.sequence, uint8_t(0xFE));
        QCOMPARE(record.senderId, uint8_t(4));
        QCOMPARE(record.headerByte6, uint8_t(0x66));
        QCOMPARE(record.messageId, uint32_t(0x010317));
        QVERIFY(std::memcmp(record.payload, payload, sizeof payload) == 0);
        QCOMPARE(record.checksum, uint16_t(frame[15] | (frame[16] << 8)));
    }

    void parseIgnoresTrailingBytes() {
        Bytes stream = buildBytes(4, 3, 0x000200, {0x01, 0x00});
        const Bytes second = buildBytes(4, 4, 0x000317, {0x00, 0x00});
        stream.insert(stream.end(), second.begin(), second.end());
        stream.push_back(0xEE);
        ParsedFrame record;
        QVERIFY(parseFrame(stream.data(), uint16_t(stream.size()), &record));
        QCOMPARE(record.messageId, uint32_t(0x000200));
        QCOMPARE(record.sequence, uint8_t(3));
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
        const Bytes frame = buildBytes(4, 0, 0x000200, {0x01, 0x00});  // 14 bytes
        ParsedFrame record = sentinelRecord();
        const ParsedFrame before = record;
        QVERIFY(!parseFrame(nullBytes ? nullptr : frame.data(), uint16_t(available), &record));
        QVERIFY(sameRecord(record, before));
        QVERIFY(!parseFrame(frame.data(), uint16_t(frame.size()), nullptr));

        // Eleven bytes never parse, whatever they are: even a valid zero-payload frame cut by one.
        const Bytes empty = buildBytes(4, 0, 0x000100, {});
        QVERIFY(!parseFrame(empty.data(), 11, &record));
    }

    void parseRejectsLengthByte244EvenWithMatchingChecksum() {
        Bytes bytes(244 + 12, 0x11);
        bytes[0] = 0xFD;
        bytes[1] = 244;
        const uint16_t crc = frameCrc16(bytes.data() + 1, 244 + 9);
        bytes[254] = static_cast<uint8_t>(crc & 0xFF);
        bytes[255] = static_cast<uint8_t>(crc >> 8);
        ParsedFrame record = sentinelRecord();
        const ParsedFrame before = record;
        QVERIFY(!parseFrame(bytes.data(), uint16_t(bytes.size()), &record));
        QVERIFY(sameRecord(record, before));
    }

    // The start byte included: a flip there makes it some other byte.
    void parseRejectsEverySingleBitFlip() {
        const Bytes frame = buildBytes(4, 0x5C, 0x010200, {0x00, 0x00, 0x07, 0x03, 0x99});
        for (std::size_t byte = 0; byte < frame.size(); ++byte) {
            for (int bit = 0; bit < 8; ++bit) {
                Bytes damaged = frame;
                damaged[byte] ^= static_cast<uint8_t>(1u << bit);
                ParsedFrame record;
                QVERIFY2(!parseFrame(damaged.data(), uint16_t(damaged.size()), &record),
                         qPrintable(QStringLiteral("byte %1 bit %2 accepted: %3")
                                        .arg(byte)
                                        .arg(bit)
                                        .arg(QString::fromLatin1(hexOf(damaged.data(), int(damaged.size()))))));
            }
        }
    }
};

QTEST_APPLESS_MAIN(TestFrameCodec)
#include "tst_framecodec.moc"
