#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// The number a pipe error line carries: GetLastError on Windows, errno (or the documented
// stand-in for a failure that has no errno) in the console build. See docs/pipe-tools.md.
using PipeErrorCode = std::uint32_t;

// The outcome of one read or write. `error` is the platform's last error code right after the
// call: the reason when it failed; after a success, whatever the platform last set.
struct PipeTransfer {
    bool ok = false;
    std::size_t bytes = 0;
    PipeErrorCode error = 0;
};

enum class ClientWait {
    Connected,            // a client opened the pipe while we waited
    ConnectedBeforeWait,  // a client opened it between Create and WaitForClient: also connected
    Failed,
};

// The server's end of one instance of a named pipe: outbound only, byte stream, blocking, any
// number of instances of the same name, 256-byte buffers, default time-out, default security.
// Windows: a real named pipe. Console build: a TCP listener on the port that stands for the
// pipe's name, on all of the machine's addresses, shared with other instances of the same name.
// Move-only; closed by the destructor.
class NamedPipeServer {
  public:
    NamedPipeServer() noexcept = default;
    ~NamedPipeServer();
    NamedPipeServer(NamedPipeServer&& other) noexcept;
    NamedPipeServer& operator=(NamedPipeServer&& other) noexcept;
    NamedPipeServer(const NamedPipeServer&) = delete;
    NamedPipeServer& operator=(const NamedPipeServer&) = delete;

    // Creates an instance of the local pipe `path` ("\\.\pipe\testpipe"). Not valid on failure,
    // with the reason in `error`.
    static NamedPipeServer Create(const std::u16string& path, PipeErrorCode& error);

    bool IsValid() const noexcept { return handle_ != kNone; }
    explicit operator bool() const noexcept { return IsValid(); }

    // Blocks until a client has opened this instance; the reason in `error` on failure.
    ClientWait WaitForClient(PipeErrorCode& error);
    // One write to the connected client.
    PipeTransfer Write(const void* data, std::size_t size);
    void Close() noexcept;

  private:
    static constexpr std::intptr_t kNone = -1;
    // Windows: the pipe's HANDLE. Console build: the listening socket until a client is taken,
    // then the client's socket (the listener is closed so that the next client goes to another
    // instance, as a connected pipe instance takes no second client).
    std::intptr_t handle_ = kNone;
};

// The client's end: opens "\\server\pipe\name" for reading. Move-only; closed by the destructor.
class NamedPipeClient {
  public:
    NamedPipeClient() noexcept = default;
    ~NamedPipeClient();
    NamedPipeClient(NamedPipeClient&& other) noexcept;
    NamedPipeClient& operator=(NamedPipeClient&& other) noexcept;
    NamedPipeClient(const NamedPipeClient&) = delete;
    NamedPipeClient& operator=(const NamedPipeClient&) = delete;

    // Opens an existing, waiting instance at once: no waiting for a busy pipe, no retry. Not
    // valid on failure, with the reason in `error`.
    static NamedPipeClient Open(const std::u16string& path, PipeErrorCode& error);

    bool IsValid() const noexcept { return handle_ != kNone; }
    explicit operator bool() const noexcept { return IsValid(); }

    // One blocking read of at most `capacity` bytes.
    PipeTransfer Read(void* buffer, std::size_t capacity);
    void Close() noexcept;

  private:
    static constexpr std::intptr_t kNone = -1;
    std::intptr_t handle_ = kNone;
};

}  // namespace platform
