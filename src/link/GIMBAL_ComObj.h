#pragma once

#include <cstdint>

#include "IOStream.h"

// A byte stream that leads to the gimbal. The extra operation names the channel behind the stream;
// 0xFFFF means the stream has no fixed channel number.
class GIMBAL_ComObj : public IOStream {
public:
    virtual uint16_t channelId() = 0;

protected:
    ~GIMBAL_ComObj() = default;
};
