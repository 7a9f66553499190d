// The synchronous exchange with the platform's own unnamed event, as the events listener uses it.

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <stdexcept>
#include <thread>

#include "logging/synchronization_log.h"
#include "manager/lock_query.h"
#include "messaging/message_codes.h"
#include "messaging/message_dispatch.h"
#include "messaging/message_sender.h"
#include "messaging/synchronous_exchange.h"
#include "platform/window.h"

namespace {

namespace sm = synchronization::messaging;
using application::messaging::Dispatch;
using application::messaging::ListenerList;
using application::messaging::MessageSender;
using synchronization::manager::LockQuery;

class Granter : public sm::IMessageListener {
  public:
    bool OnMessage(std::uint32_t code, platform::WParam wParam, platform::LParam) override {
        if (throws) {
            throw std::runtime_error("failed");
        }
        if (code == sm::WM_SYNC_WRITE_LOCK_REQUEST && wParam != 0) {
            reinterpret_cast<LockQuery*>(wParam)->answer = grant;
            return true;
        }
        return false;
    }
    bool grant = false;
    bool throws = false;
};

class EventExchangeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        granter_ = std::make_shared<Granter>();
        listeners_.push_back(granter_);
        window_ = platform::CreateTopLevelWindow(
            u"exchange", [this](std::uint32_t code, platform::WParam w, platform::LParam l) {
                return !Dispatch(listeners_, code, w, l).runDefault;
            });
        ASSERT_NE(window_, 0u);
        sender_ = std::make_unique<MessageSender>(window_);
    }
    void TearDown() override {
        platform::DestroyWindow(window_);
        sm::ReopenExchanges();
    }
    std::future<std::pair<bool, bool>> Ask() {
        return std::async(std::launch::async, [this] {
            LockQuery query{u"Duzaduza Databases", u"Databases", true};
            const bool valid =
                sm::AskSynchronously(*sender_, sm::WM_SYNC_WRITE_LOCK_REQUEST, query);
            return std::make_pair(valid, query.answer);
        });
    }
    std::pair<bool, bool> PumpUntil(std::future<std::pair<bool, bool>>& answer) {
        for (int i = 0;
             i < 250 && answer.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready;
             ++i) {
            platform::PumpMessages(window_, 20);
        }
        EXPECT_EQ(answer.wait_for(std::chrono::seconds(5)), std::future_status::ready);
        return answer.get();
    }

    std::shared_ptr<Granter> granter_;
    ListenerList listeners_;
    platform::WindowHandle window_ = 0;
    std::unique_ptr<MessageSender> sender_;
};

TEST_F(EventExchangeTest, AnswersTravelBackThroughTheEvent) {
    granter_->grant = true;
    auto first = Ask();
    EXPECT_EQ(PumpUntil(first), std::make_pair(true, true));
    granter_->grant = false;
    auto second = Ask();
    EXPECT_EQ(PumpUntil(second), std::make_pair(true, false));
}

TEST_F(EventExchangeTest, ListenerFailureAndFailedPostReleaseTheAsker) {
    granter_->throws = true;
    auto failed = Ask();
    EXPECT_EQ(PumpUntil(failed), std::make_pair(false, false));

    platform::DestroyWindow(window_);
    auto orphan = Ask();
    ASSERT_EQ(orphan.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(orphan.get(), std::make_pair(false, false));
}

// Lets the test know when the question is in the window's queue.
class PostWatcher : public sm::IMessageSender, public sm::IMessageTarget {
  public:
    explicit PostWatcher(MessageSender& inner) : inner_(inner) {}
    bool Post(std::uint32_t code, platform::WParam wParam, platform::LParam lParam) override {
        const bool posted = inner_.Post(code, wParam, lParam);
        posted_.set_value(posted);
        return posted;
    }
    bool Post(std::uint32_t code) override { return Post(code, 0, 0); }
    bool TargetExists() const override { return inner_.TargetExists(); }
    std::future<bool> Posted() { return posted_.get_future(); }

  private:
    MessageSender& inner_;
    std::promise<bool> posted_;
};

TEST_F(EventExchangeTest, CancelAtShutDownReleasesAQueuedQuestion) {
    PostWatcher watcher(*sender_);
    auto posted = watcher.Posted();
    auto answer = std::async(std::launch::async, [&watcher] {
        LockQuery query{u"Duzaduza Databases", u"Databases", true};
        const bool valid = sm::AskSynchronously(watcher, sm::WM_SYNC_WRITE_LOCK_READINESS, query);
        return std::make_pair(valid, query.answer);
    });
    ASSERT_TRUE(posted.get());
    EXPECT_EQ(sm::CancelPendingExchanges(), 1);
    ASSERT_EQ(answer.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(answer.get(), std::make_pair(false, false));
    // The message still queued finds no pending exchange; its event is closed and never set.
    EXPECT_EQ(platform::PumpMessages(window_, 1000), 1);
}

TEST(LogWithPlatformClock, LinesCarryDateBlankTimeColon) {
    const auto main = platform::CreateTopLevelWindow(u"Sundra", nullptr);
    const auto list = platform::CreateChildWindow(main, platform::WindowKind::List, u"");
    application::logging::SynchronizationLog log(std::make_shared<MessageSender>(main), list);
    ASSERT_TRUE(log.Log(std::string("Manager: Connecting to synchronization service...")));
    ASSERT_TRUE(log.OnMessage(sm::WM_SYNC_LOG_PENDING, 0, 0));
    const std::u16string line = platform::ListGetText(list, 0);
    const std::u16string tail = u": Manager: Connecting to synchronization service...";
    ASSERT_GT(line.size(), tail.size() + 4);
    EXPECT_EQ(line.substr(line.size() - tail.size()), tail);
    const std::u16string stamp = line.substr(0, line.size() - tail.size());
    const auto blank = stamp.find(u' ');
    ASSERT_NE(blank, std::u16string::npos);
    EXPECT_GT(blank, 0u);
    EXPECT_NE(stamp.find(u':', blank), std::u16string::npos);  // the time of day
    platform::DestroyWindow(main);
}

}  // namespace
