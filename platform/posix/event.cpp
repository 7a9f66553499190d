#include "platform/event.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

namespace {

// One thread blocked in Wait or WaitAny. It is listed on every event it waits for, so a Set on
// either of two events wakes it without any polling.
struct Waiter {
    std::condition_variable wake;
};

// The console build's kernel object: shared by every handle that created or opened it, alive as
// long as one handle is open, like a Windows event.
struct EventObject {
    bool signaled = false;
    std::size_t handles = 0;
    std::uint64_t id = 0;
    std::u16string name;  // empty for an unnamed event
    std::vector<Waiter*> waiters;
};

// All events share one lock: each operation holds it only for a few instructions, and one lock
// keeps WaitAny over two events free of lock-ordering questions.
struct Registry {
    std::mutex lock;
    std::map<std::u16string, EventObject*> byName;
    std::map<std::uint64_t, EventObject*> byId;
    std::uint64_t nextId = 1;
};

Registry& TheRegistry() {
    // Never destroyed: handles held by static objects or abandoned threads may still be closed
    // while the process ends.
    static Registry* registry = new Registry;
    return *registry;
}

EventObject* NewObject(Registry& r, const std::u16string& name) {
    auto* object = new EventObject;
    object->handles = 1;
    object->id = r.nextId++;
    object->name = name;
    r.byId[object->id] = object;
    if (!name.empty()) r.byName[name] = object;
    return object;
}

void SignalLocked(EventObject& object) {
    object.signaled = true;
    for (Waiter* waiter : object.waiters) waiter->wake.notify_one();
}

void RemoveWaiter(EventObject& object, Waiter* waiter) {
    auto& list = object.waiters;
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (*it == waiter) {
            list.erase(it);
            return;
        }
    }
}

// Waits until one of the objects is signalled; the index of the first signalled one, or -1 on
// time-out. Called with the registry lock held through `guard`.
int WaitLocked(std::unique_lock<std::mutex>& guard, EventObject* const* objects, int count,
               std::uint32_t timeoutMs) {
    auto firstSignaled = [&]() -> int {
        for (int i = 0; i < count; ++i) {
            if (objects[i]->signaled) return i;
        }
        return -1;
    };
    int index = firstSignaled();
    if (index >= 0 || timeoutMs == 0) return index;

    Waiter waiter;
    for (int i = 0; i < count; ++i) objects[i]->waiters.push_back(&waiter);
    if (timeoutMs == kInfinite) {
        waiter.wake.wait(guard, [&] { return (index = firstSignaled()) >= 0; });
    } else {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        waiter.wake.wait_until(guard, deadline, [&] { return (index = firstSignaled()) >= 0; });
    }
    for (int i = 0; i < count; ++i) {
        RemoveWaiter(*objects[i], &waiter);
        // Its last handle was closed while we waited: we are the last to look at it.
        if (objects[i]->handles == 0 && objects[i]->waiters.empty()) delete objects[i];
    }
    return index;
}

EventObject* AsObject(void* handle) { return static_cast<EventObject*>(handle); }

// A name without a prefix lands in the logon's own namespace on Windows, the same one that
// "Local\" names explicitly: both spellings name one event.
std::u16string NamespaceName(const std::u16string& name) {
    constexpr std::u16string_view kLocal = u"Local\\";
    if (name.compare(0, kLocal.size(), kLocal) == 0) return name.substr(kLocal.size());
    return name;
}

}  // namespace

Event Event::CreateUnnamed() {
    try {
        Registry& r = TheRegistry();
        std::lock_guard<std::mutex> guard(r.lock);
        return Event(NewObject(r, std::u16string()));
    } catch (...) {
        return Event();
    }
}

Event Event::CreateNamed(const std::u16string& name) {
    if (name.empty()) return CreateUnnamed();
    try {
        const std::u16string key = NamespaceName(name);
        Registry& r = TheRegistry();
        std::lock_guard<std::mutex> guard(r.lock);
        auto found = r.byName.find(key);
        if (found != r.byName.end()) {
            ++found->second->handles;
            return Event(found->second);
        }
        return Event(NewObject(r, key));
    } catch (...) {
        return Event();
    }
}

Event Event::OpenNamed(const std::u16string& name) {
    if (name.empty()) return Event();
    try {
        const std::u16string key = NamespaceName(name);
        Registry& r = TheRegistry();
        std::lock_guard<std::mutex> guard(r.lock);
        auto found = r.byName.find(key);
        if (found == r.byName.end()) return Event();
        ++found->second->handles;
        return Event(found->second);
    } catch (...) {
        return Event();
    }
}

bool Event::Set() {
    if (!handle_) return false;
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    SignalLocked(*AsObject(handle_));
    return true;
}

bool Event::Reset() {
    if (!handle_) return false;
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    AsObject(handle_)->signaled = false;
    return true;
}

WaitResult Event::Wait(std::uint32_t timeoutMs) {
    if (!handle_) return WaitResult::Failed;
    try {
        Registry& r = TheRegistry();
        std::unique_lock<std::mutex> guard(r.lock);
        EventObject* objects[] = {AsObject(handle_)};
        return WaitLocked(guard, objects, 1, timeoutMs) == 0 ? WaitResult::Signaled
                                                             : WaitResult::Timeout;
    } catch (...) {
        return WaitResult::Failed;
    }
}

void Event::Close() noexcept {
    if (!handle_) return;
    EventObject* object = AsObject(handle_);
    handle_ = nullptr;
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    if (--object->handles > 0) return;
    r.byId.erase(object->id);
    if (!object->name.empty()) r.byName.erase(object->name);
    // A handle closed by another thread while one still waits on it: the last waiter frees it.
    if (object->waiters.empty()) delete object;
}

LParam Event::ToParam() const noexcept {
    if (!handle_) return 0;
    // An id rather than the address: a parameter that outlives its event finds nothing instead
    // of touching freed memory.
    return static_cast<LParam>(AsObject(handle_)->id);
}

bool Event::SetFromParam(LParam param) {
    if (param <= 0) return false;
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    auto found = r.byId.find(static_cast<std::uint64_t>(param));
    if (found == r.byId.end()) return false;
    SignalLocked(*found->second);
    return true;
}

int WaitAny(Event& first, Event& second, std::uint32_t timeoutMs) {
    if (!first.handle_ || !second.handle_) return kWaitFailed;
    try {
        Registry& r = TheRegistry();
        std::unique_lock<std::mutex> guard(r.lock);
        EventObject* objects[] = {AsObject(first.handle_), AsObject(second.handle_)};
        const int count = objects[0] == objects[1] ? 1 : 2;
        const int index = WaitLocked(guard, objects, count, timeoutMs);
        return index < 0 ? kWaitTimeout : index;
    } catch (...) {
        return kWaitFailed;
    }
}

}  // namespace platform
