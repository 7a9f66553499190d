#include "platform/event.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace platform {

using win32::Wide;

namespace {

WaitResult FromWait(DWORD result) {
    switch (result) {
        case WAIT_OBJECT_0:
            return WaitResult::Signaled;
        case WAIT_TIMEOUT:
            return WaitResult::Timeout;
        default:
            return WaitResult::Failed;
    }
}

}  // namespace

Event Event::CreateUnnamed() { return Event(::CreateEventW(nullptr, TRUE, FALSE, nullptr)); }

Event Event::CreateNamed(const std::u16string& name) {
    // An existing event of that name is opened as it is; its state is not touched.
    return Event(::CreateEventW(nullptr, TRUE, FALSE, name.empty() ? nullptr : Wide(name)));
}

Event Event::OpenNamed(const std::u16string& name) {
    if (name.empty()) return Event();
    return Event(::OpenEventW(EVENT_ALL_ACCESS, FALSE, Wide(name)));
}

bool Event::Set() { return handle_ && ::SetEvent(handle_) != FALSE; }

bool Event::Reset() { return handle_ && ::ResetEvent(handle_) != FALSE; }

WaitResult Event::Wait(std::uint32_t timeoutMs) {
    if (!handle_) return WaitResult::Failed;
    return FromWait(::WaitForSingleObject(handle_, timeoutMs));
}

void Event::Close() noexcept {
    if (handle_) {
        ::CloseHandle(handle_);
        handle_ = nullptr;
    }
}

// The handle value itself travels: the receiving thread belongs to the same process, and the
// owner keeps the handle open until the event has been set.
LParam Event::ToParam() const noexcept { return reinterpret_cast<LParam>(handle_); }

bool Event::SetFromParam(LParam param) {
    if (param == 0) return false;
    return ::SetEvent(reinterpret_cast<HANDLE>(param)) != FALSE;
}

int WaitAny(Event& first, Event& second, std::uint32_t timeoutMs) {
    if (!first.handle_ || !second.handle_) return kWaitFailed;
    // When both are signalled, WaitForMultipleObjects reports the lowest index: the first one.
    HANDLE handles[] = {first.handle_, second.handle_};
    const DWORD count = first.handle_ == second.handle_ ? 1 : 2;
    const DWORD result = ::WaitForMultipleObjects(count, handles, FALSE, timeoutMs);
    if (result == WAIT_TIMEOUT) return kWaitTimeout;
    if (result >= WAIT_OBJECT_0 && result < WAIT_OBJECT_0 + count) {
        return static_cast<int>(result - WAIT_OBJECT_0);
    }
    return kWaitFailed;
}

}  // namespace platform
