#include "MessageCatalogue.h"

namespace {

struct NamedCode {
    uint16_t code;
    const char* name;
};

const NamedCode kMessageNames[] = {
    {0x0001, "云台状态"},
    {0x0002, "云台姿态"},
    {0x0003, "相机系统状态"},
    {0x0004, "红外相机状态"},
    {0x0005, "可见光相机状态"},
    {0x0010, "云台控制"},
    {0x0012, "指定云台角度"},
    {0x0013, "云台校飘"},
    {0x0017, "云台拨轮速度"},
    {0x0018, "获取云台版本"},
    {0x002C, "云台指点对准"},
    {0x0032, "飞控信息"},
    {0x0100, "读取红外参数"},
    {0x0105, "红外电子放大"},
    {0x0106, "红外伪彩"},
    {0x0108, "红外测温开关"},
    {0x010F, "红外点测温"},
    {0x0110, "红外区域测温"},
    {0x0200, "读取可见光参数"},
    {0x0201, "可见光录像分辨率"},
    {0x0202, "可见光拍照分辨率"},
    {0x0203, "可见光拍照分辨率(自定义)"},
    {0x0205, "录像文件格式"},
    {0x0300, "拍照录像模式"},
    {0x0301, "拍照参数"},
    {0x0302, "拍照"},
    {0x0303, "录像"},
    {0x0304, "指定混合变倍"},
    {0x0306, "连续混合变倍"},
    {0x0307, "精准复拍"},
    {0x0308, "视频码率"},
    {0x030A, "视频输出分辨率"},
    {0x030B, "视频编码格式"},
    {0x030E, "相机授时"},
    {0x0310, "请求GPS"},
    {0x0311, "设置相机IP"},
    {0x0312, "获取相机IP"},
    {0x0314, "OSD水印"},
    {0x0316, "相机关机"},
    {0x0317, "获取相机版本"},
    {0x0318, "图像模式"},
    {0x0319, "智能识别"},
    {0x0320, "目标GPS"},
    {0x0324, "框选追踪"},
    {0x0325, "RGA1存JPEG"},
    {0x0336, "获取智能识别类别"},
    {0x0400, "激光测距"},
    {0x0406, "激光周期测距"},
    {0x0500, "SBUS通道范围"},
    {0x0501, "SBUS通道配置"},
    {0x0502, "SBUS配置获取"},
};

const NamedCode kResultTexts[] = {
    {0, "成功"},
    {1, "失败"},
    {2, "未知错误"},
    {3, "校验失败"},
    {4, "超时"},
    {5, "MD5校验失败"},
    {6, "空间不足"},
    {7, "长度不符"},
    {8, "进行中"},
    {9, "文件不存在"},
    {10, "文件合并错误"},
    {0x0201, "正在录像"},
    {0x0202, "摄像头打开失败"},
    {0x0203, "正在拍照"},
    {0x0204, "未插SD卡"},
};

template <std::size_t N>
const char* lookup(const NamedCode (&table)[N], uint16_t code) {
    for (const NamedCode& entry : table) {
        if (entry.code == code)
            return entry.name;
    }
    return nullptr;
}

QString hexDigits(uint32_t value, int width) {
    return QStringLiteral("%1").arg(value, width, 16, QLatin1Char('0'));
}

}  // namespace

QString messageDisplayName(uint32_t messageId) {
    if (const char* name = lookup(kMessageNames, messageNumber(messageId)))
        return QString::fromUtf8(name);
    return QStringLiteral("未知消息(0x%1)").arg(hexDigits(messageId & 0xFFFFFF, 6));
}

QString messageClassWord(uint32_t messageId) {
    switch (messageClass(messageId)) {
        case MessageClass::Command:
            return QStringLiteral("指令");
        case MessageClass::Reply:
            return QStringLiteral("应答");
        case MessageClass::Report:
            return QStringLiteral("状态");
        default:
            return QStringLiteral("消息");
    }
}

QString deviceDisplayName(uint8_t deviceId) {
    switch (deviceId) {
        case DeviceId::Application:
            return QStringLiteral("应用");
        case DeviceId::FlightController:
            return QStringLiteral("飞控");
        case DeviceId::Gimbal:
            return QStringLiteral("云台");
        case DeviceId::Camera:
            return QStringLiteral("相机");
        default:
            return QStringLiteral("未知设备");
    }
}

QString resultCodeText(uint16_t code) {
    if (const char* text = lookup(kResultTexts, code))
        return QString::fromUtf8(text);
    return QStringLiteral("响应码=0x%1").arg(hexDigits(code, 4));
}
