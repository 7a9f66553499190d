#include "messaging/message_dispatch.h"

#include "messaging/message_codes.h"
#include "messaging/synchronous_exchange.h"

namespace application::messaging {

namespace sm = synchronization::messaging;

DispatchResult Dispatch(const ListenerList& listeners, std::uint32_t code, platform::WParam wParam,
                        platform::LParam lParam) {
    DispatchResult result;
    if (!sm::IsSyncMessage(code)) {
        return result;
    }
    sm::NoteDispatchThread();
    const bool synchronous = sm::IsSynchronousMessage(code) && lParam != 0;
    if (synchronous && sm::ClaimExchange(code, wParam, lParam) == nullptr) {
        // Its asker has already been answered and may be gone with its record.
        return result;
    }
    bool failed = false;
    try {
        for (std::size_t index = 0; index < listeners.size(); ++index) {
            // Our own reference keeps the listener alive should it clear the list.
            const std::shared_ptr<sm::IMessageListener> listener = listeners[index];
            if (listener && listener->OnMessage(code, wParam, lParam)) {
                result.handled = true;
            }
        }
    } catch (...) {
        failed = true;
    }
    if (synchronous) {
        sm::CompleteExchange(lParam, !failed);
    }
    result.runDefault = failed || !result.handled;
    return result;
}

}  // namespace application::messaging
