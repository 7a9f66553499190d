// The log with the platform's clock and the system locale's formats. Apart from the rest of the
// log so that tests with their own clock do not need the platform's time functions.

#include "logging/synchronization_log.h"

namespace application::logging {

SynchronizationLog::SynchronizationLog(
    std::shared_ptr<synchronization::messaging::IMessageSender> sender,
    platform::WindowHandle logList)
    : SynchronizationLog(
          std::move(sender), logList,
          TimeSource{
              [] { return platform::GetLocalTime(); },
              [](const platform::LocalTime& time) { return platform::FormatShortDate(time); },
              [](const platform::LocalTime& time) { return platform::FormatTime24(time); }}) {}

}  // namespace application::logging
