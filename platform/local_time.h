#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The fields of a Win32 SYSTEMTIME.
struct LocalTime {
    std::uint16_t year = 0;
    std::uint16_t month = 0;
    std::uint16_t dayOfWeek = 0;
    std::uint16_t day = 0;
    std::uint16_t hour = 0;
    std::uint16_t minute = 0;
    std::uint16_t second = 0;
    std::uint16_t milliseconds = 0;
};

LocalTime GetLocalTime();

// The system locale's short date (GetDateFormatW, LOCALE_SYSTEM_DEFAULT, DATE_SHORTDATE) and
// its time with a 24-hour clock and seconds (GetTimeFormatW, TIME_FORCE24HOURFORMAT). The console
// build has no locale settings for this and writes "DD.MM.YYYY" and "HH:MM:SS". Empty on failure.
std::u16string FormatShortDate(const LocalTime& time);
std::u16string FormatTime24(const LocalTime& time);

}  // namespace platform
