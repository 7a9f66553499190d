#include <gtest/gtest.h>

#include "platform/local_time.h"

namespace {

// The console build has no locale settings for dates and writes one fixed form.
TEST(PlatformLocalTimePosix, FixedDayFirstDateAndTwentyFourHourTime) {
    platform::LocalTime t;
    t.year = 2026;
    t.month = 3;
    t.day = 5;
    t.hour = 7;
    t.minute = 8;
    t.second = 9;
    EXPECT_EQ(platform::FormatShortDate(t), u"05.03.2026");
    EXPECT_EQ(platform::FormatTime24(t), u"07:08:09");
    t.year = 1999;
    t.month = 12;
    t.day = 31;
    t.hour = 23;
    t.minute = 59;
    t.second = 59;
    EXPECT_EQ(platform::FormatShortDate(t), u"31.12.1999");
    EXPECT_EQ(platform::FormatTime24(t), u"23:59:59");
}

}  // namespace
