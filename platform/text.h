#pragma once

#include <string>

namespace platform {

// The one conversion between narrow and UTF-16 text: one code unit per byte, never through a
// code page. Narrowing keeps the low 8 bits of each unit; widening sign-extends each byte, so
// 0x80..0xFF become U+FF80..U+FFFF. ASCII passes unchanged both ways.
std::string Narrow(const std::u16string& text);
std::u16string Widen(const std::string& text);

// Convenience for building UTF-16 lines out of ASCII literals and numbers.
std::u16string WidenAscii(const char* text);
std::u16string ToU16Decimal(unsigned long long value);

}  // namespace platform
