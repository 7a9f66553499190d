#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "platform/event.h"
#include "platform/thread.h"

namespace {

using platform::Event;
using platform::Thread;
using platform::WaitResult;

constexpr std::uint32_t kLongWait = 10000;

TEST(PlatformThread, SuspendedThreadRunsOnlyAfterResume) {
    auto ran = std::make_shared<std::atomic<bool>>(false);
    Thread thread = Thread::StartSuspended([ran] {
        ran->store(true);
        return 7u;
    });
    ASSERT_TRUE(thread.IsValid());
    EXPECT_TRUE(thread.SetPriority(platform::kThreadPriorityLowest));
    EXPECT_EQ(thread.Wait(50), WaitResult::Timeout);
    EXPECT_FALSE(ran->load());
    std::uint32_t code = 0;
    EXPECT_FALSE(thread.GetExitCode(code)) << "no exit code while it has not ended";

    ASSERT_TRUE(thread.Resume());
    ASSERT_EQ(thread.Wait(kLongWait), WaitResult::Signaled);
    EXPECT_TRUE(ran->load());
    ASSERT_TRUE(thread.GetExitCode(code));
    EXPECT_EQ(code, 7u);
}

TEST(PlatformThread, IdlePriorityThreadStillRuns) {
    Thread thread = Thread::StartSuspended([] { return 3u; });
    ASSERT_TRUE(thread.IsValid());
    EXPECT_TRUE(thread.SetPriority(platform::kThreadPriorityIdle));
    ASSERT_TRUE(thread.Resume());
    ASSERT_EQ(thread.Wait(kLongWait), WaitResult::Signaled);
    std::uint32_t code = 0;
    ASSERT_TRUE(thread.GetExitCode(code));
    EXPECT_EQ(code, 3u);
}

TEST(PlatformThread, ExceptionInBodyEndsThreadWithFailureCode) {
    Thread thread = Thread::StartSuspended([]() -> std::uint32_t { throw 42; });
    ASSERT_TRUE(thread.Resume());
    ASSERT_EQ(thread.Wait(kLongWait), WaitResult::Signaled);
    std::uint32_t code = 0;
    ASSERT_TRUE(thread.GetExitCode(code));
    EXPECT_EQ(code, 1u);
}

// A body that ignores its stop signal: it only ends when the test releases it at the very end,
// long after its owner gave up on it.
struct StuckBody {
    std::shared_ptr<Event> release = std::make_shared<Event>(Event::CreateUnnamed());
    std::shared_ptr<Event> started = std::make_shared<Event>(Event::CreateUnnamed());
    std::shared_ptr<std::atomic<bool>> ended = std::make_shared<std::atomic<bool>>(false);

    Thread::Body Body() const {
        return [release = release, started = started, ended = ended] {
            started->Set();
            release->Wait(kLongWait);
            ended->store(true);
            return 0u;
        };
    }
};

TEST(PlatformThread, ThreadIgnoringItsStopIsTerminatedAfterTimeout) {
    StuckBody stuck;
    Thread thread = Thread::StartSuspended(stuck.Body());
    ASSERT_TRUE(thread.Resume());
    ASSERT_EQ(stuck.started->Wait(kLongWait), WaitResult::Signaled);

    // The owner's stop sequence: wait with a bound, then end it forcibly.
    EXPECT_EQ(thread.Wait(50), WaitResult::Timeout);
    ASSERT_TRUE(thread.Terminate(1));
    EXPECT_EQ(thread.Wait(kLongWait), WaitResult::Signaled);
    std::uint32_t code = 0;
    ASSERT_TRUE(thread.GetExitCode(code));
    EXPECT_EQ(code, 1u);
    thread.Close();
    EXPECT_FALSE(stuck.ended->load());

    // Where the thread was only abandoned, it now ends on its own without touching its former
    // owner; where it was killed, this changes nothing.
    stuck.release->Set();
}

TEST(PlatformThread, ClosingARunningThreadDoesNotWaitForIt) {
    StuckBody stuck;
    {
        Thread thread = Thread::StartSuspended(stuck.Body());
        ASSERT_TRUE(thread.Resume());
        ASSERT_EQ(stuck.started->Wait(kLongWait), WaitResult::Signaled);
    }
    EXPECT_FALSE(stuck.ended->load()) << "the destructor waited for the thread";
    stuck.release->Set();
    for (int i = 0; i < 1000 && !stuck.ended->load(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(stuck.ended->load());
}

TEST(PlatformThread, ThreadDestroyedWhileSuspendedNeverRunsAndIsReleased) {
    auto ran = std::make_shared<std::atomic<bool>>(false);
    auto token = std::make_shared<int>(0);
    std::weak_ptr<int> watch = token;
    {
        Thread thread = Thread::StartSuspended([ran, token] {
            ran->store(true);
            return 0u;
        });
        ASSERT_TRUE(thread.IsValid());
        token.reset();
    }
    // The body (with what it captured) goes once the released thread has returned.
    for (int i = 0; i < 1000 && !watch.expired(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(watch.expired());
    EXPECT_FALSE(ran->load());
}

TEST(PlatformThread, InvalidThreadFailsEverything) {
    Thread thread;
    EXPECT_FALSE(thread.IsValid());
    EXPECT_FALSE(thread.Resume());
    EXPECT_EQ(thread.Wait(0), WaitResult::Failed);
    EXPECT_FALSE(thread.Terminate(1));
    std::uint32_t code = 0;
    EXPECT_FALSE(thread.GetExitCode(code));
    EXPECT_FALSE(Thread::StartSuspended(Thread::Body()).IsValid());
}

}  // namespace
