#pragma once

#include <cstdint>

namespace synchronization::messaging {

// The program's private window messages: WM_USER (1024) + 200 .. + 214.
inline constexpr std::uint32_t WM_SYNC_LOG_PENDING = 1224;
inline constexpr std::uint32_t WM_SYNC_SERVICE_STARTED = 1225;
inline constexpr std::uint32_t WM_SYNC_SERVICE_STOPPED = 1226;
inline constexpr std::uint32_t WM_SYNC_SERVICE_RUNNING = 1227;
inline constexpr std::uint32_t WM_SYNC_SERVICE_NOT_RUNNING = 1228;
inline constexpr std::uint32_t WM_SYNC_CONNECTED = 1229;
inline constexpr std::uint32_t WM_SYNC_CONNECTION_CONFIRMED = 1230;
inline constexpr std::uint32_t WM_SYNC_DISCONNECTED = 1231;
inline constexpr std::uint32_t WM_SYNC_LOCK_GRANTED = 1232;
inline constexpr std::uint32_t WM_SYNC_LOCK_STATE = 1233;
inline constexpr std::uint32_t WM_SYNC_WRITE_LOCK_REQUEST = 1234;
inline constexpr std::uint32_t WM_SYNC_WRITE_LOCK_RELEASED = 1235;
inline constexpr std::uint32_t WM_SYNC_WRITE_LOCK_READINESS = 1236;
inline constexpr std::uint32_t WM_SYNC_CHART_MODIFIER_DETECTED = 1237;
inline constexpr std::uint32_t WM_SYNC_CHART_MODIFIERS_CLOSED = 1238;

inline constexpr std::uint32_t kFirstSyncMessage = WM_SYNC_LOG_PENDING;
inline constexpr std::uint32_t kLastSyncMessage = WM_SYNC_CHART_MODIFIERS_CLOSED;

constexpr bool IsSyncMessage(std::uint32_t code) {
    return code >= kFirstSyncMessage && code <= kLastSyncMessage;
}
// The codes whose sender waits for the dispatch (lParam carries its event).
constexpr bool IsSynchronousMessage(std::uint32_t code) {
    return code >= WM_SYNC_WRITE_LOCK_REQUEST && code <= WM_SYNC_WRITE_LOCK_READINESS;
}

}  // namespace synchronization::messaging
