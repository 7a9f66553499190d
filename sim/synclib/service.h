#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "manager/ext_communication.h"
#include "sim/synclib/scenario.h"

namespace sundra::synclib {

namespace extcomm = voru::synchronization::extcomm;

struct ServiceConfig {
    std::string scenarioText;
    std::string scenarioSource;  // for the journal: the file name or "default"
    std::string journalPath;     // empty: no journal
    std::uint32_t stopBoundMs = 5000;
};

// The simulated synchronization service. Its threads keep it alive through shared references,
// so a thread that had to be left behind at shut-down never touches freed memory.
class Service : public std::enable_shared_from_this<Service> {
  public:
    Service(std::shared_ptr<extcomm::ISyncEvents> listener, ServiceConfig config);
    ~Service();

    void Start();
    // Ends the scenario and the answering thread. Waits at most stopBoundMs for them (a callback
    // of the program may block); threads still running then are left behind, and the library
    // stays loaded for them. Returns true when every thread was joined.
    bool Stop();

    std::int32_t OnRequest(std::int32_t kind, const char16_t* text);

  private:
    struct Request {
        std::int32_t kind = 0;
        std::uint32_t uid = 0;
    };
    // What one scenario thread remembers between its steps.
    struct Context {
        std::size_t cursor = 0;     // requests before this index were awaited already
        std::uint32_t lastUid = 0;  // task ID of the last awaited request
        bool haveUid = false;
        int lastAnswer = -1;  // answer to the last lock question
    };
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    void StartWorker(void (Service::*body)());
    void RunScenario();
    void RunResponder();
    void Execute(const std::vector<Step>& steps, Context& context);
    void ExecuteStep(const Step& step, Context& context);
    void RunParallel(const Step& step, const Context& context);
    int Raise(std::int32_t kind, const std::optional<std::u16string>& text);
    bool SleepFor(long long ms);
    bool Await(const std::string& kind, long long timeoutMs, Context& context);
    std::uint32_t NextLockUid() { return ++questionUid_; }
    void Journal(const std::string& record);

    std::shared_ptr<extcomm::ISyncEvents> listener_;
    ServiceConfig config_;
    Scenario scenario_;

    std::mutex journalMutex_;
    std::FILE* journal_ = nullptr;

    std::mutex mutex_;  // guards everything below up to workers_
    std::condition_variable changed_;
    bool stopping_ = false;
    std::int32_t checkResult_ = 0;
    bool autoAnswer_ = false;
    std::vector<Request> requests_;
    std::deque<Request> toAnswer_;
    std::vector<std::pair<std::string, long long>> blocks_;  // kind word, ms
    std::int32_t nextCookie_ = 1000;
    std::vector<Worker> workers_;

    std::atomic<std::uint32_t> questionUid_{0};
    int runningWorkers_ = 0;  // guarded by mutex_
    std::atomic<bool> stopRequested_{false};
};

}  // namespace sundra::synclib
