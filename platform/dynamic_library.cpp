#include "platform/dynamic_library.h"

namespace platform {

// Ownership moves the same way on every platform; only opening and closing differ.
DynamicLibrary::~DynamicLibrary() { Free(); }

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept : handle_(other.handle_) {
    other.handle_ = nullptr;
}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
    if (this != &other) {
        Free();
        handle_ = other.handle_;
        other.handle_ = nullptr;
    }
    return *this;
}

}  // namespace platform
