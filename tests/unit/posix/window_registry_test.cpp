// What only the console build's window registry promises.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/window.h"

namespace {

TEST(WindowRegistry, IdsAreNeverReusedAndDestroyDropsTheQueue) {
    std::atomic<int> handled{0};
    const auto first = platform::CreateTopLevelWindow(
        u"one", [&](std::uint32_t, platform::WParam, platform::LParam) {
            ++handled;
            return true;
        });
    ASSERT_TRUE(platform::PostMessage(first, 1224, 0, 0));
    ASSERT_TRUE(platform::DestroyWindow(first));
    const auto second = platform::CreateTopLevelWindow(u"two", nullptr);
    EXPECT_NE(second, first);
    EXPECT_FALSE(platform::IsWindow(first));
    // The message queued before the destruction is gone with the window.
    EXPECT_EQ(platform::PumpMessages(first, 0), 0);
    EXPECT_EQ(handled.load(), 0);
    // Messages go to top-level windows only.
    const auto label = platform::CreateChildWindow(second, platform::WindowKind::Label, u"x");
    EXPECT_FALSE(platform::PostMessage(label, 1224, 0, 0));
    platform::DestroyWindow(second);
}

TEST(WindowRegistry, MeasuresSevenPixelsPerUnit) {
    const auto main = platform::CreateTopLevelWindow(u"m", nullptr);
    const auto list = platform::CreateChildWindow(main, platform::WindowKind::List, u"");
    std::uint32_t width = 1;
    ASSERT_TRUE(platform::ListMeasureText(list, u"0123456789", width));
    EXPECT_EQ(width, 70u);
    platform::DestroyWindow(main);
    EXPECT_FALSE(platform::ListMeasureText(list, u"x", width));
    EXPECT_EQ(width, 0u);
}

TEST(WindowRegistry, PumpWakesForAPostFromAnotherThreadAndForDestruction) {
    std::atomic<int> handled{0};
    const auto main = platform::CreateTopLevelWindow(
        u"m", [&](std::uint32_t, platform::WParam, platform::LParam) {
            ++handled;
            return true;
        });
    std::thread poster([main] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        platform::PostMessage(main, 1225, 0, 0);
    });
    EXPECT_EQ(platform::PumpMessages(main, platform::kInfinite), 1);
    poster.join();
    EXPECT_EQ(handled.load(), 1);

    std::thread destroyer([main] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        platform::DestroyWindow(main);
    });
    // Waits without a limit, yet returns once the window is gone.
    EXPECT_EQ(platform::PumpMessages(main, platform::kInfinite), 0);
    destroyer.join();
}

TEST(WindowRegistry, AHandlerThatPostsAgainDoesNotKeepThePumpGoing) {
    platform::WindowHandle main = 0;
    int handled = 0;
    main = platform::CreateTopLevelWindow(u"m",
                                          [&](std::uint32_t, platform::WParam, platform::LParam) {
                                              ++handled;
                                              platform::PostMessage(main, 1224, 0, 0);
                                              return true;
                                          });
    platform::PostMessage(main, 1224, 0, 0);
    EXPECT_EQ(platform::PumpMessages(main, 0), 1);
    EXPECT_EQ(platform::PumpMessages(main, 0), 1);
    EXPECT_EQ(handled, 2);
    platform::DestroyWindow(main);
}

}  // namespace
