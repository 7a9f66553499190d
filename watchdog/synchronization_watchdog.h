#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "logging/i_synchronization_logging.h"
#include "messaging/i_message_sender.h"
#include "platform/thread.h"

namespace synchronization::watchdog {

// Keeps the synchronization service's program running while the program runs and stops it at the
// end; reports after every process scan whether a chart-modifying application runs.
class SynchronizationWatchdog {
  public:
    static constexpr std::uint32_t kDefaultPollIntervalMs = 5000;

    // Starts polling at once. pollIntervalMs shortens the wait between scans for tests.
    SynchronizationWatchdog(std::shared_ptr<logging::ISynchronizationLogging> log,
                            std::shared_ptr<messaging::IMessageSender> messageSender,
                            std::uint32_t pollIntervalMs = kDefaultPollIntervalMs);
    virtual ~SynchronizationWatchdog();
    SynchronizationWatchdog(const SynchronizationWatchdog&) = delete;
    SynchronizationWatchdog& operator=(const SynchronizationWatchdog&) = delete;

    virtual bool Start();
    virtual void Stop();
    virtual bool IsRunning();
    virtual bool StopSynchronizationService();

    // The file name of an image path: the text after the last "\" or "/" (after a leading drive
    // letter and colon), empty when its stem or its extension is 256 units or longer.
    static std::u16string FileNameOfPath(const std::u16string& path);

    // What the thread shares with its owner. The thread holds it too, so a thread that had to be
    // abandoned never touches a freed watchdog.
    struct Context;

  private:
    std::shared_ptr<Context> context_;
    std::u16string abortEventName_;
    std::uint32_t stopTimeout_;
    int threadPriority_;
    platform::Thread thread_;
};

}  // namespace synchronization::watchdog
