#pragma once

#include <cstdint>

#include "platform/types.h"

namespace synchronization::messaging {

class IMessageSender {
public:
    virtual ~IMessageSender() = default;
    virtual bool Post(std::uint32_t code, platform::WParam wParam, platform::LParam lParam) = 0;
    virtual bool Post(std::uint32_t code) = 0;
};

}  // namespace synchronization::messaging
