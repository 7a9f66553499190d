#include "messaging/communication_with_sync_service_state_listener.h"

#include "messaging/message_codes.h"
#include "platform/window.h"

namespace application::event_listeners {

namespace sm = synchronization::messaging;

bool CommunicationWithSyncServiceStateListener::OnMessage(std::uint32_t code, platform::WParam,
                                                          platform::LParam) {
    switch (code) {
        case sm::WM_SYNC_CONNECTED:
        case sm::WM_SYNC_CONNECTION_CONFIRMED:
            if (platform::IsWindow(label_)) {
                platform::SetWindowTextNarrow(label_, "Connected");
            }
            if (!windowHiddenByListener_) {
                if (platform::IsWindow(mainWindow_)) {
                    platform::ShowWindow(mainWindow_, platform::ShowCommand::Hide);
                }
                windowHiddenByListener_ = true;
            }
            return true;
        case sm::WM_SYNC_DISCONNECTED:
            if (platform::IsWindow(label_)) {
                platform::SetWindowTextNarrow(label_, "Disconnected");
            }
            if (windowHiddenByListener_) {
                if (platform::IsWindow(mainWindow_)) {
                    platform::ShowWindow(mainWindow_, platform::ShowCommand::Show);
                }
                windowHiddenByListener_ = false;
            }
            return true;
        default:
            return false;
    }
}

}  // namespace application::event_listeners
