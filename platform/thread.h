#pragma once

#include <cstdint>
#include <functional>

#include "platform/types.h"

namespace platform {

// Thread priorities with the values of the Win32 THREAD_PRIORITY_* constants.
inline constexpr int kThreadPriorityIdle = -15;
inline constexpr int kThreadPriorityLowest = -2;
inline constexpr int kThreadPriorityNormal = 0;

// A worker thread that starts suspended. Move-only. Closing or destroying the handle of a
// thread that still runs leaves the thread running (Windows closes the handle, the console build
// detaches), so a stuck thread never hangs its owner.
class Thread {
public:
    using Body = std::function<std::uint32_t()>;

    Thread() noexcept = default;
    ~Thread();
    Thread(Thread&& other) noexcept;
    Thread& operator=(Thread&& other) noexcept;
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Creates the thread suspended; it runs body once resumed. Not valid on failure.
    static Thread StartSuspended(Body body);

    bool IsValid() const noexcept { return state_ != nullptr; }
    explicit operator bool() const noexcept { return IsValid(); }

    // On Windows SetThreadPriority. The console build applies what an unprivileged process may
    // (a nice value for lower priorities) and reports success otherwise.
    bool SetPriority(int priority);
    bool Resume();
    // Waits for the thread to end.
    WaitResult Wait(std::uint32_t timeoutMs);
    // Ends the thread forcibly: TerminateThread on Windows; the console build cannot end a thread
    // and abandons it instead (it is detached and its end is no longer awaited).
    bool Terminate(std::uint32_t exitCode);
    // The exit code once the thread has ended (or the code given to Terminate).
    bool GetExitCode(std::uint32_t& exitCode) const;
    void Close() noexcept;

private:
    void* state_ = nullptr;
};

}  // namespace platform
