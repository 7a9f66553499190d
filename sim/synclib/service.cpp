#include "sim/synclib/service.h"

#include <chrono>
#include <cstdlib>

#include "sim/synclib/escape.h"
#include "sim/synclib/pin.h"

namespace sundra::synclib {

namespace {

using Clock = std::chrono::steady_clock;

const Clock::time_point kLoadTime = Clock::now();

std::string RequestName(std::int32_t kind) {
    switch (kind) {
        case 0:
            return "ConnectionCheck";
        case 3:
            return "LockTask";
        case 4:
            return "UnlockTask";
        case 7:
            return "PauseRequest";
        default:
            return "Request";
    }
}

std::string EventName(std::int32_t kind) {
    switch (kind) {
        case 0:
            return "ServiceConnected";
        case 1:
            return "ServiceDisconnected";
        case 2:
            return "LockReadinessQuery";
        case 3:
            return "LockRequest";
        case 4:
            return "LockReleased";
        case 5:
            return "LockGranted";
        case 6:
            return "LockStatusChanged";
        case 8:
            return "ServiceMessage";
        default:
            return "Unknown";
    }
}

// "check", "lock", "unlock", "pause", "any" (lock, unlock or pause) or a kind number.
bool KindMatches(const std::string& word, std::int32_t kind) {
    if (word == "check") return kind == 0;
    if (word == "lock") return kind == 3;
    if (word == "unlock") return kind == 4;
    if (word == "pause") return kind == 7;
    if (word == "any") return kind == 3 || kind == 4 || kind == 7;
    return std::strtoll(word.c_str(), nullptr, 10) == kind;
}

// The task ID in the uid attribute of a request; 0 when there is none.
std::uint32_t FindUid(const std::u16string& text) {
    const std::u16string marker = u"uid=\"";
    const std::size_t at = text.find(marker);
    if (at == std::u16string::npos) return 0;
    std::uint32_t value = 0;
    for (std::size_t i = at + marker.size(); i < text.size(); ++i) {
        if (text[i] < u'0' || text[i] > u'9') break;
        value = value * 10u + static_cast<std::uint32_t>(text[i] - u'0');
    }
    return value;
}

std::u16string Number(long long value) { return AsciiToU16(std::to_string(value)); }

std::u16string LockDescription(std::uint32_t uid, const std::u16string& objectLink, bool write) {
    return u"<?xml version=\"1.0\"?>\n<LockDescription uid=\"" + Number(uid) +
           u"\">\n<ObjectLink>" + EscapeXml(objectLink) + u"</ObjectLink>\n<Type>" +
           (write ? u"write" : u"read") + u"</Type>\n</LockDescription>\n";
}

std::u16string LockLink(std::uint32_t uid, long long cookie) {
    return u"<?xml version=\"1.0\"?>\n<LockLink uid=\"" + Number(uid) + u"\">\n<Cookie>" +
           Number(cookie) + u"</Cookie>\n</LockLink>\n";
}

std::u16string LockStatus(std::uint32_t uid, const std::u16string& word) {
    return u"<?xml version=\"1.0\"?>\n<LockStatus uid=\"" + Number(uid) + u"\">\n<Status>" +
           EscapeXml(word) + u"</Status>\n</LockStatus>\n";
}

}  // namespace

Service::Service(std::shared_ptr<extcomm::ISyncEvents> listener, ServiceConfig config)
    : listener_(std::move(listener)), config_(std::move(config)) {
    if (!config_.journalPath.empty()) {
        journal_ = std::fopen(config_.journalPath.c_str(), "ab");
    }
    scenario_ = ParseScenario(config_.scenarioText);
    Journal("open scenario=" + config_.scenarioSource);
}

Service::~Service() {
    if (journal_) std::fclose(journal_);
}

void Service::Journal(const std::string& record) {
    const long long ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - kLoadTime).count();
    std::lock_guard<std::mutex> guard(journalMutex_);
    if (!journal_) return;
    std::fprintf(journal_, "%lld %s\n", ms, record.c_str());
    // Tests read the journal while the service still runs.
    std::fflush(journal_);
}

void Service::Start() {
    std::lock_guard<std::mutex> guard(mutex_);
    StartWorker(&Service::RunResponder);
    StartWorker(&Service::RunScenario);
}

void Service::StartWorker(void (Service::*body)()) {
    auto self = shared_from_this();
    auto done = std::make_shared<std::atomic<bool>>(false);
    ++runningWorkers_;
    try {
        std::thread thread([self, body, done] {
            try {
                ((*self).*body)();
            } catch (...) {
                self->Journal("error: exception in a service thread");
            }
            done->store(true);
            {
                std::lock_guard<std::mutex> guard(self->mutex_);
                --self->runningWorkers_;
            }
            self->changed_.notify_all();
        });
        workers_.push_back(Worker{std::move(thread), done});
    } catch (...) {
        --runningWorkers_;
        throw;
    }
}

bool Service::Stop() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (stopping_) return true;
    stopping_ = true;
    stopRequested_.store(true);
    changed_.notify_all();
    changed_.wait_for(lock, std::chrono::milliseconds(config_.stopBoundMs),
                      [&] { return runningWorkers_ == 0; });
    std::vector<Worker> workers = std::move(workers_);
    workers_.clear();
    lock.unlock();

    int leftBehind = 0;
    for (auto& worker : workers) {
        if (worker.done->load()) {
            worker.thread.join();
        } else {
            worker.thread.detach();
            ++leftBehind;
        }
    }
    if (leftBehind > 0) {
        // A callback of the program did not return within the bound. The threads keep this
        // service alive through their references; the library must stay loaded for their code.
        PinLibrary();
        Journal("close threads-left-behind=" + std::to_string(leftBehind));
        return false;
    }
    Journal("close");
    // Every thread has ended: the program's listener is no longer needed.
    listener_.reset();
    return true;
}

std::int32_t Service::OnRequest(std::int32_t kind, const char16_t* text) {
    const std::u16string copy = text ? std::u16string(text) : std::u16string();
    const std::uint32_t uid = FindUid(copy);
    std::int32_t result = 0;
    long long blockMs = 0;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (kind == 0) result = checkResult_;
        requests_.push_back(Request{kind, uid});
        if (autoAnswer_ && (kind == 3 || kind == 4)) toAnswer_.push_back(Request{kind, uid});
        for (const auto& [word, ms] : blocks_) {
            if (KindMatches(word, kind) || word == "all") blockMs = ms;
        }
        // Written before an await can see the request, so that the journal keeps the order in
        // which the scenario saw things.
        Journal("request " + RequestName(kind) + "(" + std::to_string(kind) +
                ") result=" + std::to_string(result) +
                (text ? " text=" + EscapeForJournal(copy) : std::string(" null")));
    }
    changed_.notify_all();
    if (blockMs > 0) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, std::chrono::milliseconds(blockMs), [&] { return stopping_; });
    }
    return result;
}

int Service::Raise(std::int32_t kind, const std::optional<std::u16string>& text) {
    const auto start = Clock::now();
    int answer = -1;
    std::string failure;
    try {
        const extcomm::SyncEventKind eventKind = static_cast<extcomm::SyncEventKind>(kind);
        answer = listener_->OnSyncEvent(eventKind, text ? text->c_str() : nullptr);
    } catch (...) {
        failure = " exception";
    }
    const long long us =
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
    Journal("event " + EventName(kind) + "(" + std::to_string(kind) +
            ") answer=" + std::to_string(answer) + failure + " us=" + std::to_string(us) +
            (text ? " text=" + EscapeForJournal(*text) : std::string(" null")));
    return answer;
}

bool Service::SleepFor(long long ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    return !changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stopping_; });
}

bool Service::Await(const std::string& kind, long long timeoutMs, Context& context) {
    std::unique_lock<std::mutex> lock(mutex_);
    std::size_t found = 0;
    bool have = false;
    const auto ready = [&] {
        for (std::size_t i = context.cursor; i < requests_.size(); ++i) {
            if (KindMatches(kind, requests_[i].kind)) {
                found = i;
                have = true;
                return true;
            }
        }
        return stopping_;
    };
    if (timeoutMs < 0) {
        changed_.wait(lock, ready);
    } else {
        changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
    }
    if (!have) {
        const bool stopped = stopping_;
        lock.unlock();
        if (!stopped) Journal("await " + kind + " timed-out");
        return false;
    }
    context.cursor = found + 1;
    context.lastUid = requests_[found].uid;
    context.haveUid = true;
    return true;
}

void Service::RunScenario() {
    if (!scenario_.error.empty()) {
        Journal("scenario error: " + scenario_.error);
        return;
    }
    Context context;
    Execute(scenario_.steps, context);
    if (!stopRequested_.load()) Journal("scenario finished");
}

void Service::Execute(const std::vector<Step>& steps, Context& context) {
    for (const auto& step : steps) {
        if (stopRequested_.load()) return;
        ExecuteStep(step, context);
    }
}

void Service::ExecuteStep(const Step& step, Context& context) {
    const std::string& c = step.command;
    const auto& w = step.words;
    if (c == "repeat") {
        for (long long i = 0; (step.count < 0 || i < step.count) && !stopRequested_.load(); ++i) {
            Execute(step.body, context);
        }
    } else if (c == "connect" || c == "disconnect") {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            checkResult_ = c == "connect" ? 1 : 0;
        }
        Raise(c == "connect" ? 0 : 1, std::u16string());
    } else if (c == "checkresult") {
        std::lock_guard<std::mutex> guard(mutex_);
        checkResult_ = static_cast<std::int32_t>(std::strtoll(w[0].c_str(), nullptr, 10));
    } else if (c == "event" || c == "nullevent") {
        const auto kind = static_cast<std::int32_t>(step.count);
        std::optional<std::u16string> text;
        if (c == "event") text = UnescapeScenarioText(step.rest);
        const int answer = Raise(kind, text);
        if (kind >= 2 && kind <= 4) context.lastAnswer = answer;
    } else if (c == "readiness" || c == "request" || c == "release") {
        const std::int32_t kind = c == "readiness" ? 2 : c == "request" ? 3 : 4;
        const auto text =
            LockDescription(NextLockUid(), UnescapeScenarioText(step.rest), w[0] == "write");
        context.lastAnswer = Raise(kind, text);
    } else if (c == "message") {
        Raise(8, UnescapeScenarioText(step.rest));
    } else if (c == "mark") {
        Journal("mark " + step.rest);
    } else if (c == "grant" || c == "status") {
        if (!context.haveUid) {
            Journal("error line " + std::to_string(step.line) + ": " + c +
                    " without an awaited request");
            return;
        }
        if (c == "grant") {
            long long cookie = 0;
            if (w.empty()) {
                std::lock_guard<std::mutex> guard(mutex_);
                cookie = nextCookie_++;
            } else {
                cookie = std::strtoll(w[0].c_str(), nullptr, 10);
            }
            Raise(5, LockLink(context.lastUid, cookie));
        } else {
            Raise(6, LockStatus(context.lastUid, UnescapeScenarioText(w[0])));
        }
    } else if (c == "autoanswer") {
        std::lock_guard<std::mutex> guard(mutex_);
        autoAnswer_ = w[0] == "on";
    } else if (c == "wait") {
        SleepFor(std::strtoll(w[0].c_str(), nullptr, 10));
    } else if (c == "await") {
        Await(w[0], w.size() > 1 ? std::strtoll(w[1].c_str(), nullptr, 10) : -1, context);
    } else if (c == "block") {
        std::lock_guard<std::mutex> guard(mutex_);
        const long long ms = std::strtoll(w[1].c_str(), nullptr, 10);
        bool replaced = false;
        for (auto& entry : blocks_) {
            if (entry.first == w[0]) {
                entry.second = ms;
                replaced = true;
            }
        }
        if (!replaced) blocks_.emplace_back(w[0], ms);
    } else if (c == "parallel") {
        RunParallel(step, context);
    } else if (c == "ifanswer") {
        if (context.lastAnswer == step.count) ExecuteStep(*step.inner, context);
    }
}

void Service::RunParallel(const Step& step, const Context& context) {
    std::vector<std::thread> threads;
    try {
        for (long long i = 0; i < step.count; ++i) {
            threads.emplace_back([this, &step, context] {
                Context local = context;
                for (long long n = 0; n < step.times && !stopRequested_.load(); ++n) {
                    ExecuteStep(*step.inner, local);
                }
            });
        }
    } catch (...) {
        Journal("error line " + std::to_string(step.line) + ": cannot start all threads");
    }
    for (auto& thread : threads) thread.join();
}

void Service::RunResponder() {
    for (;;) {
        Request request;
        std::int32_t cookie = 0;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return stopping_ || !toAnswer_.empty(); });
            if (stopping_) return;
            request = toAnswer_.front();
            toAnswer_.pop_front();
            if (request.kind == 3) cookie = nextCookie_++;
        }
        if (request.kind == 3) {
            Raise(5, LockLink(request.uid, cookie));
            Raise(6, LockStatus(request.uid, u"locked"));
        } else {
            Raise(6, LockStatus(request.uid, u"unlocked"));
        }
    }
}

}  // namespace sundra::synclib
