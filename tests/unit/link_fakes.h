#pragma once

// Fakes shared by the tests of the service link (events listener, loader, manager).

#include <gmock/gmock.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "logging/i_synchronization_logging.h"
#include "manager/ext_communication.h"
#include "manager/lock_query.h"
#include "messaging/i_message_sender.h"
#include "messaging/message_codes.h"
#include "messaging/synchronous_exchange.h"
#include "platform/event.h"
#include "platform/text.h"

namespace link_test {

// Keeps every line, narrowed, in order; safe from any thread.
class RecordingLog : public synchronization::logging::ISynchronizationLogging {
  public:
    bool Log(const std::u16string& text) override { return Add(platform::Narrow(text)); }
    bool Log(const std::string& text) override { return Add(text); }
    bool OnMessage(std::uint32_t, platform::WParam, platform::LParam) override { return false; }

    std::vector<std::string> Lines() {
        std::lock_guard<std::mutex> guard(mutex_);
        return lines_;
    }
    void Clear() {
        std::lock_guard<std::mutex> guard(mutex_);
        lines_.clear();
    }
    // Waits (bounded) until a line equal to text has been written.
    bool WaitFor(const std::string& text,
                 std::chrono::milliseconds bound = std::chrono::seconds(10)) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, bound, [&] {
            for (const auto& line : lines_) {
                if (line == text) return true;
            }
            return false;
        });
    }

  private:
    bool Add(const std::string& line) {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            lines_.push_back(line);
        }
        changed_.notify_all();
        return true;
    }
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> lines_;
};

// Does what the main window's dispatch does for a synchronous code: claims the exchange, writes
// the answer into its record (none: left as it came) and releases the asker.
inline void AnswerAtOnce(std::uint32_t code, platform::WParam wParam, platform::LParam lParam,
                         std::optional<bool> answer) {
    auto* query = synchronization::messaging::ClaimExchange(code, wParam, lParam);
    if (!query) return;
    if (answer) query->answer = *answer;
    synchronization::messaging::CompleteExchange(lParam, true);
}

struct Posted {
    std::uint32_t code;
    platform::WParam wParam;
    platform::LParam lParam;
    bool operator==(const Posted&) const = default;
};

// Records posts. A synchronous code is answered at once, as the user-interface thread would:
// the answer is written into the LockQuery record and the event is set; the answer comes from
// `answer`, and `deliver` decides whether the post succeeds at all.
class RecordingSender : public synchronization::messaging::IMessageSender {
  public:
    bool Post(std::uint32_t code, platform::WParam wParam, platform::LParam lParam) override {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            posted_.push_back(
                {code, synchronization::messaging::IsSynchronousMessage(code) ? 0 : wParam,
                 synchronization::messaging::IsSynchronousMessage(code) ? 0 : lParam});
            if (synchronization::messaging::IsSynchronousMessage(code)) {
                auto* query = reinterpret_cast<synchronization::manager::LockQuery*>(wParam);
                asked_.push_back({code, platform::Narrow(query->object),
                                  platform::Narrow(query->uid), query->answer});
            }
        }
        changed_.notify_all();
        if (!deliver) return false;
        if (synchronization::messaging::IsSynchronousMessage(code)) {
            AnswerAtOnce(code, wParam, lParam, answer);
        }
        return true;
    }
    bool Post(std::uint32_t code) override { return Post(code, 0, 0); }

    struct Asked {
        std::uint32_t code;
        std::string object;
        std::string uid;
        bool initialAnswer;
    };

    std::vector<Posted> PostedMessages() {
        std::lock_guard<std::mutex> guard(mutex_);
        return posted_;
    }
    std::vector<Asked> AskedQuestions() {
        std::lock_guard<std::mutex> guard(mutex_);
        return asked_;
    }
    std::size_t Count(std::uint32_t code) {
        std::lock_guard<std::mutex> guard(mutex_);
        std::size_t n = 0;
        for (const auto& p : posted_) n += p.code == code ? 1 : 0;
        return n;
    }
    bool WaitForCount(std::uint32_t code, std::size_t count,
                      std::chrono::milliseconds bound = std::chrono::seconds(10)) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, bound, [&] {
            std::size_t n = 0;
            for (const auto& p : posted_) n += p.code == code ? 1 : 0;
            return n >= count;
        });
    }

    bool deliver = true;
    std::optional<bool> answer;  // none: the record is left as it came

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Posted> posted_;
    std::vector<Asked> asked_;
};

struct Sent {
    std::int32_t kind;
    std::string text;
    bool operator==(const Sent&) const = default;
};
inline void PrintTo(const Sent& sent, std::ostream* out) {
    *out << "{" << sent.kind << ", \"" << sent.text << "\"}";
}

// A communication object whose connection check answers checkResult; records every request.
// While `blocked` is set, every call waits until it is cleared.
class FakeCommunication : public voru::synchronization::extcomm::ICommunication {
  public:
    std::int32_t SendRequest(const voru::synchronization::extcomm::SyncRequestKind& kind,
                             const char16_t* text) override {
        std::unique_lock<std::mutex> lock(mutex_);
        sent_.push_back({kind, platform::Narrow(text)});
        changed_.notify_all();
        changed_.wait(lock, [&] { return !blocked_; });
        return kind == voru::synchronization::extcomm::ConnectionCheck ? checkResult_ : 0;
    }

    void SetCheckResult(std::int32_t result) {
        std::lock_guard<std::mutex> guard(mutex_);
        checkResult_ = result;
    }
    void SetBlocked(bool blocked) {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            blocked_ = blocked;
        }
        changed_.notify_all();
    }
    std::vector<Sent> SentRequests() {
        std::lock_guard<std::mutex> guard(mutex_);
        return sent_;
    }
    // Requests other than connection checks, in order.
    std::vector<Sent> Tasks() {
        std::lock_guard<std::mutex> guard(mutex_);
        std::vector<Sent> tasks;
        for (const auto& s : sent_) {
            if (s.kind != voru::synchronization::extcomm::ConnectionCheck) tasks.push_back(s);
        }
        return tasks;
    }
    bool WaitFor(const std::function<bool(const std::vector<Sent>&)>& done,
                 std::chrono::milliseconds bound = std::chrono::seconds(10)) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, bound, [&] { return done(sent_); });
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Sent> sent_;
    std::int32_t checkResult_ = 1;
    bool blocked_ = false;
};

// Whether a thread that Unload ended by force goes on running (the console build abandons it)
// or is gone (Windows terminates it).
bool ForcedEndLeavesThreadRunning();

}  // namespace link_test
