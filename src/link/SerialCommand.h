#pragma once

#include <cstdint>

#include "IOStream.h"

// A stream over a fixed in-memory buffer: bytes written are appended (and dropped once the buffer
// is full), bytes read come back in order; reading past the end yields 0.
class SerialCommand : public IOStream {
public:
    static constexpr int kCapacity = 250;

    uint16_t available() override;
    uint8_t readByte() override;
    void writeByte(uint8_t byte) override;

    uint8_t readPosition() const { return m_readPosition; }
    uint8_t count() const { return m_count; }

private:
    uint8_t m_readPosition = 0;
    uint8_t m_count = 0;
    uint8_t m_data[kCapacity] = {};
};
