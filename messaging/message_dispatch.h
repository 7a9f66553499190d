#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "messaging/i_message_listener.h"
#include "platform/types.h"

namespace application::messaging {

using ListenerList = std::vector<std::shared_ptr<synchronization::messaging::IMessageListener>>;

struct DispatchResult {
    // Some listener returned true.
    bool handled = false;
    // The window procedure must run its default processing and return its result; otherwise it
    // returns 1.
    bool runDefault = true;
};

// The main window's handling of one message, on the user-interface thread. Codes outside
// 1224..1238 go to default processing untouched. Otherwise every listener is called in order
// while its position is below the list's current length (a listener may clear the list) and
// "handled" is the OR of their results. A listener that throws ends the round: the rest are not
// called and default processing runs. A synchronous code (1234..1236) with a non-zero lParam is
// offered to the listeners only when its exchange is pending (see synchronous_exchange.h), and
// that exchange is completed after the round on every path, so its asker is always released.
DispatchResult Dispatch(const ListenerList& listeners, std::uint32_t code, platform::WParam wParam,
                        platform::LParam lParam);

}  // namespace application::messaging
