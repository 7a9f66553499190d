#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/types.h"

namespace platform {

// The three fields of a Win32 COPYDATASTRUCT: identifier, size in bytes, data.
struct CopyDataRecord {
    std::uintptr_t dwData = 0;
    std::uint32_t cbData = 0;
    const void* lpData = nullptr;
};

enum class CopyDataSendResult {
    Delivered,  // the peer took the block; result holds its answer
    TimedOut,   // the peer did not take it within the bound (hung, or too slow)
    Failed,     // no such peer, or the transport broke
};

// How a received block is handled: the window that sent it and the record. The result goes back
// to the sender as the answer to its send (WM_COPYDATA's result).
using CopyDataHandler = std::function<std::intptr_t(WindowHandle sender, const CopyDataRecord&)>;

// Delivers one block to a peer window and waits at most timeoutMs for it to be taken. The record
// must stay valid until this returns. Blocks that the peer sends back while it handles this one
// are handled on the calling thread before this returns, as WM_COPYDATA is on Windows:
// - Windows: SendMessageTimeoutW(target, WM_COPYDATA, from, ..., SMTO_NORMAL | SMTO_ABORTIFHUNG);
//   blocks sent back reach the caller's window procedure during the wait.
// - Console build: target is a peer connected to this process's CopyDataServer; blocks it sends
//   back on the same connection during the wait go to that server's handler.
CopyDataSendResult SendCopyData(WindowHandle target, WindowHandle from,
                                const CopyDataRecord& record, std::uint32_t timeoutMs,
                                std::intptr_t* result = nullptr);

// The record carried by a received WM_COPYDATA's lParam (Windows: the COPYDATASTRUCT). False when
// lParam is 0.
bool CopyDataRecordFromParam(LParam lParam, CopyDataRecord& record);

// The receiving side of the console build's transport: a Unix-domain socket on which map
// applications connect. Every connection is a peer window: it gets a window of the window registry
// (platform/window.h) that IsWindow reports as existing while the connection lasts, and blocks
// sent on it are handed to the handler with that window as the sender. The server never runs a
// thread of its own: the thread that owns it (the user-interface thread) calls Poll, so the handler
// runs only there. On Windows map applications reach the main window by WM_COPYDATA and no server
// is needed: Listen returns false.
class CopyDataServer {
  public:
    CopyDataServer() = default;
    ~CopyDataServer();
    CopyDataServer(const CopyDataServer&) = delete;
    CopyDataServer& operator=(const CopyDataServer&) = delete;

    // Binds the socket (an empty path means DefaultCopyDataSocketPath()) and sets the handler.
    // One server per process. False when the socket cannot be bound.
    bool Listen(const std::string& socketPath, CopyDataHandler handler);
    // Accepts new peers, handles every complete block that has arrived and notices closed
    // connections; waits at most timeoutMs for something to arrive (0: only what is there).
    // Returns the number of blocks handled.
    int Poll(std::uint32_t timeoutMs);
    // Closes every connection and removes the socket file.
    void Close() noexcept;
    const std::string& SocketPath() const noexcept { return path_; }

  private:
    std::string path_;
    int listenFd_ = -1;
};

// The socket path map applications connect to: $SUNDRA_MAPAPP_SOCKET if set, else
// $XDG_RUNTIME_DIR/sundra-synchronizer-mapapp.sock, else
// /tmp/sundra-synchronizer-mapapp-<uid>.sock.
std::string DefaultCopyDataSocketPath();

// The map application's side of the console build's transport: one connection to the program.
// Windows map applications use their own window and WM_COPYDATA instead (Connect returns false).
class CopyDataClient {
  public:
    CopyDataClient() = default;
    ~CopyDataClient();
    CopyDataClient(const CopyDataClient&) = delete;
    CopyDataClient& operator=(const CopyDataClient&) = delete;

    // Connects to the program's socket (empty: DefaultCopyDataSocketPath()); blocks that the
    // program sends arrive at the handler (sender: 1, the program).
    bool Connect(const std::string& socketPath, CopyDataHandler handler);
    // Sends a block and waits at most timeoutMs for the program's answer; blocks that the program
    // sends meanwhile go to the handler first.
    CopyDataSendResult Send(const CopyDataRecord& record, std::uint32_t timeoutMs,
                            std::intptr_t* result = nullptr);
    // Handles blocks from the program, waiting at most timeoutMs. -1 once the program has closed
    // the connection, else the number of blocks handled.
    int Poll(std::uint32_t timeoutMs);
    // True once the program has closed the connection, without reading anything from it (a map
    // application that does not take blocks can still notice that the program has gone).
    bool PeerClosed() const;
    void Close() noexcept;
    bool IsConnected() const noexcept { return fd_ >= 0; }

  private:
    int fd_ = -1;
    CopyDataHandler handler_;
};

}  // namespace platform
