// Many threads log at once while the user-interface thread drains the window's queue: every line
// must be shown exactly once, in the order in which it entered the log's queue. Run under
// ThreadSanitizer too: the clock below is a plain counter, read only under the queue's lock.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "logging/synchronization_log.h"
#include "messaging/message_dispatch.h"
#include "messaging/message_sender.h"
#include "platform/text.h"
#include "platform/window.h"

namespace {

using application::logging::SynchronizationLog;
using application::messaging::Dispatch;
using application::messaging::ListenerList;
using application::messaging::MessageSender;

TEST(LogThreads, EightThreadsTenThousandLinesEachShownOnceInQueueOrder) {
    constexpr int kThreads = 8;
    constexpr int kLinesPerThread = 10000;

    ListenerList listeners;
    const auto main = platform::CreateTopLevelWindow(
        u"Sundra", [&](std::uint32_t code, platform::WParam w, platform::LParam l) {
            return !Dispatch(listeners, code, w, l).runDefault;
        });
    const auto list = platform::CreateChildWindow(main, platform::WindowKind::List, u"");
    ASSERT_NE(list, 0u);

    std::uint32_t stamp = 0;  // deliberately not atomic
    SynchronizationLog::TimeSource clock{
        [&stamp] {
            platform::LocalTime time;
            time.milliseconds = static_cast<std::uint16_t>(stamp & 0xFFFF);
            time.year = static_cast<std::uint16_t>(stamp >> 16);
            ++stamp;
            return time;
        },
        [](const platform::LocalTime&) { return std::u16string(u"D"); },
        [](const platform::LocalTime& t) {
            return platform::ToU16Decimal((static_cast<unsigned>(t.year) << 16) | t.milliseconds);
        }};
    auto log =
        std::make_shared<SynchronizationLog>(std::make_shared<MessageSender>(main), list, clock);
    listeners.push_back(log);

    std::vector<std::u16string> shown;
    shown.reserve(kThreads * kLinesPerThread);
    platform::SetWindowObserver([&](const platform::WindowNotification& n) {
        if (n.change == platform::WindowChange::ListLineAdded && n.window == list) {
            shown.push_back(n.text);
        }
    });

    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([&log, t] {
            for (int i = 0; i < kLinesPerThread; ++i) {
                log->Log("T" + std::to_string(t) + "-" + std::to_string(i));
            }
        });
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (shown.size() < static_cast<std::size_t>(kThreads * kLinesPerThread) &&
           std::chrono::steady_clock::now() < deadline) {
        platform::PumpMessages(main, 100);
    }
    for (auto& writer : writers) {
        writer.join();
    }
    platform::SetWindowObserver(nullptr);
    platform::DestroyWindow(main);

    ASSERT_EQ(shown.size(), static_cast<std::size_t>(kThreads * kLinesPerThread));
    std::vector<int> next(kThreads, 0);
    for (std::size_t k = 0; k < shown.size(); ++k) {
        const std::string line = platform::Narrow(shown[k]);
        // "D <stamp>: T<t>-<i>": the stamps count up without a gap, so no line is lost,
        // doubled or shown out of queue order.
        const std::string expectedStart = "D " + std::to_string(k) + ": T";
        ASSERT_EQ(line.compare(0, expectedStart.size(), expectedStart), 0) << line;
        const std::size_t dash = line.find('-', expectedStart.size());
        const int t = std::stoi(line.substr(expectedStart.size(), dash - expectedStart.size()));
        const int i = std::stoi(line.substr(dash + 1));
        ASSERT_GE(t, 0);
        ASSERT_LT(t, kThreads);
        ASSERT_EQ(i, next[static_cast<std::size_t>(t)]) << line;
        ++next[static_cast<std::size_t>(t)];
    }
    EXPECT_EQ(platform::ListGetCount(list), platform::kListError);  // gone with its window
}

}  // namespace
