#include "watchdog/synchronization_watchdog.h"

#include <utility>
#include <vector>

#include "manager/read_registry_string.h"
#include "messaging/message_codes.h"
#include "platform/event.h"
#include "platform/process.h"

namespace synchronization::watchdog {

namespace msg = synchronization::messaging;

struct SynchronizationWatchdog::Context {
    std::uint32_t pollInterval = kDefaultPollIntervalMs;
    std::u16string startArguments = u" -noservice";
    std::u16string stopArguments = u" -stop";
    std::u16string serviceFileName;
    std::shared_ptr<logging::ISynchronizationLogging> log;
    std::shared_ptr<messaging::IMessageSender> messageSender;
    // Created by Start before the thread exists, so that a Stop that comes before the thread has
    // set itself up still finds the event and ends it.
    platform::Event abortEvent;
};

namespace {

using Context = SynchronizationWatchdog::Context;

// A started program gets this long to become ready for input. Console programs never do (and
// Wine answers at once); the bound keeps a program that never gets there from holding the thread.
constexpr std::uint32_t kInputIdleWaitMs = 3000;

const char16_t* const kChartModifiers[] = {u"ChartManager.exe", u"Setup.exe", u"S63Loader.exe"};

void Log(const Context& context, const char* line) {
    if (!context.log) return;
    try {
        context.log->Log(std::string(line));
    } catch (...) {
    }
}

void Post(const Context& context, std::uint32_t code) {
    if (!context.messageSender) return;
    try {
        context.messageSender->Post(code);
    } catch (...) {
    }
}

// "App" and "Path" count as absent when they are missing, not text, or empty.
bool ReadSetting(const char16_t* name, std::u16string& value) {
    return manager::ReadRegistryString(name, value) && !value.empty();
}

std::u16string ServiceFileNameFromRegistry() {
    std::u16string app;
    if (!ReadSetting(u"App", app)) return std::u16string();
    return SynchronizationWatchdog::FileNameOfPath(app);
}

// True when the synchronization service runs; posts 1237 or 1238 once the processes were seen.
bool ScanProcesses(const Context& context) {
    std::vector<std::uint32_t> ids;
    if (!platform::ListProcessIds(ids, 1024)) return false;
    const std::u16string serviceFileName =
        context.serviceFileName.empty() ? ServiceFileNameFromRegistry() : context.serviceFileName;
    if (serviceFileName.empty()) return false;

    bool serviceFound = false;
    bool chartModifierFound = false;
    std::u16string path;
    for (const std::uint32_t id : ids) {
        if (id == 0) continue;
        if (!platform::GetProcessImagePath(id, path) || path.empty()) continue;
        const std::u16string fileName = SynchronizationWatchdog::FileNameOfPath(path);
        if (fileName == serviceFileName) {
            serviceFound = true;
        } else {
            for (const char16_t* name : kChartModifiers) {
                if (fileName == name) {
                    chartModifierFound = true;
                    break;
                }
            }
        }
        if (serviceFound && chartModifierFound) break;
    }
    Post(context, chartModifierFound ? msg::WM_SYNC_CHART_MODIFIER_DETECTED
                                     : msg::WM_SYNC_CHART_MODIFIERS_CLOSED);
    return serviceFound;
}

bool RunServiceProgram(const std::u16string& arguments) {
    if (arguments.empty()) return false;
    std::u16string app;
    if (!ReadSetting(u"App", app)) return false;
    const std::u16string commandLine = u"\"" + app + u"\"" + arguments;
    std::u16string directory;
    if (!ReadSetting(u"Path", directory)) return false;
    return platform::StartProgram(app, commandLine, directory, kInputIdleWaitMs);
}

bool StartService(const Context& context) {
    if (ScanProcesses(context)) return true;
    if (!RunServiceProgram(context.startArguments)) return false;
    Post(context, msg::WM_SYNC_SERVICE_STARTED);
    return true;
}

std::uint32_t RunThread(const std::shared_ptr<Context>& context) {
    std::uint32_t exitCode = 1;
    try {
        Log(*context, "Watchdog: Initializing synchronisation service watchdog...");
        if (context->abortEvent.IsValid()) {
            Log(*context, "Watchdog: Synchronization service watchdog is active");
            for (bool first = true;; first = false) {
                if (!first && context->abortEvent.Wait(context->pollInterval) ==
                                  platform::WaitResult::Signaled) {
                    break;
                }
                if (ScanProcesses(*context)) {
                    Post(*context, msg::WM_SYNC_SERVICE_RUNNING);
                    continue;
                }
                Post(*context, msg::WM_SYNC_SERVICE_NOT_RUNNING);
                Log(*context, "Watchdog: Starting synchronization service...");
                Log(*context, StartService(*context)
                                  ? "Watchdog: Synchronization service has been started"
                                  : "Watchdog: Failed to start synchronization service");
            }
            exitCode = 0;
        }
    } catch (...) {
        exitCode = 1;
    }
    Log(*context, "Watchdog: Synchronisation service watchdog has been stopped");
    return exitCode;
}

}  // namespace

SynchronizationWatchdog::SynchronizationWatchdog(
    std::shared_ptr<logging::ISynchronizationLogging> log,
    std::shared_ptr<messaging::IMessageSender> messageSender, std::uint32_t pollIntervalMs)
    : context_(std::make_shared<Context>()),
      abortEventName_(u"Local\\AbortSynchronizationWatchdogThread"),
      stopTimeout_(30000),
      threadPriority_(platform::kThreadPriorityIdle) {
    context_->pollInterval = pollIntervalMs;
    context_->log = std::move(log);
    context_->messageSender = std::move(messageSender);
    try {
        context_->serviceFileName = ServiceFileNameFromRegistry();
    } catch (...) {
    }
    Start();
}

SynchronizationWatchdog::~SynchronizationWatchdog() {
    Stop();
    StopSynchronizationService();
    context_->messageSender.reset();
    context_->log.reset();
}

bool SynchronizationWatchdog::IsRunning() { return thread_.IsValid(); }

bool SynchronizationWatchdog::Start() {
    if (IsRunning()) return true;
    Log(*context_, "Watchdog: Starting synchronisation service watchdog...");
    try {
        // A fresh context per thread: a thread that was abandoned keeps the one it had.
        auto context = std::make_shared<Context>();
        context->pollInterval = context_->pollInterval;
        context->serviceFileName = context_->serviceFileName;
        context->log = context_->log;
        context->messageSender = context_->messageSender;
        context->abortEvent = platform::Event::CreateNamed(abortEventName_);
        // The named event may survive from an earlier thread in its signalled state.
        if (context->abortEvent.IsValid()) context->abortEvent.Reset();
        context_ = context;
        thread_ = platform::Thread::StartSuspended([context] { return RunThread(context); });
        if (!thread_.IsValid()) {
            Log(*context_, "Watchdog: Failed to start synchronisation service watchdog!");
            return false;
        }
        thread_.SetPriority(threadPriority_);
        thread_.Resume();
        return true;
    } catch (...) {
        Log(*context_, "Watchdog: Failed to start synchronisation service watchdog!");
        return false;
    }
}

void SynchronizationWatchdog::Stop() {
    if (!IsRunning()) return;
    try {
        Log(*context_, "Watchdog: Stopping synchronisation service watchdog...");
        platform::Event abort = platform::Event::OpenNamed(abortEventName_);
        if (abort.IsValid()) {
            abort.Set();
            abort.Close();
        }
        if (thread_.Wait(stopTimeout_) != platform::WaitResult::Signaled) thread_.Terminate(1);
        thread_.Close();
    } catch (...) {
    }
}

bool SynchronizationWatchdog::StopSynchronizationService() {
    try {
        if (!ScanProcesses(*context_)) return true;
        Log(*context_, "Watchdog: Stopping the synchronization service...");
        if (!ScanProcesses(*context_)) return true;
        if (!RunServiceProgram(context_->stopArguments)) return false;
        Post(*context_, msg::WM_SYNC_SERVICE_STOPPED);
        return true;
    } catch (...) {
        return false;
    }
}

std::u16string SynchronizationWatchdog::FileNameOfPath(const std::u16string& path) {
    std::size_t start = 0;
    if (path.size() >= 2 && path[1] == u':' &&
        ((path[0] >= u'A' && path[0] <= u'Z') || (path[0] >= u'a' && path[0] <= u'z'))) {
        start = 2;
    }
    const std::size_t separator = path.find_last_of(u"\\/");
    if (separator != std::u16string::npos && separator + 1 > start) start = separator + 1;
    std::u16string name = path.substr(start);
    const std::size_t dot = name.rfind(u'.');
    const std::size_t stem = dot == std::u16string::npos ? name.size() : dot;
    const std::size_t extension = name.size() - stem;
    if (stem >= 256 || extension >= 256) return std::u16string();
    return name;
}

}  // namespace synchronization::watchdog
