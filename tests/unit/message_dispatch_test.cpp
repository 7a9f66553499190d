#include "messaging/message_dispatch.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <vector>

#include "messaging/message_codes.h"
#include "messaging/synchronous_exchange.h"

namespace {

using application::messaging::Dispatch;
using application::messaging::ListenerList;
namespace sm = synchronization::messaging;

struct Call {
    int listener;
    std::uint32_t code;
};

class Recorder : public sm::IMessageListener {
  public:
    Recorder(int id, std::vector<Call>& calls, bool result)
        : id_(id), calls_(calls), result_(result) {}
    bool OnMessage(std::uint32_t code, platform::WParam, platform::LParam) override {
        calls_.push_back(Call{id_, code});
        if (throws_) {
            throw std::runtime_error("listener failed");
        }
        if (onCall_) {
            onCall_();
        }
        return result_;
    }
    bool throws_ = false;
    std::function<void()> onCall_;

  private:
    int id_;
    std::vector<Call>& calls_;
    bool result_;
};

// A signal whose Set the test can observe.
class CountingSignal : public sm::IExchangeSignal {
  public:
    bool Set() override {
        ++sets;
        return true;
    }
    platform::WaitResult Wait(std::uint32_t) override { return platform::WaitResult::Timeout; }
    platform::LParam ToParam() const override { return reinterpret_cast<platform::LParam>(this); }
    int sets = 0;
};

class DispatchTest : public ::testing::Test {
  protected:
    std::shared_ptr<Recorder> Add(bool result) {
        auto recorder =
            std::make_shared<Recorder>(static_cast<int>(listeners_.size()) + 1, calls_, result);
        listeners_.push_back(recorder);
        return recorder;
    }
    std::vector<int> Called() const {
        std::vector<int> ids;
        for (const auto& call : calls_) {
            ids.push_back(call.listener);
        }
        return ids;
    }
    ListenerList listeners_;
    std::vector<Call> calls_;
};

TEST_F(DispatchTest, CodesOutsideTheRangeGoToDefaultProcessing) {
    Add(true);
    for (std::uint32_t code : {1223u, 1239u, 0u, 0x0400u}) {
        const auto result = Dispatch(listeners_, code, 0, 0);
        EXPECT_FALSE(result.handled) << code;
        EXPECT_TRUE(result.runDefault) << code;
    }
    EXPECT_TRUE(calls_.empty());
}

TEST_F(DispatchTest, EveryListenerRunsAndHandledIsTheirOr) {
    Add(false);
    Add(true);
    Add(true);
    Add(false);
    auto result = Dispatch(listeners_, sm::WM_SYNC_CONNECTED, 0, 0);
    EXPECT_EQ(Called(), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_TRUE(result.handled);
    EXPECT_FALSE(result.runDefault);

    calls_.clear();
    ListenerList none = {listeners_[0], listeners_[3]};
    result = Dispatch(none, sm::WM_SYNC_CHART_MODIFIER_DETECTED, 0, 0);
    EXPECT_EQ(Called(), (std::vector<int>{1, 4}));
    EXPECT_FALSE(result.handled);
    EXPECT_TRUE(result.runDefault);
}

TEST_F(DispatchTest, AThrowingListenerStopsTheRoundAndDefaultRuns) {
    Add(true);
    Add(true)->throws_ = true;
    Add(true);
    Add(true);
    const auto result = Dispatch(listeners_, sm::WM_SYNC_CONNECTED, 0, 0);
    EXPECT_EQ(Called(), (std::vector<int>{1, 2}));
    EXPECT_TRUE(result.runDefault);
}

TEST_F(DispatchTest, AListenerThatClearsTheListEndsTheRoundSafely) {
    std::weak_ptr<Recorder> first = Add(true);
    Add(true)->onCall_ = [this] { listeners_.clear(); };
    Add(true);
    const auto result = Dispatch(listeners_, sm::WM_SYNC_DISCONNECTED, 0, 0);
    EXPECT_EQ(Called(), (std::vector<int>{1, 2}));
    EXPECT_TRUE(result.handled);
    EXPECT_TRUE(first.expired());
}

TEST_F(DispatchTest, SynchronousCodeWithoutEventRunsAllListenersAndSetsNothing) {
    Add(true);
    Add(false);
    const auto result = Dispatch(listeners_, sm::WM_SYNC_WRITE_LOCK_REQUEST, 1234, 0);
    EXPECT_EQ(Called(), (std::vector<int>{1, 2}));
    EXPECT_TRUE(result.handled);
    EXPECT_FALSE(result.runDefault);
}

TEST_F(DispatchTest, OnlySynchronousCodesTouchTheirExchange) {
    Add(true);
    CountingSignal signal;
    // 1229 with an lParam: an ordinary message; nothing is set.
    Dispatch(listeners_, sm::WM_SYNC_CONNECTED, 0, signal.ToParam());
    EXPECT_EQ(signal.sets, 0);
    EXPECT_EQ(calls_.size(), 1u);
    // A synchronous message with an lParam that no asker registered reaches no listener: its
    // record may be gone.
    const auto result =
        Dispatch(listeners_, sm::WM_SYNC_WRITE_LOCK_READINESS, 42, signal.ToParam());
    EXPECT_EQ(signal.sets, 0);
    EXPECT_EQ(calls_.size(), 1u);
    EXPECT_TRUE(result.runDefault);
}

}  // namespace
