#include "platform/dynamic_library.h"

#include <dlfcn.h>

#include <string>

#include "platform/posix/utf8.h"

namespace platform {

DynamicLibrary DynamicLibrary::Load(const std::u16string& path) {
    DynamicLibrary library;
    // dlopen of an empty name would hand out the program itself, and a name with a zero inside
    // would load another file than the one named.
    if (path.empty() || path.find(u'\0') != std::u16string::npos) return library;
    try {
        library.handle_ = ::dlopen(posix::Utf16ToUtf8(path).c_str(), RTLD_NOW | RTLD_LOCAL);
    } catch (...) {
        library.handle_ = nullptr;
    }
    return library;
}

void* DynamicLibrary::Symbol(const char* name) const {
    if (!handle_ || !name) return nullptr;
    return ::dlsym(handle_, name);
}

void DynamicLibrary::Free() noexcept {
    if (handle_) {
        ::dlclose(handle_);
        handle_ = nullptr;
    }
}

}  // namespace platform
