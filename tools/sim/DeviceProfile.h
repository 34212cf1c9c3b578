#pragma once

#include <QString>
#include <QtGlobal>

#include <array>

// What distinguishes one simulated product from another.
struct DeviceProfile {
    QString name;
    // Sender id of the periodic status reports: the camera-routed models (Tern, Tern-LITE-B, Dove)
    // report from their gimbal board (3), the others from the camera (4).
    quint8 reportSender = 4;
    double maxZoom = 40;
    int paletteSet = 0;  // reported in the thermometry report: 0 (20 palettes), 1 (11) or 3 (15)
    int paletteCount = 20;
    std::array<quint8, 3> gimbalHardware{};
    std::array<quint8, 3> gimbalSoftware{};
    std::array<quint8, 3> cameraVersion{};
};

// The profile of one of the six product names; the first product for an unknown name.
DeviceProfile deviceProfile(const QString& product);
