#pragma once

#include <cstdint>

#include "messaging/i_message_listener.h"
#include "platform/types.h"

namespace application::event_listeners {

// Shows the synchronization service's state, as the watchdog reports it, in the state label.
class SynchronizationServiceStateListener : public synchronization::messaging::IMessageListener {
  public:
    explicit SynchronizationServiceStateListener(platform::WindowHandle label) noexcept
        : label_(label) {}
    ~SynchronizationServiceStateListener() override = default;

    bool OnMessage(std::uint32_t code, platform::WParam wParam, platform::LParam lParam) override;

  private:
    const platform::WindowHandle label_;
};

}  // namespace application::event_listeners
