#include "Simulator.h"

Simulator::Simulator(const SimOptions& options, QObject* parent) : QObject(parent), m_options(options) {}

bool Simulator::start(QString*, const std::function<void(const QString&)>&) {
    return true;
}

VideoState Simulator::videoState() const {
    VideoState state;
    state.product = m_options.product;
    return state;
}
