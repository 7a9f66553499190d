#include "platform/registry.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace platform {

using win32::Wide;

namespace {

HKEY AsKey(void* handle) { return static_cast<HKEY>(handle); }

}  // namespace

RegistryKey RegistryKey::OpenForRead(const std::u16string& keyPath) {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, Wide(keyPath), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_READ, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return RegistryKey();
    }
    RegistryKey result;
    result.handle_ = key;
    return result;
}

bool RegistryKey::QueryTypeAndSize(const std::u16string& valueName, std::uint32_t& type,
                                   std::uint32_t& size) const {
    if (!handle_) return false;
    DWORD valueType = 0;
    DWORD valueSize = 0;
    if (::RegQueryValueExW(AsKey(handle_), Wide(valueName), nullptr, &valueType, nullptr,
                           &valueSize) != ERROR_SUCCESS) {
        return false;
    }
    type = valueType;
    size = valueSize;
    return true;
}

bool RegistryKey::QueryData(const std::u16string& valueName, std::uint32_t& type,
                            std::vector<std::uint8_t>& data) const {
    if (!handle_) return false;
    // The value may grow between the size query and the read (an installer writing it); a few
    // rounds catch up with it.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD valueType = 0;
        DWORD size = 0;
        if (::RegQueryValueExW(AsKey(handle_), Wide(valueName), nullptr, &valueType, nullptr,
                               &size) != ERROR_SUCCESS) {
            return false;
        }
        data.assign(size, 0);
        DWORD got = size;
        const LONG result = ::RegQueryValueExW(AsKey(handle_), Wide(valueName), nullptr, &valueType,
                                               data.empty() ? nullptr : data.data(), &got);
        if (result == ERROR_MORE_DATA) continue;
        if (result != ERROR_SUCCESS) return false;
        data.resize(got);
        type = valueType;
        return true;
    }
    return false;
}

void RegistryKey::Close() noexcept {
    if (handle_) {
        ::RegCloseKey(AsKey(handle_));
        handle_ = nullptr;
    }
}

bool WriteRegistryValue(const std::u16string& keyPath, const std::u16string& valueName,
                        std::uint32_t type, const std::vector<std::uint8_t>& data) {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, Wide(keyPath), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const LONG result =
        ::RegSetValueExW(key, Wide(valueName), 0, type, data.empty() ? nullptr : data.data(),
                         static_cast<DWORD>(data.size()));
    ::RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

bool DeleteRegistryValue(const std::u16string& keyPath, const std::u16string& valueName) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, Wide(keyPath), 0, KEY_SET_VALUE, &key) !=
        ERROR_SUCCESS) {
        return false;
    }
    const LONG result = ::RegDeleteValueW(key, Wide(valueName));
    ::RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

}  // namespace platform
