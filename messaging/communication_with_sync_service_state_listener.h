#pragma once

#include <cstdint>

#include "messaging/i_message_listener.h"
#include "platform/types.h"

namespace application::event_listeners {

// Shows the state of the connection in its label, hides the main window the first time the
// connection comes up and shows it again when the connection is lost.
class CommunicationWithSyncServiceStateListener
    : public synchronization::messaging::IMessageListener {
  public:
    CommunicationWithSyncServiceStateListener(platform::WindowHandle label,
                                              platform::WindowHandle mainWindow) noexcept
        : label_(label), mainWindow_(mainWindow) {}
    ~CommunicationWithSyncServiceStateListener() override = default;

    bool OnMessage(std::uint32_t code, platform::WParam wParam, platform::LParam lParam) override;

    bool WindowHiddenByListener() const noexcept { return windowHiddenByListener_; }

  private:
    const platform::WindowHandle label_;
    const platform::WindowHandle mainWindow_;
    // Only what this listener did itself: a window the user showed again while connected stays.
    bool windowHiddenByListener_ = false;
};

}  // namespace application::event_listeners
