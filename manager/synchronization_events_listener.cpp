#include "manager/synchronization_events_listener.h"

#include "manager/xml_messages.h"
#include "messaging/message_codes.h"
#include "messaging/synchronous_exchange.h"
#include "platform/text.h"

namespace synchronization::manager {

namespace extcomm = voru::synchronization::extcomm;
namespace codes = synchronization::messaging;

namespace {

const std::u16string kPrefix = u"Synchronization service: ";

std::u16string Decimal(std::uint32_t value) { return platform::ToU16Decimal(value); }

}  // namespace

SynchronizationEventsListener::SynchronizationEventsListener(
    const std::shared_ptr<synchronization::messaging::IMessageSender>& sender,
    const std::shared_ptr<synchronization::logging::ISynchronizationLogging>& log)
    : sender(sender), log(log) {}

SynchronizationEventsListener::~SynchronizationEventsListener() {
    sender.reset();
    log.reset();
}

void SynchronizationEventsListener::Log(const std::u16string& line) {
    if (log) log->Log(line);
}

extcomm::SyncEventResult SynchronizationEventsListener::OnSyncEvent(
    const extcomm::SyncEventKind& kind, const char16_t* text) {
    const std::int32_t value = kind;
    const bool question = value == extcomm::LockReadinessQuery || value == extcomm::LockRequest ||
                          value == extcomm::LockReleased;
    try {
        switch (value) {
            case extcomm::ServiceConnected:
                if (sender) sender->Post(codes::WM_SYNC_CONNECTED);
                return extcomm::NoAnswer;
            case extcomm::ServiceDisconnected:
                if (sender) sender->Post(codes::WM_SYNC_DISCONNECTED);
                return extcomm::NoAnswer;
            case extcomm::LockReadinessQuery: {
                if (!text) return extcomm::Rejected;
                bool ready = false;
                return Readiness(text, ready) && ready ? extcomm::Accepted : extcomm::Rejected;
            }
            case extcomm::LockRequest: {
                if (!text) return extcomm::Rejected;
                bool granted = false;
                return LockRequest(text, granted) && granted ? extcomm::Accepted
                                                             : extcomm::Rejected;
            }
            case extcomm::LockReleased:
                if (!text) return extcomm::Rejected;
                return Release(text) ? extcomm::Accepted : extcomm::Rejected;
            case extcomm::LockGranted:
                return LockGranted(text);
            case extcomm::LockStatusChanged:
                return LockStatusChanged(text);
            case extcomm::ServiceMessage:
                Log(text ? kPrefix + std::u16string(text) : kPrefix);
                return extcomm::NoAnswer;
            default:
                return extcomm::NoAnswer;
        }
    } catch (...) {
        return question ? extcomm::Rejected : extcomm::NoAnswer;
    }
}

bool SynchronizationEventsListener::Readiness(const std::u16string& text, bool& ready) {
    ready = false;
    std::u16string object;
    std::u16string uid;
    bool isWrite = false;
    if (!ParseLockDescription(text, object, uid, isWrite)) return false;
    Log(kPrefix + u"Checking if ready for " + object + (isWrite ? u" write" : u" read") +
        u" lock request (UID:" + uid + u")");
    if (!isWrite) {
        ready = true;
        Log(kPrefix + u"Application is ready for " + object + u" read lock (UID:" + uid + u")");
        return true;
    }
    if (!sender) return false;
    LockQuery query{object, uid, true};
    if (!AskUserInterface(codes::WM_SYNC_WRITE_LOCK_READINESS, query)) {
        // Nobody answered (no window any more, or shut-down): the service hears "not ready".
        return false;
    }
    ready = query.answer;
    Log(kPrefix + u"Application is " + (ready ? u" ready" : u" NOT ready") + u" for " + object +
        u" write lock" + u" (UID:" + uid + u")");
    return true;
}

bool SynchronizationEventsListener::LockRequest(const std::u16string& text, bool& granted) {
    granted = false;
    std::u16string object;
    std::u16string uid;
    bool isWrite = false;
    if (!ParseLockDescription(text, object, uid, isWrite)) return false;
    Log(kPrefix + object + (isWrite ? u" write" : u" read") + u" lock request (UID:" + uid + u")");
    if (!isWrite) {
        granted = true;
        Log(kPrefix + object + u" read lock granted (UID:" + uid + u")");
        return true;
    }
    if (!sender) return false;
    LockQuery query{object, uid, true};
    if (!AskUserInterface(codes::WM_SYNC_WRITE_LOCK_REQUEST, query)) {
        return false;  // denied: nobody could decide
    }
    granted = query.answer;
    Log(kPrefix + object + u" write lock" + (granted ? u" granted" : u" denied") + u" (UID:" + uid +
        u")");
    return true;
}

bool SynchronizationEventsListener::Release(const std::u16string& text) {
    std::u16string object;
    std::u16string uid;
    bool isWrite = false;
    if (!ParseLockDescription(text, object, uid, isWrite)) return false;
    Log(kPrefix + object + (isWrite ? u" write" : u" read") + u"lock released (UID:" + uid + u")");
    if (!isWrite || !sender) return true;
    LockQuery query{object, uid, true};
    // The release has happened whether or not the user-interface thread heard of it.
    if (AskUserInterface(codes::WM_SYNC_WRITE_LOCK_RELEASED, query)) {
        Log(kPrefix + object + u" write" + u"lock release (UID:" + uid + u") signaled");
    }
    return true;
}

extcomm::SyncEventResult SynchronizationEventsListener::LockGranted(const char16_t* text) {
    if (!sender || !text) return extcomm::Accepted;
    std::uint32_t taskId = 0;
    std::int32_t cookie = 0;
    if (!ParseLockLink(text, taskId, cookie)) return extcomm::NoAnswer;
    Log(kPrefix + u"Lock granted (ID:" + Decimal(taskId) + u", Cookie:" +
        Decimal(static_cast<std::uint32_t>(cookie)) + u")");
    sender->Post(codes::WM_SYNC_LOCK_GRANTED, static_cast<platform::WParam>(taskId),
                 static_cast<platform::LParam>(cookie));
    return extcomm::Accepted;
}

extcomm::SyncEventResult SynchronizationEventsListener::LockStatusChanged(const char16_t* text) {
    if (!sender || !text) return extcomm::Accepted;
    std::uint32_t taskId = 0;
    bool locked = false;
    bool failed = true;
    if (!ParseLockStatus(text, taskId, locked, failed)) return extcomm::NoAnswer;
    Log(kPrefix + u"Lock (ID:" + Decimal(taskId) + u") " +
        (failed   ? u"has failed"
         : locked ? u"is now locked"
                  : u"is now unlocked"));
    const platform::LParam state = failed ? 0 : locked ? 1 : 2;
    sender->Post(codes::WM_SYNC_LOCK_STATE, static_cast<platform::WParam>(taskId), state);
    return extcomm::Accepted;
}

bool SynchronizationEventsListener::AskUserInterface(std::uint32_t code, LockQuery& query) {
    // Never left waiting: a failed post, a vanished window and shut-down all end the wait.
    return synchronization::messaging::AskSynchronously(*sender, code, query);
}

}  // namespace synchronization::manager
