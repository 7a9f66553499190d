#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "logging/i_synchronization_logging.h"
#include "manager/ext_communication.h"
#include "manager/lock_query.h"
#include "messaging/i_message_sender.h"

namespace synchronization::manager {

// The program's answer to the external communication library's events. It decides nothing
// about the databases: it logs each event, posts it to the user-interface thread, and for the
// write-lock questions waits there for the answer. Called on the library's threads, also
// concurrently; it keeps no state besides its two members.
class SynchronizationEventsListener : public voru::synchronization::extcomm::ISyncEvents {
  public:
    SynchronizationEventsListener(
        const std::shared_ptr<synchronization::messaging::IMessageSender>& sender,
        const std::shared_ptr<synchronization::logging::ISynchronizationLogging>& log);
    ~SynchronizationEventsListener() override;

    voru::synchronization::extcomm::SyncEventResult OnSyncEvent(
        const voru::synchronization::extcomm::SyncEventKind& kind, const char16_t* text) override;

  private:
    bool Readiness(const std::u16string& text, bool& ready);
    bool LockRequest(const std::u16string& text, bool& granted);
    bool Release(const std::u16string& text);
    voru::synchronization::extcomm::SyncEventResult LockGranted(const char16_t* text);
    voru::synchronization::extcomm::SyncEventResult LockStatusChanged(const char16_t* text);
    // True when the user-interface thread answered.
    bool AskUserInterface(std::uint32_t code, LockQuery& query);
    void Log(const std::u16string& line);

    std::shared_ptr<synchronization::messaging::IMessageSender> sender;
    std::shared_ptr<synchronization::logging::ISynchronizationLogging> log;
};

}  // namespace synchronization::manager
