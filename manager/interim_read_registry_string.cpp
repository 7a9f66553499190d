// Interim until the platform branch's ReadRegistryString is merged; removed at that merge.
#include <vector>

#include "manager/read_registry_string.h"
#include "platform/registry.h"

namespace synchronization::manager {

bool ReadRegistryString(const std::u16string& valueName, std::u16string& output) {
    output.clear();
    auto key = platform::RegistryKey::OpenForRead(u"Software\\R-Iri\\Synchronization");
    if (!key.IsValid()) return false;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    if (!key.QueryData(valueName, type, data) || type != platform::kRegSz || data.empty()) {
        return false;
    }
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
        const char16_t unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        if (unit == 0) break;
        output.push_back(unit);
    }
    return true;
}

}  // namespace synchronization::manager
