#include "logging/synchronization_log.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "messaging/message_codes.h"
#include "platform/text.h"
#include "platform/window.h"

namespace {

namespace sm = synchronization::messaging;
using application::logging::SynchronizationLog;

class CountingSender : public sm::IMessageSender {
  public:
    bool Post(std::uint32_t code, platform::WParam wParam, platform::LParam lParam) override {
        if (code == sm::WM_SYNC_LOG_PENDING && wParam == 0 && lParam == 0) {
            ++posts;
        }
        return succeed;
    }
    bool Post(std::uint32_t code) override { return Post(code, 0, 0); }
    int posts = 0;
    bool succeed = true;
};

std::u16string Two(int value) {
    return platform::ToU16Decimal(static_cast<unsigned>(value / 10)) +
           platform::ToU16Decimal(static_cast<unsigned>(value % 10));
}

// A clock that moves one second per reading, and the console build's fixed formats.
SynchronizationLog::TimeSource SteppingClock(int& seconds) {
    return SynchronizationLog::TimeSource{
        [&seconds] {
            platform::LocalTime time;
            time.year = 2026;
            time.month = 12;
            time.day = 9;
            time.hour = 13;
            time.minute = static_cast<std::uint16_t>(12 + seconds / 60);
            time.second = static_cast<std::uint16_t>(seconds % 60);
            ++seconds;
            return time;
        },
        [](const platform::LocalTime& t) {
            return Two(t.day) + u"." + Two(t.month) + u"." + platform::ToU16Decimal(t.year);
        },
        [](const platform::LocalTime& t) {
            return Two(t.hour) + u":" + Two(t.minute) + u":" + Two(t.second);
        }};
}

class LogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        main_ = platform::CreateTopLevelWindow(u"Sundra", nullptr);
        list_ = platform::CreateChildWindow(main_, platform::WindowKind::List, u"");
        ASSERT_NE(list_, 0u);
        sender_ = std::make_shared<CountingSender>();
        log_ = std::make_shared<SynchronizationLog>(sender_, list_, SteppingClock(seconds_));
    }
    void TearDown() override { platform::DestroyWindow(main_); }
    bool Show() { return log_->OnMessage(sm::WM_SYNC_LOG_PENDING, 0, 0); }

    int seconds_ = 26;
    platform::WindowHandle main_ = 0;
    platform::WindowHandle list_ = 0;
    std::shared_ptr<CountingSender> sender_;
    std::shared_ptr<SynchronizationLog> log_;
};

TEST_F(LogTest, EachAnnouncementShowsTheOldestLineWithItsQueuingTime) {
    EXPECT_TRUE(log_->Log(std::string("Watchdog: Synchronization service watchdog is active")));
    EXPECT_TRUE(log_->Log(u"Databases: second"));
    EXPECT_EQ(sender_->posts, 2);
    EXPECT_EQ(platform::ListGetCount(list_),
              0);  // nothing shown before the user-interface thread runs

    seconds_ = 50;  // the user-interface thread comes late; the stamps keep the queuing times
    EXPECT_TRUE(Show());
    ASSERT_EQ(platform::ListGetCount(list_), 1);
    EXPECT_EQ(platform::ListGetText(list_, 0),
              u"09.12.2026 13:12:26: Watchdog: Synchronization service watchdog is active");
    EXPECT_TRUE(Show());
    EXPECT_EQ(platform::ListGetText(list_, 1), u"09.12.2026 13:12:27: Databases: second");
    EXPECT_EQ(platform::ListGetCurSel(list_), 1);
    // Queue empty: still handled, nothing added.
    EXPECT_TRUE(Show());
    EXPECT_EQ(platform::ListGetCount(list_), 2);
}

TEST_F(LogTest, FiftyOneLinesKeepTheLastFiftyWithTheLastSelected) {
    for (int i = 1; i <= 51; ++i) {
        log_->Log("line " + std::to_string(i));
        Show();
    }
    ASSERT_EQ(platform::ListGetCount(list_), 50);
    EXPECT_NE(platform::ListGetText(list_, 0).find(u": line 2"), std::u16string::npos);
    EXPECT_NE(platform::ListGetText(list_, 49).find(u": line 51"), std::u16string::npos);
    EXPECT_EQ(platform::ListGetCurSel(list_), 49);
}

TEST_F(LogTest, AnEmptyTextIsAnnouncedButShowsNothing) {
    log_->Log(u"shown");
    Show();
    platform::ListSetCurSel(list_, -1);
    EXPECT_TRUE(log_->Log(u""));
    EXPECT_EQ(sender_->posts, 2);
    EXPECT_TRUE(Show());
    EXPECT_EQ(platform::ListGetCount(list_), 1);
    EXPECT_EQ(platform::ListGetCurSel(list_), -1);  // the selection did not change
}

TEST_F(LogTest, NarrowBytesAreWidenedBySignExtension) {
    log_->Log(std::string("caf\xE9"));
    Show();
    const std::u16string line = platform::ListGetText(list_, 0);
    ASSERT_GE(line.size(), 4u);
    EXPECT_EQ(line.substr(line.size() - 4), u"caf\uFFE9");
}

TEST_F(LogTest, ScrollableWidthOnlyGrows) {
    const std::u16string longText(120, u'W');
    log_->Log(longText);
    Show();
    std::uint32_t width = 0;
    ASSERT_TRUE(platform::ListMeasureText(list_, platform::ListGetText(list_, 0), width));
    EXPECT_EQ(platform::ListGetHorizontalExtent(list_), width + 10);
    log_->Log(u"short");
    Show();
    EXPECT_EQ(platform::ListGetHorizontalExtent(list_), width + 10);
    // Even when the widest line has left the list.
    platform::ListDeleteString(list_, 0);
    log_->Log(u"short again");
    Show();
    EXPECT_EQ(platform::ListGetHorizontalExtent(list_), width + 10);
}

TEST_F(LogTest, OtherCodesAreNotTheLogsAndLeaveTheQueue) {
    log_->Log(u"pending");
    for (std::uint32_t code = sm::kFirstSyncMessage + 1; code <= sm::kLastSyncMessage; ++code) {
        EXPECT_FALSE(log_->OnMessage(code, 0, 0)) << code;
    }
    EXPECT_TRUE(Show());
    EXPECT_EQ(platform::ListGetCount(list_), 1);
}

TEST_F(LogTest, AFailedPostReturnsFalseButKeepsTheLine) {
    sender_->succeed = false;
    EXPECT_FALSE(log_->Log(u"first"));
    sender_->succeed = true;
    EXPECT_TRUE(log_->Log(u"second"));
    Show();
    EXPECT_NE(platform::ListGetText(list_, 0).find(u": first"), std::u16string::npos);
}

TEST(LogWithoutWindows, NullListQueuesButNeverShows) {
    int seconds = 0;
    auto sender = std::make_shared<CountingSender>();
    SynchronizationLog log(sender, 0, SteppingClock(seconds));
    EXPECT_TRUE(log.Log(u"kept"));
    EXPECT_EQ(sender->posts, 1);
    EXPECT_FALSE(log.OnMessage(sm::WM_SYNC_LOG_PENDING, 0, 0));
    // The queue was not touched: the clock was read once, by the push.
    EXPECT_EQ(seconds, 1);
}

TEST(LogWithoutWindows, NoSenderDropsTheLine) {
    int seconds = 0;
    SynchronizationLog log(nullptr, 0, SteppingClock(seconds));
    EXPECT_FALSE(log.Log(u"dropped"));
    EXPECT_FALSE(log.Log(std::string("dropped")));
    EXPECT_EQ(seconds, 0);
}

TEST(LogQueue, PopOfAnEmptyQueueClearsTheTime) {
    SynchronizationLog::MessageQueue queue([] {
        platform::LocalTime time;
        time.year = 2026;
        return time;
    });
    platform::LocalTime time;
    time.hour = 5;
    EXPECT_EQ(queue.Pop(time), u"");
    EXPECT_EQ(time.hour, 0);
    queue.Push(u"a");
    EXPECT_EQ(queue.Pop(time), u"a");
    EXPECT_EQ(time.year, 2026);
}

}  // namespace
