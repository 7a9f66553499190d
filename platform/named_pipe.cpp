#include "platform/named_pipe.h"

#include <utility>

// Ownership bookkeeping is the same on every platform; only Close and the operations differ.
namespace platform {

NamedPipeServer::~NamedPipeServer() { Close(); }

NamedPipeServer::NamedPipeServer(NamedPipeServer&& other) noexcept
    : handle_(std::exchange(other.handle_, kNone)) {}

NamedPipeServer& NamedPipeServer::operator=(NamedPipeServer&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, kNone);
    }
    return *this;
}

NamedPipeClient::~NamedPipeClient() { Close(); }

NamedPipeClient::NamedPipeClient(NamedPipeClient&& other) noexcept
    : handle_(std::exchange(other.handle_, kNone)) {}

NamedPipeClient& NamedPipeClient::operator=(NamedPipeClient&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, kNone);
    }
    return *this;
}

}  // namespace platform
