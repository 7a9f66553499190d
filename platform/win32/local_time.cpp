#include "platform/local_time.h"

#include <windows.h>

#include <vector>

#include "platform/win32/wide.h"

namespace platform {

namespace {

SYSTEMTIME ToSystemTime(const LocalTime& time) {
    SYSTEMTIME st{};
    st.wYear = time.year;
    st.wMonth = time.month;
    st.wDayOfWeek = time.dayOfWeek;
    st.wDay = time.day;
    st.wHour = time.hour;
    st.wMinute = time.minute;
    st.wSecond = time.second;
    st.wMilliseconds = time.milliseconds;
    return st;
}

// Both formatting functions are called twice: once for the size (terminator included), then
// into a zero-filled buffer one unit larger than that.
template <typename Format>
std::u16string FormatTwice(Format format) {
    const int needed = format(nullptr, 0);
    if (needed <= 0) return std::u16string();
    std::vector<wchar_t> buffer(static_cast<std::size_t>(needed) + 1, L'\0');
    if (format(buffer.data(), needed) <= 0) return std::u16string();
    std::size_t length = 0;
    while (length < buffer.size() && buffer[length] != L'\0') ++length;
    return win32::FromWide(buffer.data(), length);
}

}  // namespace

LocalTime GetLocalTime() {
    SYSTEMTIME st{};
    ::GetLocalTime(&st);
    LocalTime time;
    time.year = st.wYear;
    time.month = st.wMonth;
    time.dayOfWeek = st.wDayOfWeek;
    time.day = st.wDay;
    time.hour = st.wHour;
    time.minute = st.wMinute;
    time.second = st.wSecond;
    time.milliseconds = st.wMilliseconds;
    return time;
}

std::u16string FormatShortDate(const LocalTime& time) {
    const SYSTEMTIME st = ToSystemTime(time);
    return FormatTwice([&](wchar_t* buffer, int size) {
        return ::GetDateFormatW(LOCALE_SYSTEM_DEFAULT, DATE_SHORTDATE, &st, nullptr, buffer, size);
    });
}

std::u16string FormatTime24(const LocalTime& time) {
    const SYSTEMTIME st = ToSystemTime(time);
    return FormatTwice([&](wchar_t* buffer, int size) {
        return ::GetTimeFormatW(LOCALE_SYSTEM_DEFAULT, TIME_FORCE24HOURFORMAT, &st, nullptr, buffer,
                                size);
    });
}

}  // namespace platform
