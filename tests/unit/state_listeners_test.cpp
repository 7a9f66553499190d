#include <gtest/gtest.h>

#include <string>

#include "messaging/communication_with_sync_service_state_listener.h"
#include "messaging/message_codes.h"
#include "messaging/synchronization_service_state_listener.h"
#include "platform/window.h"

namespace {

namespace sm = synchronization::messaging;
using application::event_listeners::CommunicationWithSyncServiceStateListener;
using application::event_listeners::SynchronizationServiceStateListener;

class StateListenersTest : public ::testing::Test {
  protected:
    void SetUp() override {
        main_ = platform::CreateTopLevelWindow(u"Sundra", nullptr);
        serviceLabel_ = platform::CreateChildWindow(main_, platform::WindowKind::Label, u"Unknown");
        communicationLabel_ =
            platform::CreateChildWindow(main_, platform::WindowKind::Label, u"Unknown");
        ASSERT_NE(communicationLabel_, 0u);
        platform::ShowWindow(main_, platform::ShowCommand::Show);
    }
    void TearDown() override { platform::DestroyWindow(main_); }

    platform::WindowHandle main_ = 0;
    platform::WindowHandle serviceLabel_ = 0;
    platform::WindowHandle communicationLabel_ = 0;
};

TEST_F(StateListenersTest, ServiceStateTexts) {
    SynchronizationServiceStateListener listener(serviceLabel_);
    const struct {
        std::uint32_t code;
        const char16_t* text;
    } cases[] = {{sm::WM_SYNC_SERVICE_STARTED, u"Started"},
                 {sm::WM_SYNC_SERVICE_STOPPED, u"Stopped"},
                 {sm::WM_SYNC_SERVICE_RUNNING, u"Running"},
                 {sm::WM_SYNC_SERVICE_NOT_RUNNING, u"Not running"}};
    for (const auto& c : cases) {
        EXPECT_TRUE(listener.OnMessage(c.code, 0, 0));
        EXPECT_EQ(platform::GetWindowText(serviceLabel_), c.text);
    }
    for (std::uint32_t code = sm::kFirstSyncMessage; code <= sm::kLastSyncMessage; ++code) {
        if (code < sm::WM_SYNC_SERVICE_STARTED || code > sm::WM_SYNC_SERVICE_NOT_RUNNING) {
            EXPECT_FALSE(listener.OnMessage(code, 0, 0)) << code;
        }
    }
    EXPECT_EQ(platform::GetWindowText(serviceLabel_), u"Not running");

    // The label is gone: nothing written, still handled.
    platform::DestroyWindow(serviceLabel_);
    for (const auto& c : cases) {
        EXPECT_TRUE(listener.OnMessage(c.code, 0, 0));
    }
}

TEST_F(StateListenersTest, HidesOnFirstConnectionAndShowsOnLoss) {
    CommunicationWithSyncServiceStateListener listener(communicationLabel_, main_);
    EXPECT_FALSE(listener.OnMessage(sm::WM_SYNC_SERVICE_RUNNING, 0, 0));
    EXPECT_EQ(platform::GetWindowText(communicationLabel_), u"Unknown");

    // Never hidden by the listener: a loss changes only the label.
    EXPECT_TRUE(listener.OnMessage(sm::WM_SYNC_DISCONNECTED, 0, 0));
    EXPECT_EQ(platform::GetWindowText(communicationLabel_), u"Disconnected");
    EXPECT_TRUE(platform::IsWindowVisible(main_));

    EXPECT_TRUE(listener.OnMessage(sm::WM_SYNC_CONNECTED, 0, 0));
    EXPECT_EQ(platform::GetWindowText(communicationLabel_), u"Connected");
    EXPECT_FALSE(platform::IsWindowVisible(main_));
    EXPECT_TRUE(listener.WindowHiddenByListener());

    // The user brings the window back; repeated confirmations leave it visible.
    platform::ShowWindow(main_, platform::ShowCommand::Show);
    platform::SetWindowTextNarrow(communicationLabel_, "x");
    EXPECT_TRUE(listener.OnMessage(sm::WM_SYNC_CONNECTION_CONFIRMED, 0, 0));
    EXPECT_TRUE(listener.OnMessage(sm::WM_SYNC_CONNECTED, 0, 0));
    EXPECT_EQ(platform::GetWindowText(communicationLabel_), u"Connected");
    EXPECT_TRUE(platform::IsWindowVisible(main_));

    // The loss shows it (it is visible already) and re-arms the hiding.
    platform::ShowWindow(main_, platform::ShowCommand::Hide);
    EXPECT_TRUE(listener.OnMessage(sm::WM_SYNC_DISCONNECTED, 0, 0));
    EXPECT_TRUE(platform::IsWindowVisible(main_));
    EXPECT_FALSE(listener.WindowHiddenByListener());
    EXPECT_TRUE(listener.OnMessage(sm::WM_SYNC_CONNECTION_CONFIRMED, 0, 0));
    EXPECT_FALSE(platform::IsWindowVisible(main_));
}

TEST_F(StateListenersTest, WindowsGoneStillFlipTheFlag) {
    CommunicationWithSyncServiceStateListener listener(0, 0);
    EXPECT_TRUE(listener.OnMessage(sm::WM_SYNC_CONNECTED, 0, 0));
    EXPECT_TRUE(listener.WindowHiddenByListener());
    EXPECT_TRUE(listener.OnMessage(sm::WM_SYNC_DISCONNECTED, 0, 0));
    EXPECT_FALSE(listener.WindowHiddenByListener());
}

}  // namespace
