#include "manager/synchronization_manager.h"

#include <atomic>

#include "manager/synchronization_events_listener.h"
#include "manager/xml_messages.h"
#include "messaging/message_codes.h"
#include "platform/event.h"
#include "platform/text.h"

namespace synchronization::manager {

namespace extcomm = voru::synchronization::extcomm;
namespace codes = synchronization::messaging;

// Everything the communication thread touches. It holds its own references, so a thread that
// is still stuck in the library when Unload gives up on it keeps them alive until it returns.
struct CommunicationContext {
    std::shared_ptr<synchronization::messaging::IMessageSender> sender;
    std::shared_ptr<synchronization::logging::ISynchronizationLogging> log;
    std::shared_ptr<SyncCommunicationLibrary> library;
    std::shared_ptr<RequestQueue> queue;
    platform::Event abortEvent;
    platform::Event newRequestEvent;
    std::uint32_t waitInterval = 1000;
    // Also set at Unload: a later manager resets the shared named abort event, and a thread
    // that was abandoned must not take that for permission to go on.
    std::atomic<bool> stopRequested{false};

    void Log(const char* line) {
        if (log) log->Log(std::string(line));
    }
    void Post(std::uint32_t code) {
        if (sender) sender->Post(code);
    }
};

namespace {

std::uint32_t RunCommunicationThread(const std::shared_ptr<CommunicationContext>& context) {
    CommunicationContext& c = *context;
    std::uint32_t result = 1;
    try {
        c.Log("Manager: Initializing connection to synchronization service...");
        std::shared_ptr<extcomm::ICommunication> communication;
        if (c.abortEvent.IsValid() && c.newRequestEvent.IsValid() && c.library) {
            communication = c.library->GetCommunication();
        }
        if (communication) {
            c.Log("Manager: Connection to synchronization service initialized");
            result = 0;
            const extcomm::SyncRequestKind check = extcomm::ConnectionCheck;
            const extcomm::SyncRequestKind unlockTask = extcomm::UnlockTask;
            const extcomm::SyncRequestKind lockTask = extcomm::LockTask;
            for (;;) {
                const int woken =
                    platform::WaitAny(c.abortEvent, c.newRequestEvent, c.waitInterval);
                if (woken == 0 || c.stopRequested.load()) break;
                if (c.abortEvent.Wait(0) == platform::WaitResult::Signaled) break;
                c.newRequestEvent.Reset();
                if (communication->SendRequest(check, u"") != 1) {
                    c.Post(codes::WM_SYNC_DISCONNECTED);
                    continue;
                }
                if (c.stopRequested.load()) break;
                c.Post(codes::WM_SYNC_CONNECTION_CONFIRMED);
                const std::u16string unlockText = c.queue->PopUnlockRequest();
                if (!unlockText.empty()) communication->SendRequest(unlockTask, unlockText.c_str());
                if (c.stopRequested.load()) break;
                const std::u16string lockText = c.queue->PopLockRequest();
                if (!lockText.empty()) communication->SendRequest(lockTask, lockText.c_str());
            }
        }
    } catch (...) {
        result = 1;
    }
    try {
        c.Log("Manager: Connection to synchronization service closed");
    } catch (...) {
    }
    return result;
}

}  // namespace

SynchronizationManager::SynchronizationManager() : SynchronizationManager(Options{}) {}

SynchronizationManager::SynchronizationManager(Options options)
    : abortEventName(u"Local\\AbortSynchronizationCommunicationThread"),
      stopTimeout(options.stopTimeout),
      threadPriority(platform::kThreadPriorityLowest),
      waitInterval(options.waitInterval),
      nextTaskId(options.firstTaskId),
      requestQueue(std::make_shared<RequestQueue>()),
      libraryFactory(std::move(options.libraryFactory)) {}

SynchronizationManager::~SynchronizationManager() { Unload(); }

void SynchronizationManager::Log(const std::u16string& line) {
    if (log) log->Log(line);
}

void SynchronizationManager::Log(const std::string& line) {
    if (log) log->Log(line);
}

std::uint32_t SynchronizationManager::Lock(const std::u16string& object, const std::u16string& uid,
                                           bool read) {
    try {
        Log(u"Manager: " + object + (read ? u" read" : u" write") + u" lock request (UID:" + uid +
            u")");
        if (!IsInitialized()) {
            Log(std::string("Manager: ERROR: Lock attempt failed - manager is not initialized"));
            return 0;
        }
        const std::uint32_t taskId = nextTaskId++;
        const std::u16string text = BuildLockRequest(object, uid, read, taskId);
        if (text.empty()) {
            Log(std::string("Manager: ERROR: Lock attempt failed - unable to create lock XML"));
            return 0;
        }
        requestQueue->PushLockRequest(text);
        Log("Manager: Lock task added to queue (ID:" + std::to_string(taskId) + ")");
        return taskId;
    } catch (...) {
        return 0;
    }
}

std::uint32_t SynchronizationManager::Unlock(const std::uint32_t& cookie) {
    try {
        Log("Manager: New unlock request (Cookie:" + std::to_string(cookie) + ")");
        if (!IsInitialized()) {
            Log(std::string("Manager: ERROR: Unlock attempt failed - manager is not initialized"));
            return 0;
        }
        const std::uint32_t taskId = nextTaskId++;
        const std::u16string text = BuildUnlockRequest(taskId, cookie);
        if (text.empty()) {
            Log(std::string("Manager: ERROR: Unlock attempt failed - unable to create unlock XML"));
            return 0;
        }
        requestQueue->PushUnlockRequest(text);
        Log("Manager: Unlock task added to queue (ID:" + std::to_string(taskId) + ")");
        return taskId;
    } catch (...) {
        return 0;
    }
}

void SynchronizationManager::PauseSynchronization(const std::string& dataType, bool pause) {
    try {
        if (!library) return;
        const auto communication = library->GetCommunication();
        if (!communication) return;
        const std::u16string text = BuildPauseRequest(dataType, pause);
        if (text.empty()) {
            Log(std::string(
                "Manager: ERROR: Pause attempt failed - unable to create pause request XML"));
            return;
        }
        const extcomm::SyncRequestKind kind = extcomm::PauseRequest;
        communication->SendRequest(kind, text.c_str());
    } catch (...) {
    }
}

bool SynchronizationManager::Initialize(
    const std::shared_ptr<synchronization::messaging::IMessageSender>& newSender,
    const std::shared_ptr<synchronization::logging::ISynchronizationLogging>& newLog) {
    try {
        if (newSender && newLog) {
            if (IsInitialized()) Unload();
            sender = newSender;
            log = newLog;
            Log(std::string("Manager: Initializing communication..."));
            auto listener = std::make_shared<SynchronizationEventsListener>(sender, log);
            library = libraryFactory ? libraryFactory(log)
                                     : std::make_shared<SyncCommunicationLibrary>(log);
            if (library && library->Connect(listener) && StartCommunicationThread()) {
                // From here on the library holds the only reference to the listener.
                listener.reset();
                Log(std::string("Manager: Communication initialized"));
                return true;
            }
        }
    } catch (...) {
    }
    try {
        Log(std::string("Manager: ERROR: Failed to initialize communication"));
    } catch (...) {
    }
    Unload();
    return false;
}

bool SynchronizationManager::StartCommunicationThread() {
    if (thread.IsValid()) return true;
    Log(std::string("Manager: Connecting to synchronization service..."));
    try {
        auto shared = std::make_shared<CommunicationContext>();
        shared->sender = sender;
        shared->log = log;
        shared->library = library;
        shared->queue = requestQueue;
        shared->waitInterval = waitInterval;
        // The events exist before the thread runs, so an Unload that comes while the thread is
        // still setting up is never missed.
        shared->abortEvent = platform::Event::CreateNamed(abortEventName);
        if (shared->abortEvent.IsValid()) shared->abortEvent.Reset();
        shared->newRequestEvent = platform::Event::CreateNamed(requestQueue->eventName);
        if (shared->newRequestEvent.IsValid()) shared->newRequestEvent.Reset();

        platform::Thread created =
            platform::Thread::StartSuspended([shared] { return RunCommunicationThread(shared); });
        if (!created.IsValid()) {
            Log(std::string("Manager: ERROR: Failed to connect to synchronization service!"));
            return false;
        }
        created.SetPriority(threadPriority);
        context = shared;
        thread = std::move(created);
        thread.Resume();
        return true;
    } catch (...) {
        Log(std::string("Manager: ERROR: Failed to connect to synchronization service!"));
        return false;
    }
}

void SynchronizationManager::StopCommunicationThread() {
    if (!thread.IsValid()) return;
    try {
        Log(std::string("Manager: Disconnecting from synchronization service..."));
        if (context) context->stopRequested.store(true);
        platform::Event abort = platform::Event::OpenNamed(abortEventName);
        if (abort.IsValid()) abort.Set();
        if (thread.Wait(stopTimeout) != platform::WaitResult::Signaled) {
            // Windows ends the thread; the console build abandons it, and the context keeps
            // what it still uses alive.
            thread.Terminate(1);
        }
    } catch (...) {
    }
    thread.Close();
    context.reset();
}

void SynchronizationManager::Unload() {
    try {
        Log(std::string("Manager: Unloading..."));
        StopCommunicationThread();
        library.reset();
        Log(std::string("Manager: Unloaded"));
        log.reset();
        sender.reset();
    } catch (...) {
    }
}

bool SynchronizationManager::IsInitialized() { return library != nullptr && thread.IsValid(); }

}  // namespace synchronization::manager
