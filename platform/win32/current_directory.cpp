#include "platform/current_directory.h"

#include <windows.h>
// windows.h maps the name onto GetCurrentDirectoryW; ours is a function of its own.
#undef GetCurrentDirectory

#include <vector>

#include "platform/win32/wide.h"

namespace platform {

bool GetCurrentDirectory(std::size_t bufferChars, std::u16string& directory) {
    if (bufferChars == 0 || bufferChars > 0xFFFFFFFFu) return false;
    try {
        std::vector<wchar_t> buffer(bufferChars, L'\0');
        const DWORD length = ::GetCurrentDirectoryW(static_cast<DWORD>(bufferChars), buffer.data());
        // 0 is a failure; a length of the buffer or more is the size it would have needed.
        if (length == 0 || length >= bufferChars) return false;
        directory = win32::FromWide(buffer.data(), length);
        return true;
    } catch (...) {
        return false;
    }
}

char16_t PathSeparator() { return u'\\'; }

}  // namespace platform
