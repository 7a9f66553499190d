#include "logging/synchronization_log.h"

#include "messaging/message_codes.h"
#include "platform/text.h"
#include "platform/window.h"

namespace application::logging {

SynchronizationLog::MessageQueue::MessageQueue(std::function<platform::LocalTime()> now)
    : now_(std::move(now)) {}

SynchronizationLog::MessageQueue::~MessageQueue() = default;

void SynchronizationLog::MessageQueue::Push(const std::u16string& text) {
    std::lock_guard<std::mutex> guard(lock_);
    entries_.push_back(Entry{text, now_ ? now_() : platform::LocalTime{}});
}

std::u16string SynchronizationLog::MessageQueue::Pop(platform::LocalTime& time) {
    time = platform::LocalTime{};
    std::lock_guard<std::mutex> guard(lock_);
    if (entries_.empty()) {
        return {};
    }
    Entry entry = std::move(entries_.front());
    entries_.pop_front();
    time = entry.time;
    return std::move(entry.text);
}

SynchronizationLog::SynchronizationLog(
    std::shared_ptr<synchronization::messaging::IMessageSender> sender,
    platform::WindowHandle logList, TimeSource timeSource)
    : messageCode_(synchronization::messaging::WM_SYNC_LOG_PENDING),
      sender_(std::move(sender)),
      logList_(logList),
      queue_(std::make_shared<MessageQueue>(timeSource.now)),
      timeSource_(std::move(timeSource)) {}

SynchronizationLog::~SynchronizationLog() {
    // Pending lines are lost with the queue.
    queue_.reset();
    logList_ = 0;
    sender_.reset();
}

bool SynchronizationLog::Log(const std::u16string& text) {
    try {
        if (!queue_ || !sender_) {
            return false;
        }
        queue_->Push(text);
        // Posted after the queue's lock is released: logging from inside a listener must not
        // wait for anything. A failed post leaves the line queued for a later announcement.
        return sender_->Post(messageCode_);
    } catch (...) {
        return false;
    }
}

bool SynchronizationLog::Log(const std::string& text) {
    try {
        return Log(platform::Widen(text));
    } catch (...) {
        return false;
    }
}

bool SynchronizationLog::OnMessage(std::uint32_t code, platform::WParam, platform::LParam) {
    if (code != messageCode_) {
        return false;
    }
    if (!platform::IsWindow(logList_) || !queue_) {
        return false;
    }
    try {
        platform::LocalTime time;
        const std::u16string text = queue_->Pop(time);
        if (text.empty()) {
            return true;
        }
        std::u16string line;
        if (timeSource_.formatDate) {
            line += timeSource_.formatDate(time);
        }
        line += u' ';
        if (timeSource_.formatTime) {
            line += timeSource_.formatTime(time);
        }
        line += u": ";
        line += text;

        const int index = platform::ListAddString(logList_, line);
        if (index != platform::kListError && index >= kMaximumLines) {
            platform::ListDeleteString(logList_, 0);
        }
        WidenScrollableWidth(line);
        const int count = platform::ListGetCount(logList_);
        if (count > 0) {
            platform::ListSetCurSel(logList_, count - 1);
        }
        return true;
    } catch (...) {
        return true;
    }
}

void SynchronizationLog::WidenScrollableWidth(const std::u16string& line) {
    if (!platform::IsWindow(logList_) || line.empty()) {
        return;
    }
    std::uint32_t width = 0;
    if (!platform::ListMeasureText(logList_, line, width)) {
        return;
    }
    // Only ever grows: the widest line may have left the top of the list, the width stays.
    const std::uint32_t wanted = width + kExtentMargin;
    if (platform::ListGetHorizontalExtent(logList_) < wanted) {
        platform::ListSetHorizontalExtent(logList_, wanted);
    }
}

}  // namespace application::logging
