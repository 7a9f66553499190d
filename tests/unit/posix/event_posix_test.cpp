#include <gtest/gtest.h>

#include "platform/event.h"

namespace {

// The console build's parameter names the event, not its memory: once the event is gone, a
// late SetFromParam finds nothing and touches nothing.
TEST(PlatformEventPosix, ParameterOfAClosedEventSetsNothing) {
    platform::Event event = platform::Event::CreateUnnamed();
    const platform::LParam param = event.ToParam();
    ASSERT_TRUE(platform::Event::SetFromParam(param));
    event.Close();
    EXPECT_FALSE(platform::Event::SetFromParam(param));
    platform::Event next = platform::Event::CreateUnnamed();
    EXPECT_NE(next.ToParam(), param) << "parameters are not reused";
}

}  // namespace
