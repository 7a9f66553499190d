// Interim console-build platform layer used on the link branch until the platform branch's
// implementation is merged; removed at that merge.

#include <dlfcn.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/dynamic_library.h"
#include "platform/event.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "platform/thread.h"

namespace platform {

namespace {

std::mutex& EventsMutex() {
    static std::mutex m;
    return m;
}
std::condition_variable& EventsChanged() {
    static std::condition_variable cv;
    return cv;
}
struct EventState {
    bool signaled = false;
};
std::map<std::u16string, std::weak_ptr<EventState>>& Names() {
    static std::map<std::u16string, std::weak_ptr<EventState>> names;
    return names;
}
using EventRef = std::shared_ptr<EventState>;
EventRef& Ref(void* handle) { return *static_cast<EventRef*>(handle); }

template <class Pred>
bool WaitUntil(std::unique_lock<std::mutex>& lock, std::uint32_t timeoutMs, Pred pred) {
    if (timeoutMs == kInfinite) {
        EventsChanged().wait(lock, pred);
        return true;
    }
    return EventsChanged().wait_for(lock, std::chrono::milliseconds(timeoutMs), pred);
}

}  // namespace

Event::~Event() { Close(); }
Event::Event(Event&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
Event& Event::operator=(Event&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        other.handle_ = nullptr;
    }
    return *this;
}
Event Event::CreateUnnamed() { return Event(new EventRef(std::make_shared<EventState>())); }
Event Event::CreateNamed(const std::u16string& name) {
    std::lock_guard<std::mutex> guard(EventsMutex());
    auto existing = Names()[name].lock();
    if (!existing) {
        existing = std::make_shared<EventState>();
        Names()[name] = existing;
    }
    return Event(new EventRef(existing));
}
Event Event::OpenNamed(const std::u16string& name) {
    std::lock_guard<std::mutex> guard(EventsMutex());
    auto it = Names().find(name);
    if (it == Names().end()) return Event();
    auto existing = it->second.lock();
    if (!existing) return Event();
    return Event(new EventRef(existing));
}
bool Event::Set() {
    if (!handle_) return false;
    {
        std::lock_guard<std::mutex> guard(EventsMutex());
        Ref(handle_)->signaled = true;
    }
    EventsChanged().notify_all();
    return true;
}
bool Event::Reset() {
    if (!handle_) return false;
    std::lock_guard<std::mutex> guard(EventsMutex());
    Ref(handle_)->signaled = false;
    return true;
}
WaitResult Event::Wait(std::uint32_t timeoutMs) {
    if (!handle_) return WaitResult::Failed;
    std::unique_lock<std::mutex> lock(EventsMutex());
    auto state = Ref(handle_);
    return WaitUntil(lock, timeoutMs, [&] { return state->signaled; }) ? WaitResult::Signaled
                                                                        : WaitResult::Timeout;
}
void Event::Close() noexcept {
    if (!handle_) return;
    std::lock_guard<std::mutex> guard(EventsMutex());
    delete static_cast<EventRef*>(handle_);
    handle_ = nullptr;
}
LParam Event::ToParam() const noexcept { return reinterpret_cast<LParam>(handle_); }
bool Event::SetFromParam(LParam param) {
    if (param == 0) return false;
    {
        std::lock_guard<std::mutex> guard(EventsMutex());
        Ref(reinterpret_cast<void*>(param))->signaled = true;
    }
    EventsChanged().notify_all();
    return true;
}
int WaitAny(Event& first, Event& second, std::uint32_t timeoutMs) {
    if (!first.handle_ || !second.handle_) return kWaitFailed;
    std::unique_lock<std::mutex> lock(EventsMutex());
    auto a = Ref(first.handle_);
    auto b = Ref(second.handle_);
    if (!WaitUntil(lock, timeoutMs, [&] { return a->signaled || b->signaled; })) {
        return kWaitTimeout;
    }
    return a->signaled ? 0 : 1;
}

namespace {
struct ThreadState {
    std::mutex mutex;
    std::condition_variable changed;
    bool resumed = false;
    bool done = false;
    bool abandoned = false;
    std::uint32_t exitCode = 0;
    std::thread thread;
};
using ThreadRef = std::shared_ptr<ThreadState>;
ThreadRef& TRef(void* state) { return *static_cast<ThreadRef*>(state); }
}  // namespace

Thread::~Thread() { Close(); }
Thread::Thread(Thread&& other) noexcept : state_(other.state_) { other.state_ = nullptr; }
Thread& Thread::operator=(Thread&& other) noexcept {
    if (this != &other) {
        Close();
        state_ = other.state_;
        other.state_ = nullptr;
    }
    return *this;
}
Thread Thread::StartSuspended(Body body) {
    auto state = std::make_shared<ThreadState>();
    state->thread = std::thread([state, body = std::move(body)]() mutable {
        {
            std::unique_lock<std::mutex> lock(state->mutex);
            state->changed.wait(lock, [&] { return state->resumed; });
        }
        const std::uint32_t code = body();
        body = nullptr;
        std::lock_guard<std::mutex> guard(state->mutex);
        if (!state->abandoned) state->exitCode = code;
        state->done = true;
        state->changed.notify_all();
    });
    Thread result;
    result.state_ = new ThreadRef(state);
    return result;
}
bool Thread::SetPriority(int) { return state_ != nullptr; }
bool Thread::Resume() {
    if (!state_) return false;
    auto& s = TRef(state_);
    std::lock_guard<std::mutex> guard(s->mutex);
    s->resumed = true;
    s->changed.notify_all();
    return true;
}
WaitResult Thread::Wait(std::uint32_t timeoutMs) {
    if (!state_) return WaitResult::Failed;
    auto& s = TRef(state_);
    std::unique_lock<std::mutex> lock(s->mutex);
    const auto pred = [&] { return s->done || s->abandoned; };
    if (timeoutMs == kInfinite) {
        s->changed.wait(lock, pred);
        return WaitResult::Signaled;
    }
    return s->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), pred)
               ? WaitResult::Signaled
               : WaitResult::Timeout;
}
bool Thread::Terminate(std::uint32_t exitCode) {
    if (!state_) return false;
    auto& s = TRef(state_);
    std::lock_guard<std::mutex> guard(s->mutex);
    if (!s->done) {
        s->abandoned = true;
        s->exitCode = exitCode;
    }
    return true;
}
bool Thread::GetExitCode(std::uint32_t& exitCode) const {
    if (!state_) return false;
    auto& s = TRef(state_);
    std::lock_guard<std::mutex> guard(s->mutex);
    if (!s->done && !s->abandoned) return false;
    exitCode = s->exitCode;
    return true;
}
void Thread::Close() noexcept {
    if (!state_) return;
    auto& s = TRef(state_);
    bool join = false;
    {
        std::lock_guard<std::mutex> guard(s->mutex);
        join = s->done;
    }
    if (join) {
        s->thread.join();
    } else {
        s->thread.detach();
    }
    delete static_cast<ThreadRef*>(state_);
    state_ = nullptr;
}

DynamicLibrary::~DynamicLibrary() { Free(); }
DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept : handle_(other.handle_) {
    other.handle_ = nullptr;
}
DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
    if (this != &other) {
        Free();
        handle_ = other.handle_;
        other.handle_ = nullptr;
    }
    return *this;
}
DynamicLibrary DynamicLibrary::Load(const std::u16string& path) {
    DynamicLibrary library;
    library.handle_ = dlopen(Narrow(path).c_str(), RTLD_NOW | RTLD_LOCAL);
    return library;
}
void* DynamicLibrary::Symbol(const char* name) const {
    return handle_ ? dlsym(handle_, name) : nullptr;
}
void DynamicLibrary::Free() noexcept {
    if (handle_) dlclose(handle_);
    handle_ = nullptr;
}

namespace {
struct Value {
    std::uint32_t type;
    std::vector<std::uint8_t> data;
};
std::mutex& RegistryMutex() {
    static std::mutex m;
    return m;
}
std::map<std::u16string, std::map<std::u16string, Value>>& Store() {
    static std::map<std::u16string, std::map<std::u16string, Value>> store;
    return store;
}
}  // namespace

RegistryKey::~RegistryKey() { Close(); }
RegistryKey::RegistryKey(RegistryKey&& other) noexcept : handle_(other.handle_) {
    other.handle_ = nullptr;
}
RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        other.handle_ = nullptr;
    }
    return *this;
}
RegistryKey RegistryKey::OpenForRead(const std::u16string& keyPath) {
    RegistryKey key;
    key.handle_ = new std::u16string(keyPath);
    return key;
}
bool RegistryKey::QueryTypeAndSize(const std::u16string& valueName, std::uint32_t& type,
                                   std::uint32_t& size) const {
    std::vector<std::uint8_t> data;
    if (!QueryData(valueName, type, data)) return false;
    size = static_cast<std::uint32_t>(data.size());
    return true;
}
bool RegistryKey::QueryData(const std::u16string& valueName, std::uint32_t& type,
                            std::vector<std::uint8_t>& data) const {
    if (!handle_) return false;
    std::lock_guard<std::mutex> guard(RegistryMutex());
    auto& key = Store()[*static_cast<std::u16string*>(handle_)];
    auto it = key.find(valueName);
    if (it == key.end()) return false;
    type = it->second.type;
    data = it->second.data;
    return true;
}
void RegistryKey::Close() noexcept {
    delete static_cast<std::u16string*>(handle_);
    handle_ = nullptr;
}
bool WriteRegistryValue(const std::u16string& keyPath, const std::u16string& valueName,
                        std::uint32_t type, const std::vector<std::uint8_t>& data) {
    std::lock_guard<std::mutex> guard(RegistryMutex());
    Store()[keyPath][valueName] = Value{type, data};
    return true;
}
bool DeleteRegistryValue(const std::u16string& keyPath, const std::u16string& valueName) {
    std::lock_guard<std::mutex> guard(RegistryMutex());
    return Store()[keyPath].erase(valueName) > 0;
}
std::vector<std::uint8_t> RegistryStringData(const std::u16string& text, bool withTerminator) {
    std::vector<std::uint8_t> out;
    for (char16_t unit : text) {
        out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        out.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    if (withTerminator) {
        out.push_back(0);
        out.push_back(0);
    }
    return out;
}

}  // namespace platform
