#include "messaging/synchronization_service_state_listener.h"

#include "messaging/message_codes.h"
#include "platform/window.h"

namespace application::event_listeners {

namespace sm = synchronization::messaging;

bool SynchronizationServiceStateListener::OnMessage(std::uint32_t code, platform::WParam,
                                                    platform::LParam) {
    const char* text = nullptr;
    switch (code) {
        case sm::WM_SYNC_SERVICE_STARTED:
            text = "Started";
            break;
        case sm::WM_SYNC_SERVICE_STOPPED:
            text = "Stopped";
            break;
        case sm::WM_SYNC_SERVICE_RUNNING:
            text = "Running";
            break;
        case sm::WM_SYNC_SERVICE_NOT_RUNNING:
            text = "Not running";
            break;
        default:
            return false;
    }
    // The label may already be gone during shut-down; the message still counts as handled.
    if (platform::IsWindow(label_)) {
        platform::SetWindowTextNarrow(label_, text);
    }
    return true;
}

}  // namespace application::event_listeners
