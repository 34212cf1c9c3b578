#include "SerialCommand.h"

uint16_t SerialCommand::available() {
    // The read position keeps advancing on reads past the end; nothing is left then.
    return m_count > m_readPosition ? static_cast<uint16_t>(m_count - m_readPosition) : 0;
}

uint8_t SerialCommand::readByte() {
    const uint8_t byte = m_readPosition < m_count ? m_data[m_readPosition] : 0;
    ++m_readPosition;
    return byte;
}

void SerialCommand::writeByte(uint8_t byte) {
    if (m_count >= kCapacity)
        return;
    m_data[m_count++] = byte;
}
