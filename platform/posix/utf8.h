#pragma once

#include <string>

namespace platform::posix {

// The file system, dlopen and the configuration file speak UTF-8; the core speaks UTF-16. These
// are real Unicode conversions, unlike the byte-per-unit rule the program uses for its own texts.
// Malformed input (bad UTF-8 sequences, lone surrogates) becomes U+FFFD.
std::string Utf16ToUtf8(const std::u16string& text);
std::u16string Utf8ToUtf16(const std::string& text);

}  // namespace platform::posix
