#pragma once

#include <cstdint>

namespace platform {

// A window as the core sees it: an HWND on Windows, an id in the window registry of the
// console build. 0 names no window.
using WindowHandle = std::uintptr_t;

// The two message parameters, pointer sized like WPARAM (unsigned) and LPARAM (signed).
using WParam = std::uintptr_t;
using LParam = std::intptr_t;

// Wait without a time limit (INFINITE).
inline constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;

enum class WaitResult { Signaled, Timeout, Failed };

}  // namespace platform
