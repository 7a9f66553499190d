#include "data_objects/voru_databases_object.h"

#include <cstring>
#include <utility>

#include "manager/lock_query.h"
#include "messaging/message_codes.h"
#include "platform/text.h"

namespace application::data_objects {

namespace msg = synchronization::messaging;
using platform::ToU16Decimal;
using platform::WidenAscii;

namespace {

class PlatformMapAppChannel : public IMapAppChannel {
  public:
    platform::CopyDataSendResult Send(platform::WindowHandle mapApp,
                                      platform::WindowHandle mainWindow,
                                      const platform::CopyDataRecord& record,
                                      std::uint32_t timeoutMs) override {
        return platform::SendCopyData(mapApp, mainWindow, record, timeoutMs);
    }
};

std::u16string Line(const char* text) { return WidenAscii(text); }

}  // namespace

std::shared_ptr<IMapAppChannel> MakePlatformMapAppChannel() {
    return std::make_shared<PlatformMapAppChannel>();
}

VoruDatabasesObject::VoruDatabasesObject(
    std::shared_ptr<synchronization::manager::ISynchronizationManager> manager,
    std::shared_ptr<synchronization::logging::ISynchronizationLogging> log,
    std::shared_ptr<synchronization::messaging::IMessageSender> messageSender,
    platform::WindowHandle mainWindow, std::shared_ptr<IMapAppChannel> channel)
    : objectName_(u"Duzaduza Databases"),
      objectUid_(u"Databases"),
      log_(std::move(log)),
      manager_(std::move(manager)),
      messageSender_(std::move(messageSender)),
      mainWindow_(mainWindow),
      channel_(channel ? std::move(channel) : MakePlatformMapAppChannel()) {}

VoruDatabasesObject::~VoruDatabasesObject() {
    readLockTask_ = readUnlockTask_ = readLockCookie_ = 0;
    writeLockTask_ = writeUnlockTask_ = writeLockCookie_ = 0;
    serviceWriteLockGranted_ = false;
    log_.reset();
    manager_.reset();
    messageSender_.reset();
}

void VoruDatabasesObject::Log(const std::u16string& line) {
    if (!log_) return;
    try {
        log_->Log(line);
    } catch (...) {
        // A log that fails must not change a lock decision.
    }
}

bool VoruDatabasesObject::HasWriteActivity() const {
    return writeLockTask_ != 0 || writeLockCookie_ != 0 || writeUnlockTask_ != 0;
}

bool VoruDatabasesObject::RequestLock(bool read) {
    if (!manager_) return false;
    if (read) {
        if (readLockTask_ != 0 || readLockCookie_ != 0 || readUnlockTask_ != 0) return false;
        Log(Line("Databases: Read lock request initiated"));
    } else {
        if (HasWriteActivity() || serviceWriteLockGranted_) return false;
        Log(Line("Databases: Write lock request initiated"));
    }
    std::uint32_t task = 0;
    try {
        task = manager_->Lock(objectName_, objectUid_, read);
    } catch (...) {
        return false;
    }
    if (task == 0) return false;
    (read ? readLockTask_ : writeLockTask_) = task;
    return true;
}

bool VoruDatabasesObject::RequestUnlock(std::uint32_t cookie) {
    if (!manager_ || cookie == 0) return false;
    const bool read = cookie == readLockCookie_;
    if (read) {
        Log(Line("Databases: Read unlock request initiated (Cookie:") + ToU16Decimal(cookie) +
            Line(")"));
    } else if (cookie == writeLockCookie_) {
        Log(Line("Databases: Write unlock request initiated (Cookie:") + ToU16Decimal(cookie) +
            Line(")"));
    } else {
        return false;
    }
    std::uint32_t task = 0;
    try {
        task = manager_->Unlock(cookie);
    } catch (...) {
        return false;
    }
    if (task == 0) return false;
    (read ? readUnlockTask_ : writeUnlockTask_) = task;
    return true;
}

bool VoruDatabasesObject::ReleaseWriteLock() { return RequestUnlock(writeLockCookie_); }

void VoruDatabasesObject::FillProgramState() {
    statusBlock_[MapAppStatus::kReadLockHeld] = readLockCookie_ != 0 ? 1 : 0;
    statusBlock_[MapAppStatus::kWriteLockHeld] = writeLockCookie_ != 0 ? 1 : 0;
    statusBlock_[MapAppStatus::kServiceWriteLockGranted] = serviceWriteLockGranted_ ? 1 : 0;
    statusBlock_[MapAppStatus::kProtectionRequested] = protectionRequested_ ? 1 : 0;
    statusBlock_[MapAppStatus::kChartModifierRunning] = chartModifierRunning_ ? 1 : 0;
}

bool VoruDatabasesObject::SendStatus() {
    if (mapAppWindow_ == 0 || !connected_) return false;
    statusBlock_[MapAppStatus::kMapAppRegistered] = 1;
    FillProgramState();

    // The map application may send a block back while it handles this one; that block updates
    // statusBlock_ inside the send, so the send works on a copy.
    MapAppStatus buffer = statusBlock_;
    platform::CopyDataRecord record;
    record.dwData = kMapAppStatusIdentifier;
    record.cbData = MapAppStatus::kSize;
    record.lpData = buffer.bytes;
    const auto result = channel_->Send(mapAppWindow_, mainWindow_, record, sendTimeoutMs_);
    if (result == platform::CopyDataSendResult::TimedOut) {
        Log(Line("Databases: Map app did not take the status in time"));
    }
    return result == platform::CopyDataSendResult::Delivered;
}

bool VoruDatabasesObject::OnMessage(std::uint32_t code, platform::WParam wParam,
                                    platform::LParam lParam) {
    try {
        switch (code) {
            case msg::WM_SYNC_CONNECTED:
                OnConnected();
                return false;
            case msg::WM_SYNC_CONNECTION_CONFIRMED:
                connected_ = true;
                return false;
            case msg::WM_SYNC_DISCONNECTED:
                connected_ = false;
                return false;
            case msg::WM_SYNC_LOCK_GRANTED:
                return OnLockGranted(static_cast<std::uint32_t>(wParam),
                                     static_cast<std::uint32_t>(lParam));
            case msg::WM_SYNC_LOCK_STATE:
                return OnLockState(static_cast<std::uint32_t>(wParam), lParam);
            case msg::WM_SYNC_WRITE_LOCK_REQUEST:
            case msg::WM_SYNC_WRITE_LOCK_RELEASED:
            case msg::WM_SYNC_WRITE_LOCK_READINESS:
                return OnQuestion(code, wParam);
            case msg::WM_SYNC_CHART_MODIFIER_DETECTED:
                OnChartModifierDetected();
                return false;
            case msg::WM_SYNC_CHART_MODIFIERS_CLOSED:
                OnChartModifiersClosed();
                return false;
            default:
                return false;
        }
    } catch (...) {
        return false;
    }
}

bool VoruDatabasesObject::OnConnected() {
    connected_ = true;
    readLockTask_ = readUnlockTask_ = readLockCookie_ = 0;
    writeLockTask_ = writeUnlockTask_ = writeLockCookie_ = 0;
    serviceWriteLockGranted_ = false;
    return RequestLock(true);
}

bool VoruDatabasesObject::OnLockGranted(std::uint32_t taskId, std::uint32_t cookie) {
    if (taskId == 0 || cookie == 0) return false;
    const char* prefix = nullptr;
    if (taskId == readLockTask_) {
        readLockCookie_ = cookie;
        readLockTask_ = 0;
        prefix = "Databases: Read lock acquired (ID:";
    } else if (taskId == writeLockTask_) {
        writeLockCookie_ = cookie;
        writeLockTask_ = 0;
        prefix = "Databases: Write lock acquired (ID:";
    } else {
        return false;
    }
    Log(Line(prefix) + ToU16Decimal(taskId) + Line(", Cookie:") + ToU16Decimal(cookie) + Line(")"));
    SendStatus();
    return true;
}

bool VoruDatabasesObject::OnLockState(std::uint32_t taskId, std::intptr_t state) {
    if (taskId == 0) return false;
    const std::u16string id = ToU16Decimal(taskId);
    if (taskId == readLockTask_ || taskId == writeLockTask_) {
        const bool read = taskId == readLockTask_;
        if (state == 1) {
            Log(Line(read ? "Databases: Consistency error. Read lock task (ID:"
                          : "Databases: Consistency error. Write lock task (ID:") +
                id + Line(") reports lock without supplying lock cookie!"));
        }
        if (read) {
            readLockCookie_ = readLockTask_ = 0;
        } else {
            writeLockCookie_ = writeLockTask_ = 0;
        }
        Log(Line(read ? "Databases: Read lock task (ID:" : "Databases: Write lock task (ID:") + id +
            Line(") failed"));
        SendStatus();
        return true;
    }
    if (taskId == readUnlockTask_) {
        if (state == 1) {
            Log(Line("Databases: Read unlock task (ID:") + id + Line(") failed"));
        } else {
            readLockCookie_ = 0;
            Log(Line("Databases: Read unlock task (ID:") + id + Line(") completed"));
        }
        readUnlockTask_ = 0;
        SendStatus();
        return true;
    }
    if (taskId == writeUnlockTask_) {
        if (state == 1) {
            Log(Line("Databases: Write unlock task (ID:") + id + Line(") failed"));
        } else {
            writeLockCookie_ = 0;
            Log(Line("Databases: Write unlock task (ID:") + id + Line(") completed"));
        }
        writeUnlockTask_ = 0;
        if (!serviceWriteLockGranted_ && (chartModifierRunning_ || protectionRequested_)) {
            RequestLock(false);
        } else {
            SendStatus();
        }
        return true;
    }
    return false;
}

bool VoruDatabasesObject::OnQuestion(std::uint32_t code, platform::WParam wParam) {
    auto* query = reinterpret_cast<synchronization::manager::LockQuery*>(wParam);
    if (query == nullptr || query->object != objectName_ || query->uid != objectUid_) return false;

    if (code == msg::WM_SYNC_WRITE_LOCK_READINESS) {
        query->answer = !HasWriteActivity();
        if (!query->answer) return true;
        if (serviceWriteLockGranted_ || mapAppWindow_ == 0) return true;
        if (statusBlock_[MapAppStatus::kConsent] == 0) {
            statusBlock_[MapAppStatus::kServiceWaitsForConsent] = 1;
        }
        SendStatus();
        // A block that the map application sent back during the send has already been taken.
        query->answer = statusBlock_[MapAppStatus::kConsent] != 0;
        return true;
    }
    if (code == msg::WM_SYNC_WRITE_LOCK_REQUEST) {
        query->answer = !HasWriteActivity();
        if (query->answer && mapAppWindow_ != 0) {
            query->answer = statusBlock_[MapAppStatus::kConsent] != 0;
        }
        if (query->answer) {
            serviceWriteLockGranted_ = true;
            statusBlock_[MapAppStatus::kServiceWaitsForConsent] = 0;
        }
        SendStatus();
        return true;
    }
    // WM_SYNC_WRITE_LOCK_RELEASED
    serviceWriteLockGranted_ = false;
    statusBlock_[MapAppStatus::kServiceWaitsForConsent] = 0;
    if (chartModifierRunning_ || protectionRequested_) RequestLock(false);
    SendStatus();
    return true;
}

void VoruDatabasesObject::OnChartModifierDetected() {
    if (!chartModifierRunning_) Log(Line("Watchdog: Chart modifying application detected"));
    chartModifierRunning_ = true;
    if (!serviceWriteLockGranted_ && !HasWriteActivity()) RequestLock(false);
}

void VoruDatabasesObject::OnChartModifiersClosed() {
    if (chartModifierRunning_) Log(Line("Watchdog: Chart modifying applications have been closed"));
    chartModifierRunning_ = false;
    if (HasWriteActivity() && !protectionRequested_) ReleaseWriteLock();
}

int VoruDatabasesObject::HandleCopyData(platform::WindowHandle sendingWindow,
                                        const platform::CopyDataRecord* record) {
    try {
        if (record == nullptr || sendingWindow == 0 || !connected_ ||
            record->dwData != kMapAppStatusIdentifier || record->cbData < MapAppStatus::kSize ||
            record->lpData == nullptr) {
            return 0;
        }
        MapAppStatus received;
        std::memcpy(received.bytes, record->lpData, MapAppStatus::kSize);

        if (received[MapAppStatus::kMapAppRunning] != 0) {
            if (mapAppWindow_ == 0) Log(Line("Databases: Map app detected and registered"));
            mapAppWindow_ = sendingWindow;
        } else {
            if (mapAppWindow_ != 0) Log(Line("Databases: Map app shutting down, unregistered"));
            mapAppWindow_ = 0;
            if (HasWriteActivity() && protectionRequested_) {
                protectionRequested_ = false;
                if (!chartModifierRunning_) ReleaseWriteLock();
            }
        }

        if (received[MapAppStatus::kProtectionRequest] != 0) {
            protectionRequested_ = true;
            if (!serviceWriteLockGranted_ && !HasWriteActivity()) RequestLock(false);
        } else {
            protectionRequested_ = false;
            if (!serviceWriteLockGranted_ && HasWriteActivity() && !chartModifierRunning_) {
                ReleaseWriteLock();
            }
        }

        for (std::size_t i = MapAppStatus::kProgramBytes; i < MapAppStatus::kSize; ++i) {
            statusBlock_[i] = received[i];
        }
        statusBlock_[MapAppStatus::kMapAppByte14Set] =
            received[MapAppStatus::kMapAppByte14] != 0 ? 1 : 0;
        statusBlock_[MapAppStatus::kMapAppRegistered] = mapAppWindow_ != 0 ? 1 : 0;
        FillProgramState();

        if (std::memcmp(statusBlock_.bytes, received.bytes, MapAppStatus::kProgramBytes) != 0) {
            SendStatus();
        }
        return 1;
    } catch (...) {
        return 0;
    }
}

}  // namespace application::data_objects
