#pragma once

#include <cstdint>

// A byte stream the protocol layer can poll: how many bytes wait, read one, write one.
class IOStream {
public:
    virtual uint16_t available() = 0;
    virtual uint8_t readByte() = 0;
    virtual void writeByte(uint8_t byte) = 0;

protected:
    // Streams are owned by their concrete holders and never deleted through this interface.
    ~IOStream() = default;
};
