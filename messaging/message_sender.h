#pragma once

#include <cstdint>

#include "messaging/i_message_sender.h"
#include "messaging/i_message_target.h"
#include "platform/types.h"

namespace application::messaging {

// Posts to the main window from any thread, without waiting for the message to be handled.
class MessageSender : public synchronization::messaging::IMessageSender,
                      public synchronization::messaging::IMessageTarget {
  public:
    explicit MessageSender(platform::WindowHandle mainWindow) noexcept : mainWindow_(mainWindow) {}
    ~MessageSender() override = default;

    // False, and nothing queued, once the main window is gone or its queue refuses.
    bool Post(std::uint32_t code, platform::WParam wParam, platform::LParam lParam) override;
    bool Post(std::uint32_t code) override;

    bool TargetExists() const override;

  private:
    const platform::WindowHandle mainWindow_;
};

}  // namespace application::messaging
