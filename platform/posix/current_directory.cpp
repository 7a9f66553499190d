#include "platform/current_directory.h"

#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/posix/utf8.h"

namespace platform {

bool GetCurrentDirectory(std::size_t bufferChars, std::u16string& directory) {
    try {
        std::vector<char> buffer(4096);
        while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
            if (errno != ERANGE) return false;
            buffer.resize(buffer.size() * 2);
        }
        std::u16string path = posix::Utf8ToUtf16(buffer.data());
        // The same limit GetCurrentDirectoryW applies: the text and its terminator must fit.
        if (path.empty() || path.size() + 1 > bufferChars) return false;
        directory = std::move(path);
        return true;
    } catch (...) {
        return false;
    }
}

char16_t PathSeparator() { return u'/'; }

}  // namespace platform
