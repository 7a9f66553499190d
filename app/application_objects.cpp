#include "app/application_objects.h"

#include "logging/synchronization_log.h"
#include "messaging/communication_with_sync_service_state_listener.h"
#include "messaging/message_sender.h"
#include "messaging/synchronization_service_state_listener.h"
#include "watchdog/synchronization_watchdog.h"

namespace application {

SenderPointer DefaultApplicationObjects::CreateMessageSender(platform::WindowHandle mainWindow) {
    return std::make_shared<messaging::MessageSender>(mainWindow);
}

LogPointer DefaultApplicationObjects::CreateLog(const SenderPointer& sender,
                                                platform::WindowHandle logList) {
    return std::make_shared<logging::SynchronizationLog>(sender, logList);
}

ListenerPointer DefaultApplicationObjects::CreateServiceStateListener(
    platform::WindowHandle label) {
    return std::make_shared<event_listeners::SynchronizationServiceStateListener>(label);
}

ListenerPointer DefaultApplicationObjects::CreateCommunicationStateListener(
    platform::WindowHandle label, platform::WindowHandle mainWindow) {
    return std::make_shared<event_listeners::CommunicationWithSyncServiceStateListener>(label,
                                                                                        mainWindow);
}

ManagerPointer DefaultApplicationObjects::CreateManager() {
    return std::make_shared<synchronization::manager::SynchronizationManager>();
}

DatabasesPointer DefaultApplicationObjects::CreateDatabases(const ManagerPointer& manager,
                                                            const LogPointer& log,
                                                            const SenderPointer& sender,
                                                            platform::WindowHandle mainWindow) {
    return std::make_shared<data_objects::VoruDatabasesObject>(manager, log, sender, mainWindow);
}

WatchdogPointer DefaultApplicationObjects::CreateWatchdog(const LogPointer& log,
                                                          const SenderPointer& sender) {
    return std::make_shared<synchronization::watchdog::SynchronizationWatchdog>(log, sender);
}

}  // namespace application
