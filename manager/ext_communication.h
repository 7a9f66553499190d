#pragma once

// The chart vendor's external communication library as the program uses it: the export
// "CreateCommunication", the communication object and the events callback. Texts are
// zero-terminated UTF-16 strings (wchar_t on Windows has the same size as char16_t).

#include <cstdint>
#include <memory>

namespace voru::synchronization::extcomm {

enum SyncRequestKind : std::int32_t {
    ConnectionCheck = 0,
    LockTask = 3,
    UnlockTask = 4,
    PauseRequest = 7,
};

enum SyncEventKind : std::int32_t {
    ServiceConnected = 0,
    ServiceDisconnected = 1,
    LockReadinessQuery = 2,
    LockRequest = 3,
    LockReleased = 4,
    LockGranted = 5,
    LockStatusChanged = 6,
    // 7 carries no meaning for the program.
    ServiceMessage = 8,
};

enum SyncEventResult : std::int32_t {
    NoAnswer = 0,
    Rejected = 1,
    Accepted = 2,
};

// The program's callback. The library may call it from any of its threads, also concurrently,
// but never from the program's user-interface thread.
class ISyncEvents {
public:
    virtual ~ISyncEvents() = default;
    // text may be null.
    virtual SyncEventResult OnSyncEvent(const SyncEventKind& kind, const char16_t* text) = 0;
};

// The communication object. text is never null.
class ICommunication {
public:
    virtual ~ICommunication() = default;
    virtual std::int32_t SendRequest(const SyncRequestKind& kind, const char16_t* text) = 0;
};

// Signature of the export: the listener is passed by value (the library keeps its copy as long
// as it calls back); on success it returns true with the communication object set.
using CreateCommunicationFunction = bool (*)(std::shared_ptr<ISyncEvents> listener,
                                             std::shared_ptr<ICommunication>& communication);
inline constexpr const char* kCreateCommunicationExport = "CreateCommunication";

}  // namespace voru::synchronization::extcomm
