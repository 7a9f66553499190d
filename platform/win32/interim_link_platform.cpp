// Interim Windows platform layer used on the link branch until the platform branch's
// implementation is merged; removed at that merge.

#include <windows.h>

#include <memory>

#include "platform/dynamic_library.h"
#include "platform/event.h"
#include "platform/registry.h"
#include "platform/thread.h"

namespace platform {

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
Event Event::CreateUnnamed() { return Event(CreateEventW(nullptr, TRUE, FALSE, nullptr)); }
Event Event::CreateNamed(const std::u16string& name) {
    return Event(CreateEventW(nullptr, TRUE, FALSE, reinterpret_cast<LPCWSTR>(name.c_str())));
}
Event Event::OpenNamed(const std::u16string& name) {
    return Event(OpenEventW(EVENT_ALL_ACCESS, FALSE, reinterpret_cast<LPCWSTR>(name.c_str())));
}
bool Event::Set() { return handle_ && SetEvent(handle_); }
bool Event::Reset() { return handle_ && ResetEvent(handle_); }
WaitResult Event::Wait(std::uint32_t timeoutMs) {
    if (!handle_) return WaitResult::Failed;
    switch (WaitForSingleObject(handle_, timeoutMs)) {
        case WAIT_OBJECT_0: return WaitResult::Signaled;
        case WAIT_TIMEOUT: return WaitResult::Timeout;
        default: return WaitResult::Failed;
    }
}
void Event::Close() noexcept {
    if (handle_) CloseHandle(handle_);
    handle_ = nullptr;
}
LParam Event::ToParam() const noexcept { return reinterpret_cast<LParam>(handle_); }
bool Event::SetFromParam(LParam param) {
    return param != 0 && SetEvent(reinterpret_cast<HANDLE>(param));
}
int WaitAny(Event& first, Event& second, std::uint32_t timeoutMs) {
    if (!first.handle_ || !second.handle_) return kWaitFailed;
    HANDLE handles[2] = {first.handle_, second.handle_};
    const DWORD result = WaitForMultipleObjects(2, handles, FALSE, timeoutMs);
    if (result == WAIT_OBJECT_0) return 0;
    if (result == WAIT_OBJECT_0 + 1) return 1;
    if (result == WAIT_TIMEOUT) return kWaitTimeout;
    return kWaitFailed;
}

namespace {
struct ThreadState {
    HANDLE handle = nullptr;
    Thread::Body body;
};
DWORD WINAPI ThreadStart(LPVOID parameter) {
    auto* body = static_cast<Thread::Body*>(parameter);
    const std::uint32_t code = (*body)();
    *body = nullptr;
    return code;
}
ThreadState* S(void* state) { return static_cast<ThreadState*>(state); }
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
    // The body lives on the heap until the thread has ended: a thread still running when its
    // handle is closed keeps it.
    auto* kept = new Body(std::move(body));
    auto* state = new ThreadState;
    state->handle = CreateThread(nullptr, 0, ThreadStart, kept, CREATE_SUSPENDED, nullptr);
    Thread result;
    if (!state->handle) {
        delete kept;
        delete state;
        return result;
    }
    result.state_ = state;
    return result;
}
bool Thread::SetPriority(int priority) { return state_ && SetThreadPriority(S(state_)->handle, priority); }
bool Thread::Resume() { return state_ && ResumeThread(S(state_)->handle) != static_cast<DWORD>(-1); }
WaitResult Thread::Wait(std::uint32_t timeoutMs) {
    if (!state_) return WaitResult::Failed;
    switch (WaitForSingleObject(S(state_)->handle, timeoutMs)) {
        case WAIT_OBJECT_0: return WaitResult::Signaled;
        case WAIT_TIMEOUT: return WaitResult::Timeout;
        default: return WaitResult::Failed;
    }
}
bool Thread::Terminate(std::uint32_t exitCode) {
    return state_ && TerminateThread(S(state_)->handle, exitCode);
}
bool Thread::GetExitCode(std::uint32_t& exitCode) const {
    DWORD code = 0;
    if (!state_ || !GetExitCodeThread(S(state_)->handle, &code)) return false;
    exitCode = code;
    return true;
}
void Thread::Close() noexcept {
    if (!state_) return;
    CloseHandle(S(state_)->handle);
    delete S(state_);
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
    library.handle_ = LoadLibraryW(reinterpret_cast<LPCWSTR>(path.c_str()));
    return library;
}
void* DynamicLibrary::Symbol(const char* name) const {
    return handle_ ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name))
                   : nullptr;
}
void DynamicLibrary::Free() noexcept {
    if (handle_) FreeLibrary(static_cast<HMODULE>(handle_));
    handle_ = nullptr;
}

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
    HKEY opened = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, reinterpret_cast<LPCWSTR>(keyPath.c_str()), 0, nullptr,
                        0, KEY_READ, nullptr, &opened, nullptr) == ERROR_SUCCESS) {
        key.handle_ = opened;
    }
    return key;
}
bool RegistryKey::QueryTypeAndSize(const std::u16string& valueName, std::uint32_t& type,
                                   std::uint32_t& size) const {
    DWORD t = 0;
    DWORD s = 0;
    if (!handle_ || RegQueryValueExW(static_cast<HKEY>(handle_),
                                     reinterpret_cast<LPCWSTR>(valueName.c_str()), nullptr, &t,
                                     nullptr, &s) != ERROR_SUCCESS) {
        return false;
    }
    type = t;
    size = s;
    return true;
}
bool RegistryKey::QueryData(const std::u16string& valueName, std::uint32_t& type,
                            std::vector<std::uint8_t>& data) const {
    std::uint32_t size = 0;
    if (!QueryTypeAndSize(valueName, type, size)) return false;
    data.assign(size, 0);
    DWORD t = 0;
    DWORD s = size;
    if (RegQueryValueExW(static_cast<HKEY>(handle_), reinterpret_cast<LPCWSTR>(valueName.c_str()),
                         nullptr, &t, data.data(), &s) != ERROR_SUCCESS) {
        return false;
    }
    data.resize(s);
    type = t;
    return true;
}
void RegistryKey::Close() noexcept {
    if (handle_) RegCloseKey(static_cast<HKEY>(handle_));
    handle_ = nullptr;
}
bool WriteRegistryValue(const std::u16string& keyPath, const std::u16string& valueName,
                        std::uint32_t type, const std::vector<std::uint8_t>& data) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, reinterpret_cast<LPCWSTR>(keyPath.c_str()), 0, nullptr,
                        0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const bool ok = RegSetValueExW(key, reinterpret_cast<LPCWSTR>(valueName.c_str()), 0, type,
                                   data.data(), static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}
bool DeleteRegistryValue(const std::u16string& keyPath, const std::u16string& valueName) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, reinterpret_cast<LPCWSTR>(keyPath.c_str()), 0, KEY_WRITE,
                      &key) != ERROR_SUCCESS) {
        return false;
    }
    const bool ok = RegDeleteValueW(key, reinterpret_cast<LPCWSTR>(valueName.c_str())) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
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
