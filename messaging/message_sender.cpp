#include "messaging/message_sender.h"

#include "platform/window.h"

namespace application::messaging {

bool MessageSender::Post(std::uint32_t code, platform::WParam wParam, platform::LParam lParam) {
    if (!platform::IsWindow(mainWindow_)) {
        return false;
    }
    return platform::PostMessage(mainWindow_, code, wParam, lParam);
}

bool MessageSender::Post(std::uint32_t code) { return Post(code, 0, 0); }

bool MessageSender::TargetExists() const { return platform::IsWindow(mainWindow_); }

}  // namespace application::messaging
