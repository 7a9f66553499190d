#include "platform/named_pipe.h"

#include <fcntl.h>
#include <limits.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/text.h"

// The console build has no named pipes. A pipe "\\server\pipe\name" becomes a TCP byte stream:
// the server machine is a host name or address, the pipe's name stands for a fixed port, and the
// server listens on all of the machine's addresses. docs/pipe-tools.md describes the mapping.
namespace platform {

namespace {

// The port of the pipe "testpipe"; SUNDRA_PIPE_PORT replaces it (tests use this to stay clear of
// a pipehost that already runs on the machine).
constexpr int kTestPipePort = 47151;
constexpr const char* kTestPipeName = "testpipe";
constexpr const char* kPortVariable = "SUNDRA_PIPE_PORT";

// A live pipehost writes as soon as it has taken its client, so a peer that keeps us waiting
// longer than this is dead or is not a pipehost.
constexpr int kPeerTimeoutMs = 15000;

// Enough for a burst of clients; those that a taken instance leaves in its queue are reset when
// it closes its listener.
constexpr int kListenBacklog = 16;

// Failures that have no errno of their own.
constexpr PipeErrorCode kMalformedPath = EINVAL;
constexpr PipeErrorCode kUnknownPipe = ENOENT;
constexpr PipeErrorCode kUnknownServer = EHOSTUNREACH;
constexpr PipeErrorCode kPeerClosed = EPIPE;
constexpr PipeErrorCode kPeerTimedOut = ETIMEDOUT;

PipeErrorCode LastErrno() { return static_cast<PipeErrorCode>(errno); }

bool EqualsIgnoreCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

struct Endpoint {
    std::string server;
    int port = 0;
};

// "\\server\pipe\name" -> server and port. The pipe's name may itself hold backslashes.
bool ParsePath(const std::u16string& path, Endpoint& endpoint, PipeErrorCode& error) {
    const std::string text = Narrow(path);
    error = kMalformedPath;
    if (text.size() < 3 || text[0] != '\\' || text[1] != '\\') return false;
    const std::size_t serverEnd = text.find('\\', 2);
    if (serverEnd == std::string::npos || serverEnd == 2) return false;
    const std::size_t kindEnd = text.find('\\', serverEnd + 1);
    if (kindEnd == std::string::npos) return false;
    if (!EqualsIgnoreCase(text.substr(serverEnd + 1, kindEnd - serverEnd - 1), "pipe")) {
        return false;
    }
    const std::string name = text.substr(kindEnd + 1);
    if (name.empty()) return false;

    error = kUnknownPipe;
    if (!EqualsIgnoreCase(name, kTestPipeName)) return false;
    endpoint.server = text.substr(2, serverEnd - 2);
    endpoint.port = kTestPipePort;
    if (const char* value = std::getenv(kPortVariable)) {
        char* end = nullptr;
        const long port = std::strtol(value, &end, 10);
        if (end != value && *end == '\0' && port >= 1 && port <= 65535) {
            endpoint.port = static_cast<int>(port);
        }
    }
    error = 0;
    return true;
}

bool IsThisMachine(const std::string& server) {
    if (server == ".") return true;
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) != 0) return false;
    return EqualsIgnoreCase(server, name);
}

void CloseSocket(std::intptr_t& socket) noexcept {
    if (socket < 0) return;
    // The descriptor is gone after close even when it reports EINTR; never retry.
    ::close(static_cast<int>(socket));
    socket = -1;
}

// A listener that other instances of the same pipe can share (SO_REUSEPORT), on every IPv6 and
// IPv4 address of the machine; IPv4 alone where the kernel has no IPv6.
int Listen(int port, PipeErrorCode& error) {
    int family = AF_INET6;
    int fd = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 && errno == EAFNOSUPPORT) {
        family = AF_INET;
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    }
    if (fd < 0) {
        error = LastErrno();
        return -1;
    }
    const int on = 1;
    const int off = 0;
    bool ok = ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0 &&
              ::setsockopt(fd, SOL_SOCKET, SO_REUSEPORT, &on, sizeof on) == 0;
    if (ok && family == AF_INET6) {
        ok = ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off) == 0;
    }
    if (ok) {
        if (family == AF_INET6) {
            sockaddr_in6 address{};
            address.sin6_family = AF_INET6;
            address.sin6_addr = in6addr_any;
            address.sin6_port = htons(static_cast<std::uint16_t>(port));
            ok = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        } else {
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_ANY);
            address.sin_port = htons(static_cast<std::uint16_t>(port));
            ok = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        }
    }
    if (ok) ok = ::listen(fd, kListenBacklog) == 0;
    if (!ok) {
        error = LastErrno();
        ::close(fd);
        return -1;
    }
    error = 0;
    return fd;
}

int PollOne(int fd, short events, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        pollfd entry{fd, events, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const int result = ::poll(&entry, 1, left.count() > 0 ? static_cast<int>(left.count()) : 0);
        if (result >= 0 || errno != EINTR) return result;
    }
}

// connect() with a bound: an address where nothing answers would otherwise keep us for minutes.
bool ConnectBounded(int fd, const sockaddr* address, socklen_t length, PipeErrorCode& error) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) {
        error = LastErrno();
        return false;
    }
    if (::connect(fd, address, length) != 0) {
        if (errno != EINPROGRESS && errno != EINTR) {
            error = LastErrno();
            return false;
        }
        const int ready = PollOne(fd, POLLOUT, kPeerTimeoutMs);
        if (ready < 0) {
            error = LastErrno();
            return false;
        }
        if (ready == 0) {
            error = kPeerTimedOut;
            return false;
        }
        int failure = 0;
        socklen_t size = sizeof failure;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &failure, &size) != 0) {
            error = LastErrno();
            return false;
        }
        if (failure != 0) {
            error = static_cast<PipeErrorCode>(failure);
            return false;
        }
    }
    if (::fcntl(fd, F_SETFL, flags) < 0) {
        error = LastErrno();
        return false;
    }
    timeval bound{kPeerTimeoutMs / 1000, (kPeerTimeoutMs % 1000) * 1000};
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound) != 0) {
        error = LastErrno();
        return false;
    }
    error = 0;
    return true;
}

int ConnectTo(const Endpoint& endpoint, PipeErrorCode& error) {
    if (IsThisMachine(endpoint.server)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<std::uint16_t>(endpoint.port));
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            error = LastErrno();
            return -1;
        }
        if (!ConnectBounded(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address,
                            error)) {
            ::close(fd);
            return -1;
        }
        return fd;
    }

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(endpoint.port);
    const int resolved = ::getaddrinfo(endpoint.server.c_str(), service.c_str(), &hints, &found);
    if (resolved != 0) {
        error = resolved == EAI_SYSTEM && errno != 0 ? LastErrno() : kUnknownServer;
        return -1;
    }
    // Every address of the server in turn; the last failure is the one reported.
    int connected = -1;
    error = kUnknownServer;
    for (addrinfo* entry = found; entry != nullptr && connected < 0; entry = entry->ai_next) {
        const int fd =
            ::socket(entry->ai_family, entry->ai_socktype | SOCK_CLOEXEC, entry->ai_protocol);
        if (fd < 0) {
            error = LastErrno();
            continue;
        }
        if (ConnectBounded(fd, entry->ai_addr, entry->ai_addrlen, error)) {
            connected = fd;
        } else {
            ::close(fd);
        }
    }
    ::freeaddrinfo(found);
    return connected;
}

}  // namespace

NamedPipeServer NamedPipeServer::Create(const std::u16string& path, PipeErrorCode& error) {
    NamedPipeServer server;
    Endpoint endpoint;
    if (!ParsePath(path, endpoint, error)) return server;
    // Only the local machine can hold the server's end.
    if (endpoint.server != ".") {
        error = kMalformedPath;
        return server;
    }
    const int fd = Listen(endpoint.port, error);
    if (fd >= 0) server.handle_ = fd;
    return server;
}

ClientWait NamedPipeServer::WaitForClient(PipeErrorCode& error) {
    if (!IsValid()) {
        error = EBADF;
        return ClientWait::Failed;
    }
    const int listener = static_cast<int>(handle_);
    // A client already in the queue opened the pipe before we started to wait.
    const bool early = PollOne(listener, POLLIN, 0) > 0;
    int client = -1;
    do {
        client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    } while (client < 0 && errno == EINTR);
    if (client < 0) {
        error = LastErrno();
        return ClientWait::Failed;
    }
    CloseSocket(handle_);
    handle_ = client;
    error = 0;
    return early ? ClientWait::ConnectedBeforeWait : ClientWait::Connected;
}

PipeTransfer NamedPipeServer::Write(const void* data, std::size_t size) {
    PipeTransfer result;
    if (!IsValid()) {
        result.error = EBADF;
        return result;
    }
    ssize_t sent = -1;
    do {
        // A client that has gone must give an error, not end us with SIGPIPE.
        sent = ::send(static_cast<int>(handle_), data, size, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    result.error = LastErrno();
    result.ok = sent >= 0;
    result.bytes = sent > 0 ? static_cast<std::size_t>(sent) : 0;
    return result;
}

void NamedPipeServer::Close() noexcept { CloseSocket(handle_); }

NamedPipeClient NamedPipeClient::Open(const std::u16string& path, PipeErrorCode& error) {
    NamedPipeClient client;
    Endpoint endpoint;
    if (!ParsePath(path, endpoint, error)) return client;
    const int fd = ConnectTo(endpoint, error);
    if (fd >= 0) {
        client.handle_ = fd;
        error = 0;
    }
    return client;
}

PipeTransfer NamedPipeClient::Read(void* buffer, std::size_t capacity) {
    PipeTransfer result;
    if (!IsValid()) {
        result.error = EBADF;
        return result;
    }
    ssize_t received = -1;
    do {
        received = ::recv(static_cast<int>(handle_), buffer, capacity, 0);
    } while (received < 0 && errno == EINTR);
    if (received > 0) {
        result.ok = true;
        result.bytes = static_cast<std::size_t>(received);
        result.error = LastErrno();
    } else if (received == 0) {
        // The server ended without writing: a broken pipe.
        result.error = kPeerClosed;
    } else {
        result.error = (errno == EAGAIN || errno == EWOULDBLOCK) ? kPeerTimedOut : LastErrno();
    }
    return result;
}

void NamedPipeClient::Close() noexcept { CloseSocket(handle_); }

}  // namespace platform
