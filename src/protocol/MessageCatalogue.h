#pragma once

#include <QString>

#include <cstdint>

// The protocol's vocabulary: how a 24-bit message id is composed, named ids for the messages
// and devices, and the display texts the trace uses. No behaviour depends on the texts.

// A message id is <class:8><number:16>. A reply carries its command's number with class 1.
namespace MessageClass {
constexpr uint8_t Command = 0;
constexpr uint8_t Reply = 1;
constexpr uint8_t Report = 2;
}  // namespace MessageClass

constexpr uint16_t messageNumber(uint32_t messageId) {
    return static_cast<uint16_t>(messageId & 0xFFFF);
}
constexpr uint8_t messageClass(uint32_t messageId) {
    return static_cast<uint8_t>((messageId >> 16) & 0xFF);
}
constexpr uint32_t makeMessageId(uint8_t messageClass, uint16_t number) {
    return (static_cast<uint32_t>(messageClass) << 16) | number;
}
constexpr uint32_t replyIdOf(uint32_t messageId) {
    return makeMessageId(MessageClass::Reply, messageNumber(messageId));
}
constexpr uint32_t reportIdOf(uint32_t messageId) {
    return makeMessageId(MessageClass::Report, messageNumber(messageId));
}

// Device ids, frame bytes 2 (receiver) and 5 (sender).
namespace DeviceId {
constexpr uint8_t Application = 1;
constexpr uint8_t FlightController = 2;
constexpr uint8_t Gimbal = 3;
constexpr uint8_t Camera = 4;
}  // namespace DeviceId

// Message ids with class 0 (command); use replyIdOf()/reportIdOf() for the other classes.
namespace MessageId {
constexpr uint32_t GimbalStatus = 0x000001;
constexpr uint32_t GimbalAttitude = 0x000002;
constexpr uint32_t CameraSystemStatus = 0x000003;
constexpr uint32_t InfraredCameraStatus = 0x000004;
constexpr uint32_t VisibleCameraStatus = 0x000005;
constexpr uint32_t GimbalControl = 0x000010;
constexpr uint32_t GimbalSetAngle = 0x000012;
constexpr uint32_t GimbalDriftCalibration = 0x000013;
constexpr uint32_t GimbalWheelSpeed = 0x000017;
constexpr uint32_t GimbalVersion = 0x000018;
constexpr uint32_t GimbalPointToAim = 0x00002C;
constexpr uint32_t FlightControllerInfo = 0x000032;
constexpr uint32_t InfraredReadSettings = 0x000100;
constexpr uint32_t InfraredDigitalZoom = 0x000105;
constexpr uint32_t InfraredPalette = 0x000106;
constexpr uint32_t InfraredThermometrySwitch = 0x000108;
constexpr uint32_t InfraredBrightness = 0x00010B;
constexpr uint32_t InfraredContrast = 0x00010C;
constexpr uint32_t InfraredDenoise = 0x00010D;
constexpr uint32_t InfraredEnhance = 0x00010E;
constexpr uint32_t InfraredSpotThermometry = 0x00010F;
constexpr uint32_t InfraredRegionThermometry = 0x000110;
constexpr uint32_t InfraredSuperResolution = 0x000180;
constexpr uint32_t VisibleReadSettings = 0x000200;
constexpr uint32_t VisibleRecordResolution = 0x000201;
constexpr uint32_t VisiblePhotoResolution = 0x000202;
constexpr uint32_t VisiblePhotoResolutionCustom = 0x000203;
constexpr uint32_t RecordFileFormat = 0x000205;
constexpr uint32_t PhotoVideoMode = 0x000300;
constexpr uint32_t PhotoParameters = 0x000301;
constexpr uint32_t TakePhoto = 0x000302;
constexpr uint32_t Record = 0x000303;
constexpr uint32_t ZoomToRatio = 0x000304;
constexpr uint32_t ContinuousZoom = 0x000306;
constexpr uint32_t PreciseRepeatShot = 0x000307;
constexpr uint32_t VideoBitrate = 0x000308;
constexpr uint32_t VideoOutputResolution = 0x00030A;
constexpr uint32_t VideoEncoding = 0x00030B;
constexpr uint32_t CameraSetTime = 0x00030E;
constexpr uint32_t RequestGps = 0x000310;
constexpr uint32_t SetCameraIp = 0x000311;
constexpr uint32_t GetCameraIp = 0x000312;
constexpr uint32_t OsdWatermark = 0x000314;
constexpr uint32_t CameraShutdown = 0x000316;
constexpr uint32_t CameraVersion = 0x000317;
constexpr uint32_t ImageMode = 0x000318;
constexpr uint32_t AiDetection = 0x000319;
constexpr uint32_t TargetGps = 0x000320;
constexpr uint32_t BoxTracking = 0x000324;
constexpr uint32_t Rga1StoreJpeg = 0x000325;
constexpr uint32_t AiDetectionCategories = 0x000336;
constexpr uint32_t LaserRanging = 0x000400;
constexpr uint32_t LaserPeriodicRanging = 0x000406;
constexpr uint32_t SbusChannelRange = 0x000500;
constexpr uint32_t SbusChannelConfig = 0x000501;
constexpr uint32_t SbusReadConfig = 0x000502;
}  // namespace MessageId

// Result codes: the first two payload bytes of every reply (u16 little-endian); only 0 succeeds.
namespace ResultCode {
constexpr uint16_t Success = 0;
constexpr uint16_t Recording = 0x0201;
constexpr uint16_t CameraOpenFailed = 0x0202;
constexpr uint16_t TakingPhoto = 0x0203;
constexpr uint16_t NoSdCard = 0x0204;
}  // namespace ResultCode

// Display name of the message's number whatever its class, or "未知消息(0x<6 hex digits>)".
QString messageDisplayName(uint32_t messageId);
// "指令", "应答", "状态" by class 0/1/2, "消息" for any other class.
QString messageClassWord(uint32_t messageId);
// "应用", "飞控", "云台", "相机" for ids 1 to 4, "未知设备" otherwise.
QString deviceDisplayName(uint8_t deviceId);
// Display text of a reply's result code, or "响应码=0x<4 hex digits>".
QString resultCodeText(uint16_t code);
