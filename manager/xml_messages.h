#pragma once

#include <cstdint>
#include <string>

namespace synchronization::manager {

std::u16string BuildLockRequest(const std::u16string& object, const std::u16string& uid,
                                bool read, std::uint32_t taskId);
std::u16string BuildUnlockRequest(std::uint32_t taskId, std::uint32_t cookie);
std::u16string BuildPauseRequest(const std::string& dataType, bool pause);
bool ParseLockDescription(const std::u16string& text, std::u16string& object, std::u16string& uid,
                          bool& isWrite);
bool ParseLockLink(const std::u16string& text, std::uint32_t& taskId, std::int32_t& cookie);
bool ParseLockStatus(const std::u16string& text, std::uint32_t& taskId, bool& locked,
                     bool& failed);

}  // namespace synchronization::manager
