#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "logging/i_synchronization_logging.h"
#include "messaging/i_message_sender.h"
#include "platform/local_time.h"
#include "platform/types.h"

namespace application::logging {

// Takes log lines from any thread, stamps each with the local time at which it was queued, and
// shows it on the user-interface thread as a line of the main window's log list (at most 50).
class SynchronizationLog : public synchronization::logging::ISynchronizationLogging {
  public:
    // Where the time stamps and their texts come from: the platform's local time and the system
    // locale's short date and 24-hour time, or a test's clock.
    struct TimeSource {
        std::function<platform::LocalTime()> now;
        std::function<std::u16string(const platform::LocalTime&)> formatDate;
        std::function<std::u16string(const platform::LocalTime&)> formatTime;
    };

    // The pending lines. Push and Pop may be called from any thread.
    class MessageQueue {
      public:
        explicit MessageQueue(std::function<platform::LocalTime()> now);
        virtual ~MessageQueue();
        MessageQueue(const MessageQueue&) = delete;
        MessageQueue& operator=(const MessageQueue&) = delete;

        // The time is read under the lock, so queue order and time stamps agree.
        void Push(const std::u16string& text);
        // The oldest entry's text and time; empty text and a zero time when there is none.
        std::u16string Pop(platform::LocalTime& time);

      private:
        struct Entry {
            std::u16string text;
            platform::LocalTime time;
        };
        std::mutex lock_;
        std::deque<Entry> entries_;
        std::function<platform::LocalTime()> now_;
    };

    static constexpr int kMaximumLines = 50;
    // Pixels added to a line's width for the list's scrollable width.
    static constexpr std::uint32_t kExtentMargin = 10;

    SynchronizationLog(std::shared_ptr<synchronization::messaging::IMessageSender> sender,
                       platform::WindowHandle logList);
    SynchronizationLog(std::shared_ptr<synchronization::messaging::IMessageSender> sender,
                       platform::WindowHandle logList, TimeSource timeSource);
    ~SynchronizationLog() override;
    SynchronizationLog(const SynchronizationLog&) = delete;
    SynchronizationLog& operator=(const SynchronizationLog&) = delete;

    bool OnMessage(std::uint32_t code, platform::WParam wParam, platform::LParam lParam) override;
    bool Log(const std::u16string& text) override;
    bool Log(const std::string& text) override;

  private:
    void WidenScrollableWidth(const std::u16string& line);

    const std::uint32_t messageCode_;
    std::shared_ptr<synchronization::messaging::IMessageSender> sender_;
    platform::WindowHandle logList_;
    std::shared_ptr<MessageQueue> queue_;
    TimeSource timeSource_;
};

}  // namespace application::logging
