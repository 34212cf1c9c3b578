#pragma once

#include <QString>

// Prepares the application's skyvane.cfg for a session against the simulator: selects the
// product, puts the simulator's stream first in that product's stream history and, when no
// backend is chosen yet, selects the FFmpeg video backend. With a device address, the link panel
// offers the simulator's UDP address and port (Device/Address, Device/Port) instead of the
// product's factory address. Every other key is kept.
bool seedAppConfig(const QString& path, const QString& product, const QString& rtspUrl, QString* error,
                   const QString& deviceAddress = QString(), int devicePort = 0);
