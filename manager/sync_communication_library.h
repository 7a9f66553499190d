#pragma once

#include <memory>

#include "logging/i_synchronization_logging.h"
#include "manager/ext_communication.h"
#include "platform/dynamic_library.h"

namespace synchronization::manager {

// Finds the chart vendor's external communication library through the registry value
// "ExtCommunication", loads it, and asks its export "CreateCommunication" for the communication
// object. The object is always released before the library is freed.
class SyncCommunicationLibrary {
  public:
    explicit SyncCommunicationLibrary(
        const std::shared_ptr<synchronization::logging::ISynchronizationLogging>& log);
    virtual ~SyncCommunicationLibrary();
    SyncCommunicationLibrary(const SyncCommunicationLibrary&) = delete;
    SyncCommunicationLibrary& operator=(const SyncCommunicationLibrary&) = delete;

    virtual bool Connect(
        const std::shared_ptr<voru::synchronization::extcomm::ISyncEvents>& listener);
    virtual bool Disconnect();
    virtual bool IsConnected();

    // A new reference to the communication object while connected, otherwise none.
    std::shared_ptr<voru::synchronization::extcomm::ICommunication> GetCommunication();

  protected:
    void Log(const char* line);

    std::shared_ptr<synchronization::logging::ISynchronizationLogging> log;
    platform::DynamicLibrary module;
    std::shared_ptr<voru::synchronization::extcomm::ICommunication> communication;
};

}  // namespace synchronization::manager
