#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Value types with the numbers of the Win32 REG_* constants.
inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;

// The configuration store: the registry under HKEY_LOCAL_MACHINE on Windows; in the console
// build a text file in the "Windows Registry Editor Version 5.00" export format, named by the
// environment variable SUNDRA_REGISTRY_FILE (default /etc/sundra-synchronizer/registry.reg).
// Key paths are relative to HKEY_LOCAL_MACHINE, with "\" separators.
class RegistryKey {
public:
    RegistryKey() noexcept = default;
    ~RegistryKey();
    RegistryKey(RegistryKey&& other) noexcept;
    RegistryKey& operator=(RegistryKey&& other) noexcept;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // Opens the key for reading, creating it when it does not exist (RegCreateKeyExW with
    // KEY_READ). Not valid on failure.
    static RegistryKey OpenForRead(const std::u16string& keyPath);

    bool IsValid() const noexcept { return handle_ != nullptr; }

    // Type and size in bytes of a value. False when the value does not exist or the query fails.
    bool QueryTypeAndSize(const std::u16string& valueName, std::uint32_t& type,
                          std::uint32_t& size) const;
    // The value's raw data (for REG_SZ: UTF-16LE bytes as stored, terminator included when the
    // writer stored one). False when the read fails.
    bool QueryData(const std::u16string& valueName, std::uint32_t& type,
                   std::vector<std::uint8_t>& data) const;
    void Close() noexcept;

private:
    void* handle_ = nullptr;
};

// Writing and deleting values: used by tests and by the demo's set-up, never by the program.
bool WriteRegistryValue(const std::u16string& keyPath, const std::u16string& valueName,
                        std::uint32_t type, const std::vector<std::uint8_t>& data);
bool DeleteRegistryValue(const std::u16string& keyPath, const std::u16string& valueName);
// UTF-16LE bytes of a text with its terminating zero, as REG_SZ data is normally stored.
std::vector<std::uint8_t> RegistryStringData(const std::u16string& text, bool withTerminator = true);

}  // namespace platform
