#include <gtest/gtest.h>

#include "platform/local_time.h"

namespace {

bool OnlyDigitsAndSeparators(const std::u16string& text) {
    for (char16_t unit : text) {
        const bool digit = unit >= u'0' && unit <= u'9';
        const bool separator = unit == u'.' || unit == u'/' || unit == u'-' || unit == u':' ||
                               unit == u' ' || unit == u'\u200F' || unit == u'\u200E';
        if (!digit && !separator) return false;
    }
    return true;
}

TEST(PlatformLocalTime, NowHasPlausibleFields) {
    const platform::LocalTime now = platform::GetLocalTime();
    EXPECT_GE(now.year, 2020);
    EXPECT_GE(now.month, 1);
    EXPECT_LE(now.month, 12);
    EXPECT_GE(now.day, 1);
    EXPECT_LE(now.day, 31);
    EXPECT_LE(now.dayOfWeek, 6);
    EXPECT_LE(now.hour, 23);
    EXPECT_LE(now.minute, 59);
    EXPECT_LE(now.second, 59);
    EXPECT_LE(now.milliseconds, 999);
    EXPECT_FALSE(platform::FormatShortDate(now).empty());
    EXPECT_FALSE(platform::FormatTime24(now).empty());
}

TEST(PlatformLocalTime, ShortDateAndTwentyFourHourTimeHaveTheirShape) {
    platform::LocalTime t;
    t.year = 2026;
    t.month = 3;
    t.day = 5;
    t.dayOfWeek = 4;
    t.hour = 17;
    t.minute = 8;
    t.second = 9;
    const std::u16string date = platform::FormatShortDate(t);
    const std::u16string time = platform::FormatTime24(t);
    EXPECT_TRUE(OnlyDigitsAndSeparators(date));
    EXPECT_NE(date.find(u"26"), std::u16string::npos);
    // Windows keeps the locale's AM/PM marker even with a forced 24-hour clock; only the
    // numbers are looked at here.
    EXPECT_NE(time.find(u"17"), std::u16string::npos) << "a 24-hour clock";
    EXPECT_NE(time.find(u"08"), std::u16string::npos);
    EXPECT_NE(time.find(u"09"), std::u16string::npos) << "seconds included";
}

TEST(PlatformLocalTime, ImpossibleTimesGiveEmptyTexts) {
    platform::LocalTime t;
    t.year = 2026;
    t.month = 13;
    t.day = 1;
    EXPECT_EQ(platform::FormatShortDate(t), u"");
    t.month = 1;
    t.hour = 24;
    EXPECT_EQ(platform::FormatTime24(t), u"");
}

}  // namespace
