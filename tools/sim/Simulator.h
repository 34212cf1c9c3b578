#pragma once

#include <QObject>

#include <functional>

#include "SimOptions.h"
#include "VideoScene.h"

// Puts the simulated device together: the device model, its links and the fault injector.
class Simulator : public QObject {
    Q_OBJECT
public:
    explicit Simulator(const SimOptions& options, QObject* parent = nullptr);

    // Opens the configured links; each ready link is announced through ready (one line).
    bool start(QString* error, const std::function<void(const QString&)>& ready);
    VideoState videoState() const;

signals:
    void videoStateChanged();

private:
    SimOptions m_options;
};
