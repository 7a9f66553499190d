#pragma once

#include <cstddef>
#include <cstdint>

namespace application::data_objects {

// The 15-byte block exchanged with the map application in both directions (WM_COPYDATA,
// identifier 277). Bytes 0..7 are the program's, bytes 8..14 the map application's.
struct MapAppStatus {
    static constexpr std::size_t kSize = 15;

    // Written by the program.
    static constexpr std::size_t kMapAppRegistered = 0;
    static constexpr std::size_t kReadLockHeld = 1;
    static constexpr std::size_t kWriteLockHeld = 2;
    static constexpr std::size_t kServiceWriteLockGranted = 3;
    static constexpr std::size_t kProtectionRequested = 4;
    static constexpr std::size_t kChartModifierRunning = 5;
    static constexpr std::size_t kServiceWaitsForConsent = 6;
    static constexpr std::size_t kMapAppByte14Set = 7;
    // Written by the map application.
    static constexpr std::size_t kMapAppRunning = 10;
    static constexpr std::size_t kProtectionRequest = 12;
    static constexpr std::size_t kConsent = 13;
    static constexpr std::size_t kMapAppByte14 = 14;

    // The bytes the program owns and compares with a received block.
    static constexpr std::size_t kProgramBytes = 8;

    std::uint8_t bytes[kSize] = {};

    std::uint8_t& operator[](std::size_t index) { return bytes[index]; }
    std::uint8_t operator[](std::size_t index) const { return bytes[index]; }
};

static_assert(sizeof(MapAppStatus) == 15, "the block travels as exactly 15 bytes");

// The WM_COPYDATA identifier of the block.
inline constexpr std::uintptr_t kMapAppStatusIdentifier = 277;

}  // namespace application::data_objects
