#include "platform/dynamic_library.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace platform {

DynamicLibrary DynamicLibrary::Load(const std::u16string& path) {
    DynamicLibrary library;
    if (path.empty() || path.find(u'\0') != std::u16string::npos) return library;
    // A file that is no library must fail quietly, not stop a resident program with a message
    // box nobody may be there to answer.
    DWORD previousMode = 0;
    const BOOL modeSet =
        ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previousMode);
    library.handle_ = ::LoadLibraryW(win32::Wide(path));
    if (modeSet) ::SetThreadErrorMode(previousMode, nullptr);
    return library;
}

void* DynamicLibrary::Symbol(const char* name) const {
    if (!handle_ || !name) return nullptr;
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(handle_), name));
}

void DynamicLibrary::Free() noexcept {
    if (handle_) {
        ::FreeLibrary(static_cast<HMODULE>(handle_));
        handle_ = nullptr;
    }
}

}  // namespace platform
