#include "platform/thread.h"

#include <windows.h>

#include <atomic>
#include <utility>

namespace platform {

namespace {

// Handed to the new thread, which owns it from its first instruction on (and frees it at its
// end). The owner touches it only while the thread is still suspended.
struct ThreadStart {
    Thread::Body body;
    std::atomic<bool> cancelled{false};
};

struct ThreadHandle {
    HANDLE handle = nullptr;
    ThreadStart* start = nullptr;  // null once the thread has been resumed
};

DWORD WINAPI ThreadMain(LPVOID parameter) {
    auto* start = static_cast<ThreadStart*>(parameter);
    DWORD code = 1;
    if (!start->cancelled.load()) {
        try {
            code = start->body();
        } catch (...) {
            // An exception must not take the process down from a worker thread; it ends the
            // thread with the failure code.
            code = 1;
        }
    } else {
        code = 0;
    }
    delete start;
    return code;
}

ThreadHandle* AsHandle(void* state) { return static_cast<ThreadHandle*>(state); }

}  // namespace

Thread Thread::StartSuspended(Body body) {
    if (!body) return Thread();
    ThreadStart* start = nullptr;
    ThreadHandle* handle = nullptr;
    try {
        start = new ThreadStart{std::move(body)};
        handle = new ThreadHandle;
    } catch (...) {
        delete start;
        return Thread();
    }
    DWORD id = 0;
    handle->handle = ::CreateThread(nullptr, 0, ThreadMain, start, CREATE_SUSPENDED, &id);
    if (!handle->handle) {
        delete start;
        delete handle;
        return Thread();
    }
    handle->start = start;
    Thread thread;
    thread.state_ = handle;
    return thread;
}

bool Thread::SetPriority(int priority) {
    return state_ && ::SetThreadPriority(AsHandle(state_)->handle, priority) != FALSE;
}

bool Thread::Resume() {
    if (!state_) return false;
    ThreadHandle& handle = *AsHandle(state_);
    if (::ResumeThread(handle.handle) == static_cast<DWORD>(-1)) return false;
    handle.start = nullptr;  // the thread owns it now
    return true;
}

WaitResult Thread::Wait(std::uint32_t timeoutMs) {
    if (!state_) return WaitResult::Failed;
    switch (::WaitForSingleObject(AsHandle(state_)->handle, timeoutMs)) {
        case WAIT_OBJECT_0:
            return WaitResult::Signaled;
        case WAIT_TIMEOUT:
            return WaitResult::Timeout;
        default:
            return WaitResult::Failed;
    }
}

bool Thread::Terminate(std::uint32_t exitCode) {
    if (!state_) return false;
    ThreadHandle& handle = *AsHandle(state_);
    // A thread killed before it ran never frees its start record: the one allocation lost, as
    // with every forced end. Marked first, so that a thread that cannot be killed never runs
    // its body once it is released.
    if (handle.start) handle.start->cancelled.store(true);
    if (!::TerminateThread(handle.handle, exitCode)) return false;
    handle.start = nullptr;
    // TerminateThread only asks; the handle is signalled once the thread is really gone.
    ::WaitForSingleObject(handle.handle, 1000);
    return true;
}

bool Thread::GetExitCode(std::uint32_t& exitCode) const {
    if (!state_) return false;
    HANDLE thread = AsHandle(state_)->handle;
    DWORD code = 0;
    if (!::GetExitCodeThread(thread, &code)) return false;
    // STILL_ACTIVE is also a legal exit code; only the handle's state tells them apart.
    if (code == STILL_ACTIVE && ::WaitForSingleObject(thread, 0) != WAIT_OBJECT_0) return false;
    exitCode = code;
    return true;
}

void Thread::Close() noexcept {
    if (!state_) return;
    ThreadHandle* handle = AsHandle(state_);
    state_ = nullptr;
    if (handle->start) {
        // Never resumed: let it run just far enough to return, so no suspended thread is left
        // behind for the rest of the process's life.
        handle->start->cancelled.store(true);
        ::ResumeThread(handle->handle);
    }
    ::CloseHandle(handle->handle);
    delete handle;
}

}  // namespace platform
