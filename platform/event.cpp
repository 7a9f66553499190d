#include "platform/event.h"

namespace platform {

// Ownership moves the same way on every platform; only opening and closing differ.
Event::~Event() { Close(); }

Event::Event(Event&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }

Event& Event::operator=(Event&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        other.handle_ = nullptr;
    }
    return *this;
}

}  // namespace platform
