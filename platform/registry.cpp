#include "platform/registry.h"

namespace platform {

std::vector<std::uint8_t> RegistryStringData(const std::u16string& text, bool withTerminator) {
    std::vector<std::uint8_t> data;
    data.reserve((text.size() + 1) * 2);
    for (char16_t unit : text) {
        data.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        data.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    if (withTerminator) {
        data.push_back(0);
        data.push_back(0);
    }
    return data;
}

// Ownership moves the same way on every platform; only opening and closing differ.
RegistryKey::~RegistryKey() { Close(); }

RegistryKey::RegistryKey(RegistryKey&& other) noexcept : handle_(other.handle_) {
    other.handle_ = nullptr;
}

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        other.handle_ = nullptr;
    }
    return *this;
}

}  // namespace platform
