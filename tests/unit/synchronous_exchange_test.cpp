// The synchronous exchange between a library thread and the user-interface thread, with real
// windows (the registry natively, Win32 windows under Wine) and a test signal in place of the
// platform's event; tests/unit/sync_exchange_test.cpp covers the event itself.

#include "messaging/synchronous_exchange.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "manager/lock_query.h"
#include "messaging/message_codes.h"
#include "messaging/message_dispatch.h"
#include "messaging/message_sender.h"
#include "platform/window.h"

namespace {

namespace sm = synchronization::messaging;
using application::messaging::Dispatch;
using application::messaging::ListenerList;
using application::messaging::MessageSender;
using synchronization::manager::LockQuery;

class TestSignal : public sm::IExchangeSignal {
  public:
    bool Set() override {
        std::lock_guard<std::mutex> lock(mutex_);
        set_ = true;
        cv_.notify_all();
        return true;
    }
    platform::WaitResult Wait(std::uint32_t timeoutMs) override {
        std::unique_lock<std::mutex> lock(mutex_);
        return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return set_; })
                   ? platform::WaitResult::Signaled
                   : platform::WaitResult::Timeout;
    }
    platform::LParam ToParam() const override { return reinterpret_cast<platform::LParam>(this); }

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool set_ = false;
};

// Answers the readiness question with a fixed word; counts its calls.
class Answerer : public sm::IMessageListener {
  public:
    explicit Answerer(bool answer) : answer_(answer) {}
    bool OnMessage(std::uint32_t code, platform::WParam wParam, platform::LParam) override {
        ++calls;
        if (throws) {
            throw std::runtime_error("coordinator failed");
        }
        if (code == sm::WM_SYNC_WRITE_LOCK_READINESS && wParam != 0) {
            auto* query = reinterpret_cast<LockQuery*>(wParam);
            lastObject = query->object;
            query->answer = answer_;
            return true;
        }
        return false;
    }
    int calls = 0;
    bool throws = false;
    std::u16string lastObject;

  private:
    bool answer_;
};

// Tells the test when the question is on its way; still the real sender underneath.
class NotifyingSender : public sm::IMessageSender, public sm::IMessageTarget {
  public:
    explicit NotifyingSender(platform::WindowHandle window) : inner_(window) {}
    bool Post(std::uint32_t code, platform::WParam wParam, platform::LParam lParam) override {
        const bool posted = inner_.Post(code, wParam, lParam);
        posted_.set_value(posted);
        return posted;
    }
    bool Post(std::uint32_t code) override { return Post(code, 0, 0); }
    bool TargetExists() const override { return inner_.TargetExists(); }
    std::future<bool> PostedFuture() { return posted_.get_future(); }

  private:
    MessageSender inner_;
    std::promise<bool> posted_;
};

class ExchangeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        answerer_ = std::make_shared<Answerer>(false);
        listeners_.push_back(answerer_);
        window_ = platform::CreateTopLevelWindow(
            u"exchange", [this](std::uint32_t code, platform::WParam w, platform::LParam l) {
                return !Dispatch(listeners_, code, w, l).runDefault;
            });
        ASSERT_NE(window_, 0u);
    }
    void TearDown() override {
        platform::DestroyWindow(window_);
        sm::ReopenExchanges();
    }
    // Asks on a thread of its own, as the library would.
    std::future<std::pair<bool, bool>> AskOnThread(sm::IMessageSender& sender,
                                                   std::uint32_t sliceMs = 250) {
        return std::async(std::launch::async, [&sender, sliceMs] {
            TestSignal signal;
            LockQuery query{u"Duzaduza Databases", u"Databases", true};
            const bool valid = sm::AskSynchronouslyWith(sender, sm::WM_SYNC_WRITE_LOCK_READINESS,
                                                        query, signal, sliceMs);
            return std::make_pair(valid, query.answer);
        });
    }
    void PumpUntilReady(std::future<std::pair<bool, bool>>& answer) {
        for (int i = 0;
             i < 200 && answer.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready;
             ++i) {
            platform::PumpMessages(window_, 20);
        }
        ASSERT_EQ(answer.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    }

    platform::WindowHandle window_ = 0;
    std::shared_ptr<Answerer> answerer_;
    ListenerList listeners_;
};

TEST_F(ExchangeTest, TheUserInterfaceThreadAnswers) {
    MessageSender sender(window_);
    auto answer = AskOnThread(sender);
    PumpUntilReady(answer);
    const auto [valid, ready] = answer.get();
    EXPECT_TRUE(valid);
    EXPECT_FALSE(ready);  // the answerer's word reached the asker
    EXPECT_EQ(answerer_->calls, 1);
    EXPECT_EQ(answerer_->lastObject, u"Duzaduza Databases");
}

TEST_F(ExchangeTest, AFailedPostReleasesTheAskerAtOnce) {
    MessageSender sender(window_);
    platform::DestroyWindow(window_);
    const auto start = std::chrono::steady_clock::now();
    auto answer = AskOnThread(sender, 5000);
    ASSERT_EQ(answer.wait_for(std::chrono::seconds(4)), std::future_status::ready);
    const auto [valid, ready] = answer.get();
    EXPECT_FALSE(valid);
    EXPECT_FALSE(ready);
    // Released without waiting for a single slice.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
}

TEST_F(ExchangeTest, AThrowingListenerReleasesTheAskerWithoutAnswer) {
    answerer_->throws = true;
    auto second = std::make_shared<Answerer>(true);
    listeners_.push_back(second);
    MessageSender sender(window_);
    auto answer = AskOnThread(sender, 5000);
    PumpUntilReady(answer);
    const auto [valid, ready] = answer.get();
    EXPECT_FALSE(valid);
    EXPECT_FALSE(ready);
    EXPECT_EQ(second->calls, 0);
}

TEST_F(ExchangeTest, CancelReleasesAQueuedQuestionAndItsMessageReachesNoListener) {
    NotifyingSender sender(window_);
    auto posted = sender.PostedFuture();
    auto answer = AskOnThread(sender, 5000);
    ASSERT_TRUE(posted.get());
    EXPECT_EQ(sm::CancelPendingExchanges(), 1);
    ASSERT_EQ(answer.wait_for(std::chrono::seconds(4)), std::future_status::ready);
    const auto [valid, ready] = answer.get();
    EXPECT_FALSE(valid);
    EXPECT_FALSE(ready);
    // The stale message is still queued; its record is gone, so no listener may see it.
    EXPECT_EQ(platform::PumpMessages(window_, 1000), 1);
    EXPECT_EQ(answerer_->calls, 0);

    // Until reopened, questions fail at once.
    MessageSender plain(window_);
    auto refused = AskOnThread(plain, 5000);
    ASSERT_EQ(refused.wait_for(std::chrono::seconds(4)), std::future_status::ready);
    EXPECT_EQ(refused.get(), std::make_pair(false, false));
    EXPECT_EQ(platform::PumpMessages(window_, 0), 0);  // nothing was posted
    sm::ReopenExchanges();
    auto again = AskOnThread(plain);
    PumpUntilReady(again);
    EXPECT_TRUE(again.get().first);
}

TEST_F(ExchangeTest, AVanishedWindowReleasesTheAsker) {
    NotifyingSender sender(window_);
    auto posted = sender.PostedFuture();
    auto answer = AskOnThread(sender, 10);
    ASSERT_TRUE(posted.get());
    platform::DestroyWindow(window_);
    ASSERT_EQ(answer.wait_for(std::chrono::seconds(4)), std::future_status::ready);
    const auto [valid, ready] = answer.get();
    EXPECT_FALSE(valid);
    EXPECT_FALSE(ready);
    EXPECT_EQ(answerer_->calls, 0);
}

}  // namespace

namespace {

// Asks from inside a dispatch, that is on the user-interface thread itself.
class SelfAsker : public sm::IMessageListener {
  public:
    explicit SelfAsker(sm::IMessageSender& sender) : sender_(sender) {}
    bool OnMessage(std::uint32_t code, platform::WParam, platform::LParam) override {
        if (code != sm::WM_SYNC_CONNECTED) {
            return false;
        }
        TestSignal signal;
        LockQuery query;
        valid =
            sm::AskSynchronouslyWith(sender_, sm::WM_SYNC_WRITE_LOCK_REQUEST, query, signal, 60000);
        answer = query.answer;
        return true;
    }
    bool valid = true;
    bool answer = true;

  private:
    sm::IMessageSender& sender_;
};

TEST_F(ExchangeTest, AQuestionFromTheDispatchingThreadFailsAtOnce) {
    MessageSender sender(window_);
    auto asker = std::make_shared<SelfAsker>(sender);
    listeners_.push_back(asker);
    ASSERT_TRUE(sender.Post(sm::WM_SYNC_CONNECTED));
    EXPECT_EQ(platform::PumpMessages(window_, 5000), 1);
    EXPECT_FALSE(asker->valid);
    EXPECT_FALSE(asker->answer);
    EXPECT_EQ(answerer_->calls, 1);  // the connection message itself; no question was posted
}

}  // namespace
