#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "platform/window.h"

namespace platform {

namespace {

std::mutex& ObserverMutex() {
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<const WindowObserver>& ObserverSlot() {
    static std::shared_ptr<const WindowObserver> observer;
    return observer;
}

}  // namespace

void SetWindowObserver(WindowObserver observer) {
    std::shared_ptr<const WindowObserver> next;
    if (observer) {
        next = std::make_shared<const WindowObserver>(std::move(observer));
    }
    std::lock_guard<std::mutex> lock(ObserverMutex());
    ObserverSlot().swap(next);
}

namespace detail {

void NotifyWindowObserver(const WindowNotification& notification) {
    std::shared_ptr<const WindowObserver> observer;
    {
        std::lock_guard<std::mutex> lock(ObserverMutex());
        observer = ObserverSlot();
    }
    if (!observer) {
        return;
    }
    // The observer is the front end's printing; a failure there must not undo the window change.
    try {
        (*observer)(notification);
    } catch (...) {
    }
}

void NotifyWindowChange(WindowChange change, WindowHandle window, std::u16string text, bool visible,
                        int index) {
    WindowNotification notification;
    notification.change = change;
    notification.window = window;
    notification.text = std::move(text);
    notification.visible = visible;
    notification.index = index;
    NotifyWindowObserver(notification);
}

}  // namespace detail
}  // namespace platform
