#pragma once

#include <cstddef>
#include <string>

namespace platform {

// The process's current directory without a trailing separator. False when it cannot be read or
// does not fit in bufferChars characters (terminator included), as GetCurrentDirectoryW reports
// with a buffer of that size.
bool GetCurrentDirectory(std::size_t bufferChars, std::u16string& directory);

// The separator between a directory and a file name: "\" on Windows, "/" in the console build.
char16_t PathSeparator();

}  // namespace platform
