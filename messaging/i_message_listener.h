#pragma once

#include <cstdint>

#include "platform/types.h"

namespace synchronization::messaging {

// Called only on the user-interface thread; true means "handled".
class IMessageListener {
public:
    virtual ~IMessageListener() = default;
    virtual bool OnMessage(std::uint32_t code, platform::WParam wParam, platform::LParam lParam) = 0;
};

}  // namespace synchronization::messaging
