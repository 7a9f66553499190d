#include "platform/text.h"

#include <cstdint>
#include <string>

namespace platform {

std::string Narrow(const std::u16string& text) {
    std::string out;
    out.reserve(text.size());
    for (char16_t unit : text) {
        out.push_back(static_cast<char>(static_cast<unsigned char>(unit & 0xFFu)));
    }
    return out;
}

std::u16string Widen(const std::string& text) {
    std::u16string out;
    out.reserve(text.size());
    for (char byte : text) {
        // Sign extension of the byte is the whole rule: 0xE9 becomes U+FFE9.
        out.push_back(static_cast<char16_t>(static_cast<std::int16_t>(static_cast<signed char>(byte))));
    }
    return out;
}

std::u16string WidenAscii(const char* text) { return text ? Widen(std::string(text)) : std::u16string(); }

std::u16string ToU16Decimal(unsigned long long value) { return Widen(std::to_string(value)); }

}  // namespace platform
