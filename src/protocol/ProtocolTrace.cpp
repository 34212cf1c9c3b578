#include "ProtocolTrace.h"

#include "FrameCodec.h"
#include "MessageCatalogue.h"
#include "app/elog.h"

namespace {

uint16_t u16At(const uint8_t* p, int at) {
    return static_cast<uint16_t>(p[at] | (p[at + 1] << 8));
}
int16_t s16At(const uint8_t* p, int at) {
    return static_cast<int16_t>(u16At(p, at));
}
QString dec(int value) {
    return QString::number(value);
}
QString hex2(uint32_t value) {
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0'));
}
QString fixed(double value, int decimals) {
    return QString::number(value, 'f', decimals);
}

bool startsWithT(const char* direction) {
    return direction && (direction[0] == 'T' || direction[0] == 't');
}
bool present(const char* text) {
    return text && text[0] != '\0';
}
QString linkText(const char* linkName) {
    return present(linkName) ? QString::fromUtf8(linkName) : QStringLiteral("?");
}

// Rule 1: a reply's result code, with the value the reply carries after it when it succeeded.
// Every extra reads its fields from byte 2 on, right after the result code. That includes the zoom
// state of a successful 0x0304 reply: byte 2, like the others.
QString describeReply(uint16_t number, const uint8_t* p, uint16_t n) {
    const uint16_t code = u16At(p, 0);
    QString text = resultCodeText(code);
    if (code != ResultCode::Success)
        return text;
    switch (number) {
        case messageNumber(MessageId::TakePhoto):
            if (n >= 3)
                text += QStringLiteral("，反馈=%1").arg(dec(p[2]));
            break;
        case messageNumber(MessageId::Record):
            if (n >= 4)
                text += QStringLiteral("，已录%1秒").arg(u16At(p, 2));
            break;
        case messageNumber(MessageId::ImageMode):
            if (n >= 3)
                text += QStringLiteral("，当前=") + imageModeText(p[2]);
            break;
        case messageNumber(MessageId::VisibleReadSettings):
            if (n >= 4)
                text += QStringLiteral("，拍照分辨率索引=%1，录像分辨率索引=%2").arg(dec(p[2])).arg(dec(p[3]));
            break;
        case messageNumber(MessageId::GimbalVersion):
            if (n >= 9) {
                text += QStringLiteral("，硬件 v%1.%2.%3，软件 v%4.%5.%6")
                            .arg(dec(p[2]), dec(p[3]), dec(p[4]), dec(p[5]), dec(p[6]), dec(p[7]));
            }
            break;
        case messageNumber(MessageId::CameraVersion):
            if (n >= 5)
                text += QStringLiteral("，相机版本 v%1.%2.%3").arg(dec(p[2]), dec(p[3]), dec(p[4]));
            break;
        case messageNumber(MessageId::LaserRanging):
            if (n >= 4)
                text += QStringLiteral("，距离=%1 m").arg(fixed(u16At(p, 2) / 10.0, 1));
            break;
        case messageNumber(MessageId::ZoomToRatio):
            if (n >= 3)
                text += QStringLiteral("，变倍状态=%1").arg(dec(p[2]));
            break;
        default:
            break;
    }
    return text;
}

// Rule 2: status reports with a decoder of their own; empty when the report has none.
QString describeReport(uint16_t number, const uint8_t* p, uint16_t n) {
    switch (number) {
        case messageNumber(MessageId::GimbalAttitude):
            if (n < 20)
                break;
            return QStringLiteral("偏航=%1° 俯仰=%2° 横滚=%3°")
                .arg(fixed(s16At(p, 6) / 100.0, 2), fixed(s16At(p, 10) / 100.0, 2), fixed(s16At(p, 8) / 100.0, 2));
        case messageNumber(MessageId::CameraSystemStatus):
            if (n < 9)
                break;
            return QStringLiteral("拍照录像模式=%1，推流模式=%2，SD状态=%3").arg(dec(p[0]), dec(p[3]), dec(p[8]));
        case messageNumber(MessageId::VisibleCameraStatus):
            if (n < 15)
                break;
            return QStringLiteral("可见光变倍=%1").arg(fixed(u16At(p, 0) / 10.0, 1));
        case messageNumber(MessageId::InfraredCameraStatus):
            if (n < 4)
                break;
            return QStringLiteral("红外变倍=%1").arg(dec(p[0]));
        case messageNumber(MessageId::Record):
            if (n < 4)
                break;
            return QStringLiteral("%1，时长%2秒")
                .arg(p[1] == 0 ? QStringLiteral("未录像") : QStringLiteral("录像中"), dec(u16At(p, 2)));
        case messageNumber(MessageId::LaserPeriodicRanging): {
            if (n < 4)
                break;
            const uint16_t range = u16At(p, 2);
            if (range == 0)
                return QStringLiteral("测距无效");
            return QStringLiteral("测距=%1 m").arg(fixed(range / 10.0, 2));
        }
        default:
            break;
    }
    return {};
}

QString photoCommandText(uint8_t command) {
    if (command == 0)
        return QStringLiteral("开始拍照");
    if (command == 1)
        return QStringLiteral("停止拍照");
    return QStringLiteral("拍照命令=%1").arg(dec(command));
}

QString recordCommandText(uint8_t command) {
    if (command == 1)
        return QStringLiteral("开始录像");
    if (command == 2)
        return QStringLiteral("停止录像");
    return QStringLiteral("录像命令=%1").arg(dec(command));
}

QString zoomCommandText(uint8_t command) {
    switch (command) {
        case 0:
            return QStringLiteral("停止变倍");
        case 1:
            return QStringLiteral("放大");
        case 2:
            return QStringLiteral("缩小");
        default:
            return QStringLiteral("变倍控制=%1").arg(dec(command));
    }
}

// Rule 3: command arguments by message number, whatever the class.
QString describeCommand(uint16_t number, const uint8_t* p, uint16_t n) {
    switch (number) {
        case messageNumber(MessageId::GimbalControl):
            if (n < 3)
                break;
            return QStringLiteral("工作模式=0x%1，方位=%2，俯仰=%3").arg(hex2(p[0]), dec(p[1]), dec(p[2]));
        case messageNumber(MessageId::GimbalSetAngle):
            if (n < 7)
                break;
            return QStringLiteral("俯仰方向=%1 角度=%2，偏航方向=%3 角度=%4")
                .arg(dec(p[0]), dec(u16At(p, 1)), dec(p[3]), dec(u16At(p, 4)));
        case messageNumber(MessageId::InfraredPalette):
            return QStringLiteral("伪彩方案=%1").arg(dec(p[0]));
        case messageNumber(MessageId::TakePhoto):
            if (n < 2)
                break;
            return QStringLiteral("拍照模式=%1，%2").arg(dec(p[0]), photoCommandText(p[1]));
        case messageNumber(MessageId::Record):
            if (n < 2)
                break;
            return QStringLiteral("录像模式=%1，%2").arg(dec(p[0]), recordCommandText(p[1]));
        case messageNumber(MessageId::ZoomToRatio):
            if (n < 3)
                break;
            return QStringLiteral("变倍倍率=%1").arg(u16At(p, 1));
        case messageNumber(MessageId::ContinuousZoom):
            return zoomCommandText(p[0]);
        case messageNumber(MessageId::ImageMode):
            return QStringLiteral("切换到") + imageModeText(p[0]);
        case messageNumber(MessageId::BoxTracking):
            if (n < 12)
                break;
            return QStringLiteral("追踪=%1，框(%2,%3)-(%4,%5)")
                .arg(p[0] == 0 ? QStringLiteral("停止") : QStringLiteral("开始"), dec(u16At(p, 1)), dec(u16At(p, 3)),
                     dec(u16At(p, 5)), dec(u16At(p, 7)));
        case messageNumber(MessageId::LaserRanging):
            return QStringLiteral("测距模式=%1").arg(dec(p[0]));
        case messageNumber(MessageId::LaserPeriodicRanging):
            return QStringLiteral("周期测距=%1").arg(p[0] == 0 ? QStringLiteral("关闭") : QStringLiteral("开启"));
        default:
            break;
    }
    return {};
}

// Rule 4: raw bytes when short, the size otherwise.
QString describeRaw(const uint8_t* p, uint16_t n) {
    if (n <= 8)
        return QStringLiteral("数据: ") + byteListText(p, n);
    return QStringLiteral("载荷%1字节").arg(n);
}

QByteArray hexLine(const uint8_t* bytes, int count) {
    static const char kDigits[] = "0123456789ABCDEF";
    QByteArray line("  hex: ");
    line.reserve(line.size() + count * 5);
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            line += ' ';
        line += "0x";
        line += kDigits[bytes[i] >> 4];
        line += kDigits[bytes[i] & 0x0F];
    }
    return line;
}

void appendHexDump(TraceLines& lines, int level, const uint8_t* bytes, uint16_t length) {
    for (const QByteArray& text : hexDumpLines(bytes, length))
        lines.append({level, text});
}

}  // namespace

QString imageModeText(uint8_t mode) {
    switch (mode) {
        case 0:
            return QStringLiteral("红外");
        case 5:
        case 6:
            return QStringLiteral("可见光");
        case 7:
            return QStringLiteral("分屏");
        default:
            return QStringLiteral("图像模式=%1").arg(dec(mode));
    }
}

QString byteListText(const uint8_t* bytes, uint16_t length) {
    QString text;
    if (!bytes)
        return text;
    text.reserve(length * 5);
    for (uint16_t i = 0; i < length; ++i) {
        if (i > 0)
            text += QLatin1Char(' ');
        text += QStringLiteral("0x") + hex2(bytes[i]);
    }
    return text;
}

QString describePayload(uint32_t messageId, const uint8_t* payload, uint16_t payloadLength) {
    if (!payload || payloadLength == 0)
        return {};
    const uint16_t number = messageNumber(messageId);
    const uint8_t cls = messageClass(messageId);
    if (cls == MessageClass::Reply && payloadLength >= 2)
        return describeReply(number, payload, payloadLength);
    if (cls == MessageClass::Report) {
        QString report = describeReport(number, payload, payloadLength);
        if (!report.isEmpty())
            return report;
    }
    QString command = describeCommand(number, payload, payloadLength);
    if (!command.isEmpty())
        return command;
    return describeRaw(payload, payloadLength);
}

QString describeFrame(const char* direction, const char* linkName, uint8_t senderId, uint8_t receiverId,
                      uint32_t messageId, uint8_t sequence, const uint8_t* payload, uint16_t payloadLength) {
    // Built by concatenation so that nothing in a link name can be taken for a placeholder.
    QString line = QLatin1Char('[') + (startsWithT(direction) ? QStringLiteral("发送") : QStringLiteral("接收")) +
                   QStringLiteral("][") + linkText(linkName) + QStringLiteral("] ") + deviceDisplayName(senderId) +
                   QStringLiteral("(0x") + hex2(senderId) + QStringLiteral(") -> ") + deviceDisplayName(receiverId) +
                   QStringLiteral("(0x") + hex2(receiverId) + QStringLiteral(") | ") + messageClassWord(messageId) +
                   QLatin1Char(':') + messageDisplayName(messageId) + QLatin1Char('(') +
                   QStringLiteral("%1").arg(messageId & kMessageIdMask, 6, 16, QLatin1Char('0')) +
                   QStringLiteral(") | 序号") + dec(sequence);
    const QString payloadText = describePayload(messageId, payload, payloadLength);
    if (!payloadText.isEmpty())
        line += QStringLiteral(" | ") + payloadText;
    return line;
}

QString describeBadFrame(const char* linkName, const uint8_t* bytes, uint16_t length) {
    QString line = QStringLiteral("[接收][") + linkText(linkName) + QStringLiteral("] 帧解析失败，长度") + dec(length);
    if (!bytes)
        return line;
    if (length >= 10 && bytes[0] == kFrameStartByte) {
        const uint32_t id = bytes[7] | (bytes[8] << 8) | (static_cast<uint32_t>(bytes[9]) << 16);
        if (id != 0)
            line += QStringLiteral("，疑似") + messageDisplayName(id);
    }
    constexpr uint16_t kHeadBytes = 16;
    line += QStringLiteral("，首部: ") + byteListText(bytes, length < kHeadBytes ? length : kHeadBytes);
    if (length > kHeadBytes)
        line += QStringLiteral("...");
    return line;
}

QByteArrayList hexDumpLines(const uint8_t* bytes, uint16_t length) {
    QByteArrayList lines;
    if (!bytes)
        return lines;
    for (int offset = 0; offset < length; offset += kHexDumpBytesPerLine) {
        const int count = qMin(kHexDumpBytesPerLine, length - offset);
        lines.append(hexLine(bytes + offset, count));
    }
    return lines;
}

QByteArray cutTraceLine(const QString& line) {
    QByteArray utf8 = line.toUtf8();
    if (utf8.size() > kTraceLineMaxBytes) {
        utf8.truncate(kTraceLineMaxBytes);
        utf8 += "...";
    }
    return utf8;
}

bool isStatusFrameId(uint32_t messageId) {
    switch (messageId) {
        case MessageId::GimbalStatus:
        case reportIdOf(MessageId::GimbalAttitude):
        case reportIdOf(MessageId::CameraSystemStatus):
        case reportIdOf(MessageId::InfraredCameraStatus):
        case reportIdOf(MessageId::VisibleCameraStatus):
        case reportIdOf(MessageId::Record):
            return true;
        default:
            return false;
    }
}

TraceLines frameTraceLines(const AppLog::ProtocolSwitches& switches, const char* direction, const char* linkName,
                           const uint8_t* frame, uint16_t frameLength, uint8_t receiverId, uint8_t senderId,
                           uint32_t messageId, uint8_t sequence, uint8_t payloadLength) {
    TraceLines lines;
    if (!switches.enabled)
        return lines;
    if (!present(direction) || !present(linkName) || !frame || frameLength == 0)
        return lines;
    if (!(startsWithT(direction) ? switches.tx : switches.rx))
        return lines;
    if (!switches.statusFrames && isStatusFrameId(messageId))
        return lines;

    // The payload length comes from the frame's length byte; never let it reach past the bytes we have.
    const uint8_t* payload = nullptr;
    uint16_t available = 0;
    if (frameLength > kFramePayloadOffset) {
        payload = frame + kFramePayloadOffset;
        available = qMin<uint16_t>(payloadLength, frameLength - kFramePayloadOffset);
    }
    const QString line =
        describeFrame(direction, linkName, senderId, receiverId, messageId, sequence, payload, available);
    lines.append({ELOG_LVL_INFO, cutTraceLine(line)});
    if (switches.hex)
        appendHexDump(lines, ELOG_LVL_DEBUG, frame, frameLength);
    return lines;
}

TraceLines badFrameTraceLines(const AppLog::ProtocolSwitches& switches, const char* linkName, const uint8_t* bytes,
                              uint16_t length) {
    TraceLines lines;
    if (!switches.enabled || !switches.rx)
        return lines;
    if (!present(linkName) || !bytes || length == 0)
        return lines;

    lines.append({ELOG_LVL_WARN, cutTraceLine(describeBadFrame(linkName, bytes, length))});
    if (switches.hex) {
        const uint16_t dumped = qMin<uint16_t>(length, kBadFrameHexDumpMaxBytes);
        appendHexDump(lines, ELOG_LVL_WARN, bytes, dumped);
        if (length > kBadFrameHexDumpMaxBytes) {
            lines.append({ELOG_LVL_WARN, QByteArray("  ... 共 ") + QByteArray::number(length) + QByteArray(" 字节")});
        }
    }
    return lines;
}
