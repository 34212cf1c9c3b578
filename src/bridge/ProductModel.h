#pragma once

#include <QString>
#include <QStringList>

// Factory network of the products' cameras. Never contacted from tests or demo runs.
inline const QString kDeviceAddressA = QStringLiteral("192.168.120.10");
inline const QString kDeviceAddressB = QStringLiteral("192.168.120.20");
inline const QString kCameraDefaultGateway = QStringLiteral("192.168.120.1");
inline const QString kCameraDefaultSubnetMask = QStringLiteral("255.255.255.0");

// Product model names, compared exactly wherever a rule depends on the model.
QStringList productModels();
bool isKnownProduct(const QString& product);
double productMaxVisibleZoom(const QString& product);
// Receiver of gimbal frames; 4 on the models whose gimbal is reached through the camera.
int productGimbalDestinationId(const QString& product);
