#include <gtest/gtest.h>

#include <thread>

#include "platform/event.h"

namespace {

using platform::Event;
using platform::WaitResult;

// Bound for waits that must end because another thread acts; never reached when all is well.
constexpr std::uint32_t kLongWait = 10000;

TEST(PlatformEvent, ManualResetStaysSignalledUntilReset) {
    Event event = Event::CreateUnnamed();
    ASSERT_TRUE(event.IsValid());
    EXPECT_EQ(event.Wait(0), WaitResult::Timeout);
    EXPECT_EQ(event.Wait(20), WaitResult::Timeout);
    ASSERT_TRUE(event.Set());
    EXPECT_EQ(event.Wait(0), WaitResult::Signaled);
    EXPECT_EQ(event.Wait(platform::kInfinite), WaitResult::Signaled);
    ASSERT_TRUE(event.Reset());
    EXPECT_EQ(event.Wait(0), WaitResult::Timeout);
}

TEST(PlatformEvent, InvalidAndMovedFromHandlesFail) {
    Event none;
    EXPECT_FALSE(none.IsValid());
    EXPECT_FALSE(none.Set());
    EXPECT_EQ(none.Wait(0), WaitResult::Failed);
    EXPECT_EQ(none.ToParam(), 0);

    Event first = Event::CreateUnnamed();
    Event second(std::move(first));
    EXPECT_FALSE(first.IsValid());
    ASSERT_TRUE(second.IsValid());
    ASSERT_TRUE(second.Set());
    EXPECT_EQ(second.Wait(0), WaitResult::Signaled);
}

TEST(PlatformEvent, NamedEventIsSharedAndKeepsItsState) {
    const std::u16string name = u"Local\\SundraTestNamedShared";
    EXPECT_FALSE(Event::OpenNamed(name).IsValid());

    Event creator = Event::CreateNamed(name);
    ASSERT_TRUE(creator.IsValid());
    ASSERT_TRUE(creator.Set());

    // Creating it again opens the same event without resetting it.
    Event again = Event::CreateNamed(name);
    ASSERT_TRUE(again.IsValid());
    EXPECT_EQ(again.Wait(0), WaitResult::Signaled);

    Event opened = Event::OpenNamed(name);
    ASSERT_TRUE(opened.IsValid());
    ASSERT_TRUE(opened.Reset());
    EXPECT_EQ(creator.Wait(0), WaitResult::Timeout);

    // Another name is another event; without the prefix the name means the same namespace.
    EXPECT_FALSE(Event::OpenNamed(u"Local\\SundraTestNamedOther").IsValid());
    Event unprefixed = Event::OpenNamed(u"SundraTestNamedShared");
    ASSERT_TRUE(unprefixed.IsValid());
    EXPECT_EQ(unprefixed.Wait(0), WaitResult::Timeout);
    unprefixed.Close();

    // The name lives as long as one handle is open.
    creator.Close();
    again.Close();
    EXPECT_TRUE(Event::OpenNamed(name).IsValid());
    opened.Close();
    EXPECT_FALSE(Event::OpenNamed(name).IsValid());
}

TEST(PlatformEvent, NamedEventSetFromAnotherThreadReleasesWaiterThatOpenedIt) {
    const std::u16string name = u"Local\\SundraTestNamedWaiter";
    Event owner = Event::CreateNamed(name);
    ASSERT_TRUE(owner.IsValid());
    Event ready = Event::CreateUnnamed();

    WaitResult waited = WaitResult::Failed;
    bool opened = false;
    std::thread waiter([&] {
        Event byName = Event::OpenNamed(name);
        opened = byName.IsValid();
        ready.Set();
        if (opened) waited = byName.Wait(kLongWait);
    });
    ASSERT_EQ(ready.Wait(kLongWait), WaitResult::Signaled);
    std::thread setter([&] { Event::OpenNamed(name).Set(); });
    setter.join();
    waiter.join();
    EXPECT_TRUE(opened);
    EXPECT_EQ(waited, WaitResult::Signaled);
}

TEST(PlatformEvent, WaitAnyReportsWhichEventAndTheTimeout) {
    Event first = Event::CreateUnnamed();
    Event second = Event::CreateUnnamed();
    ASSERT_TRUE(first.IsValid() && second.IsValid());

    EXPECT_EQ(platform::WaitAny(first, second, 0), platform::kWaitTimeout);
    EXPECT_EQ(platform::WaitAny(first, second, 30), platform::kWaitTimeout);

    second.Set();
    EXPECT_EQ(platform::WaitAny(first, second, 0), 1);
    first.Set();
    EXPECT_EQ(platform::WaitAny(first, second, 0), 0) << "the first listed wins when both are set";
    EXPECT_EQ(platform::WaitAny(first, second, platform::kInfinite), 0);
    first.Reset();
    EXPECT_EQ(platform::WaitAny(first, second, 30), 1);

    Event none;
    EXPECT_EQ(platform::WaitAny(none, second, 0), platform::kWaitFailed);
}

TEST(PlatformEvent, WaitAnyWakesWhenTheSecondEventIsSetLater) {
    Event abort = Event::CreateUnnamed();
    Event request = Event::CreateUnnamed();
    Event waiting = Event::CreateUnnamed();
    int result = -100;
    std::thread waiter([&] {
        waiting.Set();
        result = platform::WaitAny(abort, request, kLongWait);
    });
    ASSERT_EQ(waiting.Wait(kLongWait), WaitResult::Signaled);
    request.Set();
    waiter.join();
    EXPECT_EQ(result, 1);
}

TEST(PlatformEvent, OneSetReleasesEveryWaiterOfANamedEvent) {
    const std::u16string name = u"Local\\SundraTestAbortAll";
    Event abort = Event::CreateNamed(name);
    constexpr int kWaiters = 4;
    int results[kWaiters] = {};
    Event ready[kWaiters];
    std::thread waiters[kWaiters];
    for (int i = 0; i < kWaiters; ++i) {
        ready[i] = Event::CreateUnnamed();
        waiters[i] = std::thread([&, i] {
            Event own = Event::CreateNamed(name);
            Event never = Event::CreateUnnamed();
            ready[i].Set();
            results[i] = platform::WaitAny(own, never, kLongWait);
        });
    }
    for (auto& event : ready) ASSERT_EQ(event.Wait(kLongWait), WaitResult::Signaled);
    Event::OpenNamed(name).Set();
    for (auto& waiter : waiters) waiter.join();
    for (int result : results) EXPECT_EQ(result, 0);
}

TEST(PlatformEvent, ParameterLetsAnotherThreadSetTheEvent) {
    Event answered = Event::CreateUnnamed();
    const platform::LParam param = answered.ToParam();
    ASSERT_NE(param, 0);
    bool setResult = false;
    std::thread other([&] { setResult = Event::SetFromParam(param); });
    EXPECT_EQ(answered.Wait(kLongWait), WaitResult::Signaled);
    other.join();
    EXPECT_TRUE(setResult);
    EXPECT_FALSE(Event::SetFromParam(0));
}

}  // namespace
