#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "data_objects/i_map_app_channel.h"
#include "data_objects/map_app_status.h"
#include "logging/i_synchronization_logging.h"
#include "manager/i_synchronization_manager.h"
#include "messaging/i_message_listener.h"
#include "messaging/i_message_sender.h"
#include "platform/copy_data.h"
#include "platform/types.h"

namespace application::data_objects {

// The databases lock coordinator. Lives on the user-interface thread: every call (the dispatch's
// OnMessage, the main window's HandleCopyData) comes from there, so it keeps its state without
// locks.
class VoruDatabasesObject : public synchronization::messaging::IMessageListener {
  public:
    // A map application that does not take its status within this time is given up on for that
    // send, so a hung peer cannot freeze the program.
    static constexpr std::uint32_t kDefaultSendTimeoutMs = 3000;

    VoruDatabasesObject(std::shared_ptr<synchronization::manager::ISynchronizationManager> manager,
                        std::shared_ptr<synchronization::logging::ISynchronizationLogging> log,
                        std::shared_ptr<synchronization::messaging::IMessageSender> messageSender,
                        platform::WindowHandle mainWindow,
                        std::shared_ptr<IMapAppChannel> channel = nullptr);
    ~VoruDatabasesObject() override;

    bool OnMessage(std::uint32_t code, platform::WParam wParam, platform::LParam lParam) override;

    // WM_COPYDATA from a map application: 1 accepted, 0 rejected (the message's result).
    int HandleCopyData(platform::WindowHandle sendingWindow,
                       const platform::CopyDataRecord* record);

    void SetSendTimeout(std::uint32_t timeoutMs) { sendTimeoutMs_ = timeoutMs; }

    // What a front end may show; the coordinator itself decides from the same fields.
    const MapAppStatus& Status() const { return statusBlock_; }
    platform::WindowHandle MapAppWindow() const { return mapAppWindow_; }

  private:
    bool HasWriteActivity() const;
    bool RequestLock(bool read);
    bool RequestUnlock(std::uint32_t cookie);
    bool ReleaseWriteLock();
    bool SendStatus();
    void FillProgramState();
    void Log(const std::u16string& line);

    bool OnConnected();
    bool OnLockGranted(std::uint32_t taskId, std::uint32_t cookie);
    bool OnLockState(std::uint32_t taskId, std::intptr_t state);
    bool OnQuestion(std::uint32_t code, platform::WParam wParam);
    void OnChartModifierDetected();
    void OnChartModifiersClosed();

    std::u16string objectName_;
    std::u16string objectUid_;
    std::shared_ptr<synchronization::logging::ISynchronizationLogging> log_;
    std::shared_ptr<synchronization::manager::ISynchronizationManager> manager_;
    std::shared_ptr<synchronization::messaging::IMessageSender> messageSender_;
    std::uint32_t readLockTask_ = 0;
    std::uint32_t readUnlockTask_ = 0;
    std::uint32_t readLockCookie_ = 0;
    std::uint32_t writeLockTask_ = 0;
    std::uint32_t writeUnlockTask_ = 0;
    std::uint32_t writeLockCookie_ = 0;
    bool chartModifierRunning_ = false;
    bool protectionRequested_ = false;
    bool connected_ = false;
    bool serviceWriteLockGranted_ = false;
    platform::WindowHandle mapAppWindow_ = 0;
    platform::WindowHandle mainWindow_ = 0;
    MapAppStatus statusBlock_;
    std::shared_ptr<IMapAppChannel> channel_;
    std::uint32_t sendTimeoutMs_ = kDefaultSendTimeoutMs;
};

}  // namespace application::data_objects
