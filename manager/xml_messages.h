#pragma once

// The XML documents exchanged with the synchronization service: three requests that the program
// builds and three events that it reads. Free functions without state: the builders run on the
// threads that call the manager, the parsers on the library's threads, any number at once.
// None of them throws; failures come back as an empty text or false.

#include <cstdint>
#include <string>

namespace synchronization::manager {

// Element, attribute and value names, case-sensitive, shared by builders and parsers.
inline constexpr const char* kLockDescription = "LockDescription";
inline constexpr const char* kLockLink = "LockLink";
inline constexpr const char* kLockStatus = "LockStatus";
inline constexpr const char* kObjectLink = "ObjectLink";
inline constexpr const char* kType = "Type";
inline constexpr const char* kCookie = "Cookie";
inline constexpr const char* kStatus = "Status";
inline constexpr const char* kPauseSynchronization = "PauseSynchronization";
inline constexpr const char* kDataType = "DataType";
inline constexpr const char* kAction = "Action";
inline constexpr const char* kUid = "uid";
inline constexpr const char* kRead = "read";
inline constexpr const char* kWrite = "write";
inline constexpr const char* kLocked = "locked";
inline constexpr const char* kFailed = "failed";
inline constexpr const char* kPause = "Pause";
inline constexpr const char* kResume = "Resume";

// Lock request; empty when object or uid is empty or taskId is 0.
std::u16string BuildLockRequest(const std::u16string& object, const std::u16string& uid, bool read,
                                std::uint32_t taskId);
// Unlock request; empty when taskId or cookie is 0.
std::u16string BuildUnlockRequest(std::uint32_t taskId, std::uint32_t cookie);
// Pause (pause true) or resume request for a data type (the program sends it empty).
std::u16string BuildPauseRequest(const std::string& dataType, bool pause);

// The parsers set every output to its start value first, so outputs are defined after a failure.
bool ParseLockDescription(const std::u16string& text, std::u16string& object, std::u16string& uid,
                          bool& isWrite);
bool ParseLockLink(const std::u16string& text, std::uint32_t& taskId, std::int32_t& cookie);
bool ParseLockStatus(const std::u16string& text, std::uint32_t& taskId, bool& locked, bool& failed);

// object + "/" + uid as 8-bit text; empty when either part is empty.
std::string JoinObjectLink(const std::u16string& object, const std::u16string& uid);
// Splits "object/uid[/...]" (one leading "/" is dropped); false when there is no "/".
bool SplitObjectLink(const std::string& link, std::u16string& object, std::u16string& uid);

// The number readings of the events: optional blanks, optional sign, decimal digits up to the
// first other character. Unsigned: above 4294967295 gives 4294967295, -n gives 4294967296 - n.
// Signed: clamped to the 32-bit range. No digits give 0.
std::uint32_t ReadUnsignedDecimal(const char* text);
std::int32_t ReadSignedDecimal(const char* text);

}  // namespace synchronization::manager
