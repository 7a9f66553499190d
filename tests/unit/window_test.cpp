// The window operations as the core relies on them; runs natively (window registry) and under
// Wine (real windows, list box and PostMessageW).

#include "platform/window.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Posted {
    std::uint32_t code;
    platform::WParam wParam;
    platform::LParam lParam;
};

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        main_ = platform::CreateTopLevelWindow(
            u"Sundra test", [this](std::uint32_t code, platform::WParam w, platform::LParam l) {
                received_.push_back(Posted{code, w, l});
                return true;
            });
        ASSERT_NE(main_, 0u);
        label_ = platform::CreateChildWindow(main_, platform::WindowKind::Label, u"Unknown");
        list_ = platform::CreateChildWindow(main_, platform::WindowKind::List, u"");
        ASSERT_NE(label_, 0u);
        ASSERT_NE(list_, 0u);
    }
    void TearDown() override {
        platform::SetWindowObserver(nullptr);
        platform::DestroyWindow(main_);
    }

    platform::WindowHandle main_ = 0;
    platform::WindowHandle label_ = 0;
    platform::WindowHandle list_ = 0;
    std::vector<Posted> received_;
};

TEST_F(WindowTest, TextsVisibilityAndDestruction) {
    EXPECT_EQ(platform::GetWindowText(label_), u"Unknown");
    EXPECT_TRUE(platform::SetWindowTextNarrow(label_, "Not running"));
    EXPECT_EQ(platform::GetWindowText(label_), u"Not running");
    EXPECT_TRUE(platform::SetWindowTextWide(label_, u"Connected"));
    EXPECT_EQ(platform::GetWindowText(label_), u"Connected");

    // Created hidden; a child is visible only with its parent.
    EXPECT_FALSE(platform::IsWindowVisible(main_));
    EXPECT_FALSE(platform::IsWindowVisible(label_));
    EXPECT_FALSE(platform::ShowWindow(main_, platform::ShowCommand::Show));
    EXPECT_TRUE(platform::IsWindowVisible(main_));
    EXPECT_TRUE(platform::IsWindowVisible(label_));
    EXPECT_TRUE(platform::ShowWindow(main_, platform::ShowCommand::Hide));
    EXPECT_FALSE(platform::IsWindowVisible(main_));
    platform::ShowWindow(main_, platform::ShowCommand::Restore);
    EXPECT_TRUE(platform::IsWindowVisible(main_));

    EXPECT_FALSE(platform::IsWindow(0));
    ASSERT_TRUE(platform::DestroyWindow(main_));
    EXPECT_FALSE(platform::IsWindow(main_));
    EXPECT_FALSE(platform::IsWindow(label_));
    EXPECT_FALSE(platform::IsWindow(list_));
    EXPECT_FALSE(platform::SetWindowTextNarrow(label_, "x"));
    EXPECT_EQ(platform::GetWindowText(label_), u"");
    EXPECT_FALSE(platform::PostMessage(main_, 1224, 0, 0));
    EXPECT_EQ(platform::ListAddString(list_, u"x"), platform::kListError);
    EXPECT_FALSE(platform::DestroyWindow(main_));
}

TEST_F(WindowTest, ListLines) {
    EXPECT_EQ(platform::ListGetCount(list_), 0);
    EXPECT_EQ(platform::ListGetCurSel(list_), -1);
    EXPECT_EQ(platform::ListAddString(list_, u"first"), 0);
    EXPECT_EQ(platform::ListAddString(list_, u"second"), 1);
    // Unsorted: a line that would sort first still goes to the end.
    EXPECT_EQ(platform::ListAddString(list_, u"a third"), 2);
    EXPECT_EQ(platform::ListGetText(list_, 2), u"a third");
    EXPECT_TRUE(platform::ListSetCurSel(list_, 2));
    EXPECT_EQ(platform::ListGetCurSel(list_), 2);
    EXPECT_EQ(platform::ListDeleteString(list_, 0), 2);
    EXPECT_EQ(platform::ListGetText(list_, 0), u"second");
    EXPECT_EQ(platform::ListGetCurSel(list_), 1);
    EXPECT_EQ(platform::ListDeleteString(list_, 7), platform::kListError);
    EXPECT_EQ(platform::ListGetText(list_, 7), u"");

    EXPECT_EQ(platform::ListGetHorizontalExtent(list_), 0u);
    platform::ListSetHorizontalExtent(list_, 321);
    EXPECT_EQ(platform::ListGetHorizontalExtent(list_), 321u);

    std::uint32_t shortWidth = 0;
    std::uint32_t longWidth = 0;
    ASSERT_TRUE(platform::ListMeasureText(list_, u"ab", shortWidth));
    ASSERT_TRUE(platform::ListMeasureText(list_, u"ab ab ab ab ab ab ab ab ab ab", longWidth));
    EXPECT_GT(shortWidth, 0u);
    EXPECT_GT(longWidth, shortWidth * 5);
}

TEST_F(WindowTest, PostedMessagesArriveInOrderOnThePumpingThread) {
    ASSERT_TRUE(platform::PostMessage(main_, 1224, 0, 0));
    std::thread poster([this] {
        for (int i = 0; i < 5; ++i) {
            platform::PostMessage(main_, 1230, static_cast<platform::WParam>(i), -i);
        }
    });
    poster.join();
    int handled = 0;
    for (int round = 0; round < 50 && handled < 6; ++round) {
        handled += platform::PumpMessages(main_, 100);
    }
    ASSERT_EQ(handled, 6);
    ASSERT_EQ(received_.size(), 6u);
    EXPECT_EQ(received_[0].code, 1224u);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(received_[static_cast<std::size_t>(i) + 1].code, 1230u);
        EXPECT_EQ(received_[static_cast<std::size_t>(i) + 1].wParam,
                  static_cast<platform::WParam>(i));
        EXPECT_EQ(received_[static_cast<std::size_t>(i) + 1].lParam, -i);
    }
    // Nothing queued: the pump returns after its time-out with nothing handled.
    EXPECT_EQ(platform::PumpMessages(main_, 10), 0);
}

TEST_F(WindowTest, ObserverSeesTextVisibilityAndListChanges) {
    std::vector<platform::WindowNotification> seen;
    platform::SetWindowObserver([&](const platform::WindowNotification& n) { seen.push_back(n); });
    platform::SetWindowTextNarrow(label_, "Running");
    platform::ShowWindow(main_, platform::ShowCommand::Show);
    platform::ShowWindow(main_, platform::ShowCommand::Show);  // no change, no notification
    platform::ListAddString(list_, u"line");
    platform::ListDeleteString(list_, 0);
    platform::SetWindowObserver(nullptr);
    platform::SetWindowTextNarrow(label_, "unseen");

    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].change, platform::WindowChange::Text);
    EXPECT_EQ(seen[0].window, label_);
    EXPECT_EQ(seen[0].text, u"Running");
    EXPECT_EQ(seen[1].change, platform::WindowChange::Visibility);
    EXPECT_TRUE(seen[1].visible);
    EXPECT_EQ(seen[2].change, platform::WindowChange::ListLineAdded);
    EXPECT_EQ(seen[2].text, u"line");
    EXPECT_EQ(seen[2].index, 0);
    EXPECT_EQ(seen[3].change, platform::WindowChange::ListLineDeleted);
    EXPECT_EQ(seen[3].index, 0);
}

}  // namespace
