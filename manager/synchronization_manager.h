#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "logging/i_synchronization_logging.h"
#include "manager/i_synchronization_manager.h"
#include "manager/request_queue.h"
#include "manager/sync_communication_library.h"
#include "messaging/i_message_sender.h"
#include "platform/thread.h"

namespace synchronization::manager {

struct CommunicationContext;

// Owns the program's connection to the synchronization service: loads the external
// communication library with the events listener as its callback, queues the program's lock and
// unlock requests and sends them from the communication thread, which also checks the
// connection on every pass. Called on the user-interface thread only.
class SynchronizationManager : public ISynchronizationManager {
  public:
    using LibraryFactory = std::function<std::shared_ptr<SyncCommunicationLibrary>(
        const std::shared_ptr<synchronization::logging::ISynchronizationLogging>&)>;

    // What tests may change; the program uses the defaults.
    struct Options {
        LibraryFactory libraryFactory;  // empty: the real loader
        std::uint32_t stopTimeout = 30000;
        std::uint32_t waitInterval = 1000;
        std::uint32_t firstTaskId = 1;
    };

    SynchronizationManager();
    explicit SynchronizationManager(Options options);
    ~SynchronizationManager() override;
    SynchronizationManager(const SynchronizationManager&) = delete;
    SynchronizationManager& operator=(const SynchronizationManager&) = delete;

    std::uint32_t Lock(const std::u16string& object, const std::u16string& uid, bool read) override;
    std::uint32_t Unlock(const std::uint32_t& cookie) override;
    virtual bool Initialize(
        const std::shared_ptr<synchronization::messaging::IMessageSender>& sender,
        const std::shared_ptr<synchronization::logging::ISynchronizationLogging>& log);
    virtual void Unload();
    virtual bool IsInitialized();

    // Sent at once on the calling thread, without the queue.
    void PauseSynchronization(const std::string& dataType, bool pause);

  private:
    bool StartCommunicationThread();
    void StopCommunicationThread();
    void Log(const std::u16string& line);
    void Log(const std::string& line);

    const std::u16string abortEventName;
    std::uint32_t stopTimeout;
    std::int32_t threadPriority;
    std::uint32_t waitInterval;
    std::shared_ptr<synchronization::messaging::IMessageSender> sender;
    std::shared_ptr<synchronization::logging::ISynchronizationLogging> log;
    std::shared_ptr<SyncCommunicationLibrary> library;
    platform::Thread thread;
    std::uint32_t nextTaskId;
    // Shared with the communication thread, so that a thread that had to be abandoned at
    // Unload never reaches freed memory.
    std::shared_ptr<RequestQueue> requestQueue;
    std::shared_ptr<CommunicationContext> context;
    LibraryFactory libraryFactory;
};

}  // namespace synchronization::manager
