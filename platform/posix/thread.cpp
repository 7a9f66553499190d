#include "platform/thread.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

namespace platform {

namespace {

enum class StartState { Suspended, Resumed, Cancelled };

// What the OS thread and its owner share. The OS thread holds its own reference, so an abandoned
// thread that ends long after its owner let go still writes only into memory that it keeps alive.
struct SharedState {
    std::mutex lock;
    std::condition_variable changed;
    StartState start = StartState::Suspended;
    bool finished = false;
    bool abandoned = false;
    std::uint32_t exitCode = 0;
    std::uint32_t abandonCode = 0;
    int nice = 0;
    bool niceWanted = false;
    pid_t tid = 0;
    Thread::Body body;
};

struct ThreadHandle {
    std::shared_ptr<SharedState> shared;
    std::thread os;
};

ThreadHandle* AsHandle(void* state) { return static_cast<ThreadHandle*>(state); }

pid_t CurrentTid() { return static_cast<pid_t>(::syscall(SYS_gettid)); }

// Linux has no thread priorities for ordinary processes; a thread's nice value is the closest
// thing. An unprivileged process may only raise it (lower the priority), so "normal" and above
// leave the thread as it is.
int NiceFor(int priority) {
    if (priority >= kThreadPriorityNormal) return 0;
    if (priority <= kThreadPriorityIdle) return 19;
    if (priority <= kThreadPriorityLowest) return 10;
    return 5;  // below normal
}

void ApplyNice(pid_t tid, int nice) {
    // Best effort: refused changes (raising the priority again) keep the thread as it is.
    if (nice > 0) (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice);
}

void Run(std::shared_ptr<SharedState> shared) {
    Thread::Body body;
    {
        std::unique_lock<std::mutex> guard(shared->lock);
        shared->changed.wait(guard, [&] { return shared->start != StartState::Suspended; });
        if (shared->start == StartState::Cancelled) {
            shared->finished = true;
            shared->changed.notify_all();
            return;
        }
        shared->tid = CurrentTid();
        if (shared->niceWanted) ApplyNice(shared->tid, shared->nice);
        body = std::move(shared->body);
    }
    std::uint32_t code = 1;
    try {
        code = body();
    } catch (...) {
        // An exception must not take the process down from a worker thread; it ends the thread
        // with the failure code.
        code = 1;
    }
    body = nullptr;  // captured objects go while the thread still counts as running
    std::lock_guard<std::mutex> guard(shared->lock);
    shared->exitCode = code;
    shared->finished = true;
    shared->changed.notify_all();
}

}  // namespace

Thread Thread::StartSuspended(Body body) {
    if (!body) return Thread();
    try {
        auto handle = std::make_unique<ThreadHandle>();
        handle->shared = std::make_shared<SharedState>();
        handle->shared->body = std::move(body);
        handle->os = std::thread(Run, handle->shared);
        Thread thread;
        thread.state_ = handle.release();
        return thread;
    } catch (...) {
        return Thread();
    }
}

bool Thread::SetPriority(int priority) {
    if (!state_) return false;
    SharedState& shared = *AsHandle(state_)->shared;
    std::lock_guard<std::mutex> guard(shared.lock);
    shared.nice = NiceFor(priority);
    shared.niceWanted = true;
    if (shared.tid != 0 && !shared.finished) ApplyNice(shared.tid, shared.nice);
    return true;
}

bool Thread::Resume() {
    if (!state_) return false;
    SharedState& shared = *AsHandle(state_)->shared;
    std::lock_guard<std::mutex> guard(shared.lock);
    if (shared.start == StartState::Suspended) {
        shared.start = StartState::Resumed;
        shared.changed.notify_all();
    }
    return shared.start == StartState::Resumed;
}

WaitResult Thread::Wait(std::uint32_t timeoutMs) {
    if (!state_) return WaitResult::Failed;
    SharedState& shared = *AsHandle(state_)->shared;
    std::unique_lock<std::mutex> guard(shared.lock);
    auto ended = [&] { return shared.finished || shared.abandoned; };
    if (timeoutMs == kInfinite) {
        shared.changed.wait(guard, ended);
        return WaitResult::Signaled;
    }
    return shared.changed.wait_for(guard, std::chrono::milliseconds(timeoutMs), ended)
               ? WaitResult::Signaled
               : WaitResult::Timeout;
}

bool Thread::Terminate(std::uint32_t exitCode) {
    if (!state_) return false;
    ThreadHandle& handle = *AsHandle(state_);
    SharedState& shared = *handle.shared;
    {
        std::lock_guard<std::mutex> guard(shared.lock);
        if (shared.finished || shared.abandoned) return true;
        shared.abandoned = true;
        shared.abandonCode = exitCode;
        // A thread that never ran is released without running its body, as if it had been
        // killed before its first instruction.
        if (shared.start == StartState::Suspended) shared.start = StartState::Cancelled;
        shared.changed.notify_all();
    }
    if (handle.os.joinable()) handle.os.detach();
    return true;
}

bool Thread::GetExitCode(std::uint32_t& exitCode) const {
    if (!state_) return false;
    SharedState& shared = *AsHandle(state_)->shared;
    std::lock_guard<std::mutex> guard(shared.lock);
    if (shared.abandoned) {
        exitCode = shared.abandonCode;
        return true;
    }
    if (!shared.finished) return false;
    exitCode = shared.exitCode;
    return true;
}

void Thread::Close() noexcept {
    if (!state_) return;
    ThreadHandle* handle = AsHandle(state_);
    state_ = nullptr;
    bool finished = false;
    {
        std::lock_guard<std::mutex> guard(handle->shared->lock);
        if (handle->shared->start == StartState::Suspended) {
            handle->shared->start = StartState::Cancelled;
            handle->shared->changed.notify_all();
        }
        finished = handle->shared->finished;
    }
    if (handle->os.joinable()) {
        // A thread that has reported its end only has to return: joining it is immediate. One
        // that still runs is left to finish on its own.
        if (finished && handle->os.get_id() != std::this_thread::get_id()) {
            handle->os.join();
        } else {
            handle->os.detach();
        }
    }
    delete handle;
}

}  // namespace platform
