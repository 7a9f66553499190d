#pragma once

#include <string>

namespace platform {

// A run-time loaded library: LoadLibraryW / GetProcAddress / FreeLibrary on Windows, dlopen /
// dlsym / dlclose in the console build. Move-only; freed by the destructor.
class DynamicLibrary {
public:
    DynamicLibrary() noexcept = default;
    ~DynamicLibrary();
    DynamicLibrary(DynamicLibrary&& other) noexcept;
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // Loads from a full path. Not loaded on failure.
    static DynamicLibrary Load(const std::u16string& path);

    bool IsLoaded() const noexcept { return handle_ != nullptr; }
    // Address of an export, or null.
    void* Symbol(const char* name) const;
    void Free() noexcept;

private:
    void* handle_ = nullptr;
};

}  // namespace platform
