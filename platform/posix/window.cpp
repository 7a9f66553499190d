// The console build's stand-in for windows. Every window is an object in one process-wide
// registry, addressed by an id that is never reused (0 names none), so a stale handle simply
// stops naming a window. A top-level window owns a first-in-first-out queue of posted messages
// that the thread calling PumpMessages (the user-interface thread) drains and hands to the
// window's handler. Destroying a window destroys its children and drops its queued messages.
// One mutex guards the whole registry; it is never held while a handler or the observer runs.

#include "platform/window.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace platform {

namespace {

struct Message {
    std::uint32_t code;
    WParam wParam;
    LParam lParam;
};

enum class Kind { TopLevel, Label, Button, List };

struct WindowObject {
    Kind kind = Kind::TopLevel;
    WindowHandle parent = 0;
    std::vector<WindowHandle> children;
    std::u16string text;
    bool visible = false;
    // Lists.
    std::vector<std::u16string> lines;
    int selection = -1;
    std::uint32_t extent = 0;
    // Top-level windows.
    std::shared_ptr<MessageHandler> handler;
    std::deque<Message> queue;
};

struct Registry {
    std::mutex mutex;
    std::condition_variable queued;
    std::map<WindowHandle, WindowObject> windows;
    WindowHandle nextId = 1;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

WindowObject* Find(Registry& registry, WindowHandle window) {
    auto it = registry.windows.find(window);
    return it == registry.windows.end() ? nullptr : &it->second;
}

WindowObject* FindList(Registry& registry, WindowHandle window) {
    WindowObject* object = Find(registry, window);
    return object != nullptr && object->kind == Kind::List ? object : nullptr;
}

bool SetText(WindowHandle window, const std::u16string& text) {
    {
        Registry& registry = TheRegistry();
        std::lock_guard<std::mutex> lock(registry.mutex);
        WindowObject* object = Find(registry, window);
        if (object == nullptr) {
            return false;
        }
        object->text = text;
    }
    detail::NotifyWindowChange(WindowChange::Text, window, text);
    return true;
}

// Removes a window and its descendants; collects the ids for the observer.
void Erase(Registry& registry, WindowHandle window, std::vector<WindowHandle>& erased) {
    WindowObject* object = Find(registry, window);
    if (object == nullptr) {
        return;
    }
    const std::vector<WindowHandle> children = object->children;
    for (WindowHandle child : children) {
        Erase(registry, child, erased);
    }
    registry.windows.erase(window);
    erased.push_back(window);
}

}  // namespace

bool IsWindow(WindowHandle window) {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    return Find(registry, window) != nullptr;
}

bool SetWindowTextNarrow(WindowHandle window, const std::string& text) {
    std::u16string wide;
    wide.reserve(text.size());
    for (char byte : text) {
        // As SetWindowTextA would show it in the console: one unit per byte, sign-extended.
        wide.push_back(
            static_cast<char16_t>(static_cast<std::int16_t>(static_cast<signed char>(byte))));
    }
    return SetText(window, wide);
}

bool SetWindowTextWide(WindowHandle window, const std::u16string& text) {
    return SetText(window, text);
}

std::u16string GetWindowText(WindowHandle window) {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    WindowObject* object = Find(registry, window);
    return object == nullptr ? std::u16string() : object->text;
}

bool ShowWindow(WindowHandle window, ShowCommand command) {
    const bool visible = command != ShowCommand::Hide;
    bool before = false;
    {
        Registry& registry = TheRegistry();
        std::lock_guard<std::mutex> lock(registry.mutex);
        WindowObject* object = Find(registry, window);
        if (object == nullptr) {
            return false;
        }
        before = object->visible;
        object->visible = visible;
    }
    if (before != visible) {
        detail::NotifyWindowChange(WindowChange::Visibility, window, {}, visible);
    }
    return before;
}

bool IsWindowVisible(WindowHandle window) {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    for (WindowObject* object = Find(registry, window); object != nullptr;
         object = Find(registry, object->parent)) {
        if (!object->visible) {
            return false;
        }
        if (object->parent == 0) {
            return true;
        }
    }
    return false;
}

bool SetForegroundWindow(WindowHandle window) { return IsWindow(window); }

bool PostMessage(WindowHandle window, std::uint32_t code, WParam wParam, LParam lParam) {
    Registry& registry = TheRegistry();
    {
        std::lock_guard<std::mutex> lock(registry.mutex);
        WindowObject* object = Find(registry, window);
        if (object == nullptr || object->kind != Kind::TopLevel) {
            return false;
        }
        object->queue.push_back(Message{code, wParam, lParam});
    }
    registry.queued.notify_all();
    return true;
}

int ListAddString(WindowHandle list, const std::u16string& text) {
    int index = kListError;
    {
        Registry& registry = TheRegistry();
        std::lock_guard<std::mutex> lock(registry.mutex);
        WindowObject* object = FindList(registry, list);
        if (object == nullptr) {
            return kListError;
        }
        object->lines.push_back(text);
        index = static_cast<int>(object->lines.size()) - 1;
    }
    detail::NotifyWindowChange(WindowChange::ListLineAdded, list, text, false, index);
    return index;
}

int ListDeleteString(WindowHandle list, int index) {
    int remaining = kListError;
    std::u16string removed;
    {
        Registry& registry = TheRegistry();
        std::lock_guard<std::mutex> lock(registry.mutex);
        WindowObject* object = FindList(registry, list);
        if (object == nullptr || index < 0 || index >= static_cast<int>(object->lines.size())) {
            return kListError;
        }
        removed = object->lines[static_cast<std::size_t>(index)];
        object->lines.erase(object->lines.begin() + index);
        if (object->selection == index) {
            object->selection = -1;
        } else if (object->selection > index) {
            --object->selection;
        }
        remaining = static_cast<int>(object->lines.size());
    }
    detail::NotifyWindowChange(WindowChange::ListLineDeleted, list, removed, false, index);
    return remaining;
}

int ListGetCount(WindowHandle list) {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    WindowObject* object = FindList(registry, list);
    return object == nullptr ? kListError : static_cast<int>(object->lines.size());
}

std::u16string ListGetText(WindowHandle list, int index) {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    WindowObject* object = FindList(registry, list);
    if (object == nullptr || index < 0 || index >= static_cast<int>(object->lines.size())) {
        return {};
    }
    return object->lines[static_cast<std::size_t>(index)];
}

bool ListSetCurSel(WindowHandle list, int index) {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    WindowObject* object = FindList(registry, list);
    if (object == nullptr || index < -1 || index >= static_cast<int>(object->lines.size())) {
        return false;
    }
    object->selection = index;
    return true;
}

int ListGetCurSel(WindowHandle list) {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    WindowObject* object = FindList(registry, list);
    return object == nullptr ? -1 : object->selection;
}

std::uint32_t ListGetHorizontalExtent(WindowHandle list) {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    WindowObject* object = FindList(registry, list);
    return object == nullptr ? 0 : object->extent;
}

void ListSetHorizontalExtent(WindowHandle list, std::uint32_t extent) {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    if (WindowObject* object = FindList(registry, list)) {
        object->extent = extent;
    }
}

bool ListMeasureText(WindowHandle list, const std::u16string& text, std::uint32_t& width) {
    width = 0;
    if (!IsWindow(list)) {
        return false;
    }
    width = static_cast<std::uint32_t>(text.size()) * kConsoleCharacterWidth;
    return true;
}

WindowHandle CreateTopLevelWindow(const std::u16string& title, MessageHandler handler) {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    const WindowHandle id = registry.nextId++;
    WindowObject& object = registry.windows[id];
    object.kind = Kind::TopLevel;
    object.text = title;
    object.visible = false;
    object.handler = std::make_shared<MessageHandler>(std::move(handler));
    return id;
}

WindowHandle CreateChildWindow(WindowHandle parent, WindowKind kind, const std::u16string& text) {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    WindowObject* parentObject = Find(registry, parent);
    if (parentObject == nullptr) {
        return 0;
    }
    const WindowHandle id = registry.nextId++;
    parentObject->children.push_back(id);
    WindowObject& object = registry.windows[id];
    object.kind = kind == WindowKind::Label    ? Kind::Label
                  : kind == WindowKind::Button ? Kind::Button
                                               : Kind::List;
    object.parent = parent;
    object.text = kind == WindowKind::List ? std::u16string() : text;
    object.visible = true;
    return id;
}

bool DestroyWindow(WindowHandle window) {
    Registry& registry = TheRegistry();
    std::vector<WindowHandle> erased;
    {
        std::lock_guard<std::mutex> lock(registry.mutex);
        WindowObject* object = Find(registry, window);
        if (object == nullptr) {
            return false;
        }
        if (WindowObject* parent = Find(registry, object->parent)) {
            auto& siblings = parent->children;
            siblings.erase(std::remove(siblings.begin(), siblings.end(), window), siblings.end());
        }
        Erase(registry, window, erased);
    }
    // Wakes a pump that waits on a window that is now gone.
    registry.queued.notify_all();
    for (WindowHandle gone : erased) {
        detail::NotifyWindowChange(WindowChange::Destroyed, gone);
    }
    return true;
}

int PumpMessages(WindowHandle window, std::uint32_t timeoutMs) {
    Registry& registry = TheRegistry();
    std::unique_lock<std::mutex> lock(registry.mutex);
    const auto ready = [&] {
        WindowObject* object = Find(registry, window);
        return object == nullptr || !object->queue.empty();
    };
    if (timeoutMs == kInfinite) {
        registry.queued.wait(lock, ready);
    } else {
        registry.queued.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
    }
    WindowObject* object = Find(registry, window);
    if (object == nullptr || object->kind != Kind::TopLevel) {
        return 0;
    }
    // Only what is queued now: a handler that posts again must not keep this call going forever.
    std::size_t budget = object->queue.size();
    int handled = 0;
    while (budget-- > 0) {
        object = Find(registry, window);
        if (object == nullptr || object->queue.empty()) {
            break;
        }
        const Message message = object->queue.front();
        object->queue.pop_front();
        const std::shared_ptr<MessageHandler> handler = object->handler;
        lock.unlock();
        if (message.code >= 0x0400 && message.code < 0xC000 && handler && *handler) {
            try {
                (*handler)(message.code, message.wParam, message.lParam);
            } catch (...) {
                // A handler's failure stays at the window procedure, as on Windows.
            }
        }
        ++handled;
        lock.lock();
    }
    return handled;
}

}  // namespace platform
