#include "platform/thread.h"

namespace platform {

// Ownership moves the same way on every platform; only opening and closing differ.
Thread::~Thread() { Close(); }

Thread::Thread(Thread&& other) noexcept : state_(other.state_) { other.state_ = nullptr; }

Thread& Thread::operator=(Thread&& other) noexcept {
    if (this != &other) {
        Close();
        state_ = other.state_;
        other.state_ = nullptr;
    }
    return *this;
}

}  // namespace platform
