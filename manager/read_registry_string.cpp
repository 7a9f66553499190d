#include "manager/read_registry_string.h"

#include <cstdint>
#include <vector>

#include "platform/registry.h"

namespace synchronization::manager {

namespace {

constexpr char16_t kKeyPath[] = u"Software\\R-Iri\\Synchronization";

}  // namespace

bool ReadRegistryString(const std::u16string& valueName, std::u16string& output) {
    output.clear();
    try {
        // Opened like RegCreateKeyExW does: the key is created when the installation left none.
        platform::RegistryKey key = platform::RegistryKey::OpenForRead(kKeyPath);
        if (!key.IsValid()) return false;

        std::uint32_t type = 0;
        std::uint32_t size = 0;
        if (!key.QueryTypeAndSize(valueName, type, size) || size == 0 || type != platform::kRegSz) {
            return false;
        }
        std::vector<std::uint8_t> data;
        std::uint32_t readType = 0;
        // A value rewritten in between with another type or more data than announced counts as
        // a failed read, as it would in a buffer of the announced size.
        if (!key.QueryData(valueName, readType, data) || readType != platform::kRegSz ||
            data.size() > size) {
            return false;
        }
        // The text ends at the first zero unit; data without one is text to its end (an odd
        // last byte is no whole unit and is dropped).
        std::u16string text;
        for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
            const auto unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
            if (unit == u'\0') break;
            text.push_back(unit);
        }
        output = std::move(text);
        return true;
    } catch (...) {
        output.clear();
        return false;
    }
}

}  // namespace synchronization::manager
