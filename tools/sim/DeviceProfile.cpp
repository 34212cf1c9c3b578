#include "DeviceProfile.h"

#include <QVector>

DeviceProfile deviceProfile(const QString& product) {
    // name, report sender, max zoom, palette set, palette count, gimbal hw, gimbal sw, camera
    static const QVector<DeviceProfile> profiles = {
        {QStringLiteral("WrenT-R2"), 4, 40, 0, 20, {2, 1, 0}, {1, 6, 3}, {3, 2, 7}},
        {QStringLiteral("Wren-R2"), 4, 40, 0, 20, {2, 0, 1}, {1, 6, 2}, {3, 1, 9}},
        {QStringLiteral("Tern-LITE-A"), 4, 80, 0, 20, {1, 3, 0}, {2, 0, 4}, {4, 0, 2}},
        {QStringLiteral("Tern-LITE-B"), 3, 100, 1, 11, {1, 3, 1}, {2, 1, 0}, {4, 1, 5}},
        {QStringLiteral("Tern"), 3, 160, 3, 15, {1, 2, 2}, {2, 2, 8}, {5, 0, 1}},
        {QStringLiteral("Dove"), 3, 160, 0, 20, {3, 0, 0}, {1, 0, 6}, {2, 4, 0}},
    };
    for (const DeviceProfile& profile : profiles)
        if (profile.name == product)
            return profile;
    return profiles.first();
}
