#pragma once

// Creation of the program's long-lived objects. The main window's presenter asks for them one at a
// time in the order of the wiring, so a test can hand it stand-ins and watch that order; the
// program uses DefaultApplicationObjects, which creates the real components.

#include <memory>

#include "data_objects/voru_databases_object.h"
#include "logging/i_synchronization_logging.h"
#include "manager/synchronization_manager.h"
#include "messaging/i_message_listener.h"
#include "messaging/i_message_sender.h"
#include "platform/types.h"

namespace application {

using SenderPointer = std::shared_ptr<synchronization::messaging::IMessageSender>;
using LogPointer = std::shared_ptr<synchronization::logging::ISynchronizationLogging>;
using ListenerPointer = std::shared_ptr<synchronization::messaging::IMessageListener>;
using ManagerPointer = std::shared_ptr<synchronization::manager::SynchronizationManager>;
using DatabasesPointer = std::shared_ptr<data_objects::VoruDatabasesObject>;
// The presenter only keeps the watchdog alive and lets it go; it never calls it.
using WatchdogPointer = std::shared_ptr<void>;

// Every operation may return an empty pointer (the object could not be created) or throw; the
// wiring stops there either way.
class IApplicationObjects {
  public:
    virtual ~IApplicationObjects() = default;
    virtual SenderPointer CreateMessageSender(platform::WindowHandle mainWindow) = 0;
    // The log is also a listener of the bus (it writes its queued lines on the user-interface
    // thread).
    virtual LogPointer CreateLog(const SenderPointer& sender, platform::WindowHandle logList) = 0;
    virtual ListenerPointer CreateServiceStateListener(platform::WindowHandle label) = 0;
    virtual ListenerPointer CreateCommunicationStateListener(platform::WindowHandle label,
                                                             platform::WindowHandle mainWindow) = 0;
    virtual ManagerPointer CreateManager() = 0;
    virtual DatabasesPointer CreateDatabases(const ManagerPointer& manager, const LogPointer& log,
                                             const SenderPointer& sender,
                                             platform::WindowHandle mainWindow) = 0;
    // Its thread starts as it is created.
    virtual WatchdogPointer CreateWatchdog(const LogPointer& log, const SenderPointer& sender) = 0;
};

// The real components: MessageSender, SynchronizationLog, the two status listeners,
// SynchronizationManager, VoruDatabasesObject and SynchronizationWatchdog.
class DefaultApplicationObjects : public IApplicationObjects {
  public:
    SenderPointer CreateMessageSender(platform::WindowHandle mainWindow) override;
    LogPointer CreateLog(const SenderPointer& sender, platform::WindowHandle logList) override;
    ListenerPointer CreateServiceStateListener(platform::WindowHandle label) override;
    ListenerPointer CreateCommunicationStateListener(platform::WindowHandle label,
                                                     platform::WindowHandle mainWindow) override;
    ManagerPointer CreateManager() override;
    DatabasesPointer CreateDatabases(const ManagerPointer& manager, const LogPointer& log,
                                     const SenderPointer& sender,
                                     platform::WindowHandle mainWindow) override;
    WatchdogPointer CreateWatchdog(const LogPointer& log, const SenderPointer& sender) override;
};

}  // namespace application
