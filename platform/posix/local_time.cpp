#include "platform/local_time.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "platform/text.h"

namespace platform {

LocalTime GetLocalTime() {
    const auto now = std::chrono::system_clock::now();
    const auto sinceEpoch = now.time_since_epoch();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm parts{};
    LocalTime time;
    if (!::localtime_r(&seconds, &parts)) return time;
    time.year = static_cast<std::uint16_t>(parts.tm_year + 1900);
    time.month = static_cast<std::uint16_t>(parts.tm_mon + 1);
    time.dayOfWeek = static_cast<std::uint16_t>(parts.tm_wday);
    time.day = static_cast<std::uint16_t>(parts.tm_mday);
    time.hour = static_cast<std::uint16_t>(parts.tm_hour);
    time.minute = static_cast<std::uint16_t>(parts.tm_min);
    time.second = static_cast<std::uint16_t>(parts.tm_sec);
    time.milliseconds = static_cast<std::uint16_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count() % 1000);
    return time;
}

// The console has no locale settings for dates: one fixed day-first form. Times the Windows
// formatting functions would refuse give an empty text here too.
std::u16string FormatShortDate(const LocalTime& time) {
    if (time.month < 1 || time.month > 12 || time.day < 1 || time.day > 31 || time.year < 1601 ||
        time.year > 30827) {
        return std::u16string();
    }
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02u.%02u.%04u", static_cast<unsigned>(time.day),
                  static_cast<unsigned>(time.month), static_cast<unsigned>(time.year));
    return WidenAscii(buffer);
}

std::u16string FormatTime24(const LocalTime& time) {
    if (time.hour > 23 || time.minute > 59 || time.second > 59) return std::u16string();
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02u:%02u:%02u", static_cast<unsigned>(time.hour),
                  static_cast<unsigned>(time.minute), static_cast<unsigned>(time.second));
    return WidenAscii(buffer);
}

}  // namespace platform
