#pragma once

#include <cstdint>
#include <string>

#include "platform/types.h"

namespace platform {

// A manual-reset event, unnamed or named. Named events with the "Local\" prefix are shared by
// every user of the same name: kernel events on Windows, a process-wide registry of condition
// variables in the console build. Move-only; the handle is closed by the destructor.
class Event {
public:
    Event() noexcept = default;
    ~Event();
    Event(Event&& other) noexcept;
    Event& operator=(Event&& other) noexcept;
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    // Unnamed, manual reset, initially not signalled. Not valid on failure.
    static Event CreateUnnamed();
    // Named, manual reset, initially not signalled; opens the existing event when the name is
    // taken (its state is kept). Not valid on failure.
    static Event CreateNamed(const std::u16string& name);
    // Opens an existing named event with full access. Not valid when none exists by that name.
    static Event OpenNamed(const std::u16string& name);

    bool IsValid() const noexcept { return handle_ != nullptr; }
    explicit operator bool() const noexcept { return IsValid(); }

    bool Set();
    bool Reset();
    // Zero tests the state without waiting; kInfinite waits without a time limit.
    WaitResult Wait(std::uint32_t timeoutMs);
    void Close() noexcept;

    // The value that travels as a message parameter, so that another thread can set this event
    // (SetFromParam) while this object is alive. 0 when not valid.
    LParam ToParam() const noexcept;
    static bool SetFromParam(LParam param);

private:
    friend int WaitAny(Event& first, Event& second, std::uint32_t timeoutMs);
    explicit Event(void* handle) noexcept : handle_(handle) {}
    void* handle_ = nullptr;
};

// Waits until one of the two events is signalled, at most timeoutMs. Returns 0 or 1 for the
// signalled event (0 when both are), kWaitTimeout after the time-out, kWaitFailed on failure.
inline constexpr int kWaitTimeout = -1;
inline constexpr int kWaitFailed = -2;
int WaitAny(Event& first, Event& second, std::uint32_t timeoutMs);

}  // namespace platform
