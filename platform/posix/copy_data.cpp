// The console build's block exchange: a Unix-domain stream socket. Both directions carry the same
// two frames (host byte order, see docs/map-application-protocol.md):
//   block:  u32 1, u32 dwData, u32 cbData, cbData bytes   (the receiver answers with one answer)
//   answer: u32 2, i32 result
// A side that waits for an answer handles the blocks that arrive first, so a block sent back
// while the other side handles ours is taken before our send returns, as with WM_COPYDATA.
#include "platform/copy_data.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "platform/window.h"

namespace platform {
namespace {

constexpr std::uint32_t kFrameBlock = 1;
constexpr std::uint32_t kFrameAnswer = 2;
// A block larger than this is not a map application's status: the peer is dropped.
constexpr std::uint32_t kMaxBlockBytes = 64 * 1024;
// Once a frame has begun, the rest must follow within this time; a peer that stops in the middle
// of a frame is dropped instead of holding the user-interface thread.
constexpr int kFrameRestMs = 1000;
// The program's own window id as a map application sees it.
constexpr WindowHandle kProgramWindow = 1;

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

// Waits until fd is readable. 1 readable (or hung up), 0 time-out, -1 failure.
int WaitReadable(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    for (;;) {
        const int n = ::poll(&p, 1, timeoutMs);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        return n == 0 ? 0 : 1;
    }
}

bool ReadExact(int fd, void* buffer, std::size_t size, Clock::time_point deadline) {
    auto* out = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        if (WaitReadable(fd, RemainingMs(deadline)) != 1) return false;
        const ssize_t n = ::recv(fd, out + done, size - done, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool WriteAll(int fd, const void* data, std::size_t size) {
    const auto* in = static_cast<const unsigned char*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::send(fd, in + done, size - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;  // includes the send time-out set on the socket
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool WriteBlock(int fd, const CopyDataRecord& record) {
    if (record.cbData > kMaxBlockBytes || (record.cbData > 0 && record.lpData == nullptr)) {
        return false;
    }
    std::vector<unsigned char> frame(12 + record.cbData);
    const std::uint32_t header[3] = {kFrameBlock, static_cast<std::uint32_t>(record.dwData),
                                     record.cbData};
    std::memcpy(frame.data(), header, sizeof header);
    if (record.cbData > 0) std::memcpy(frame.data() + 12, record.lpData, record.cbData);
    return WriteAll(fd, frame.data(), frame.size());
}

bool WriteAnswer(int fd, std::intptr_t result) {
    unsigned char frame[8];
    const std::uint32_t type = kFrameAnswer;
    const std::int32_t value = static_cast<std::int32_t>(result);
    std::memcpy(frame, &type, 4);
    std::memcpy(frame + 4, &value, 4);
    return WriteAll(fd, frame, sizeof frame);
}

struct Frame {
    std::uint32_t type = 0;
    std::uint32_t dwData = 0;
    std::vector<unsigned char> data;  // block
    std::int32_t result = 0;          // answer
};

// Reads one frame whose first byte is already waiting. False when the connection is closed or
// the frame is malformed or incomplete.
bool ReadFrame(int fd, Frame& frame) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(kFrameRestMs);
    if (!ReadExact(fd, &frame.type, 4, deadline)) return false;
    if (frame.type == kFrameAnswer) return ReadExact(fd, &frame.result, 4, deadline);
    if (frame.type != kFrameBlock) return false;
    std::uint32_t sizes[2];
    if (!ReadExact(fd, sizes, sizeof sizes, deadline)) return false;
    frame.dwData = sizes[0];
    if (sizes[1] > kMaxBlockBytes) return false;
    frame.data.resize(sizes[1]);
    return sizes[1] == 0 || ReadExact(fd, frame.data.data(), sizes[1], deadline);
}

// Hands a received block to the handler and answers it. False when the answer cannot be written.
bool AnswerBlock(int fd, WindowHandle sender, const Frame& frame, const CopyDataHandler& handler) {
    CopyDataRecord record;
    record.dwData = frame.dwData;
    record.cbData = static_cast<std::uint32_t>(frame.data.size());
    record.lpData = frame.data.empty() ? nullptr : frame.data.data();
    std::intptr_t result = 0;
    if (handler) {
        try {
            result = handler(sender, record);
        } catch (...) {
            result = 0;
        }
    }
    return WriteAnswer(fd, result);
}

// Sends a block on fd and waits for its answer, handling the blocks the other side sends first.
// broken is set when the connection is no longer usable.
CopyDataSendResult SendAndWait(int fd, WindowHandle peer, const CopyDataRecord& record,
                               std::uint32_t timeoutMs, std::intptr_t* result,
                               const CopyDataHandler& handler, bool& broken) {
    broken = false;
    if (!WriteBlock(fd, record)) {
        broken = true;
        return CopyDataSendResult::Failed;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const int ready = WaitReadable(fd, RemainingMs(deadline));
        if (ready == 0) return CopyDataSendResult::TimedOut;
        Frame frame;
        if (ready < 0 || !ReadFrame(fd, frame)) {
            broken = true;
            return CopyDataSendResult::Failed;
        }
        if (frame.type == kFrameAnswer) {
            if (result) *result = frame.result;
            return CopyDataSendResult::Delivered;
        }
        if (!AnswerBlock(fd, peer, frame, handler)) {
            broken = true;
            return CopyDataSendResult::Failed;
        }
    }
}

void SetSendTimeout(int fd) {
    timeval tv{};
    tv.tv_sec = kFrameRestMs / 1000;
    tv.tv_usec = (kFrameRestMs % 1000) * 1000;
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

bool FillAddress(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size());
    return true;
}

// The one server of the process and its peers. Each connection is a window of the window
// registry for as long as it lasts, so IsWindow tells whether the map application is still there.
// The handler and the sockets are used on the server's thread only; the mutex keeps the table
// sound should a send come from another thread.
struct ServerState {
    std::mutex mutex;
    CopyDataServer* owner = nullptr;
    CopyDataHandler handler;
    std::map<WindowHandle, int> peers;
};

ServerState& Server() {
    static ServerState state;
    return state;
}

void DropPeer(WindowHandle id) {
    auto& s = Server();
    int fd = -1;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        auto it = s.peers.find(id);
        if (it == s.peers.end()) return;
        fd = it->second;
        s.peers.erase(it);
    }
    ::close(fd);
    DestroyWindow(id);
}

}  // namespace

std::string DefaultCopyDataSocketPath() {
    if (const char* explicitPath = std::getenv("SUNDRA_MAPAPP_SOCKET");
        explicitPath && *explicitPath) {
        return explicitPath;
    }
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        return std::string(runtime) + "/sundra-synchronizer-mapapp.sock";
    }
    return "/tmp/sundra-synchronizer-mapapp-" + std::to_string(::getuid()) + ".sock";
}

bool CopyDataRecordFromParam(LParam lParam, CopyDataRecord& record) {
    if (lParam == 0) return false;
    record = *reinterpret_cast<const CopyDataRecord*>(lParam);
    return true;
}

CopyDataSendResult SendCopyData(WindowHandle target, WindowHandle /*from*/,
                                const CopyDataRecord& record, std::uint32_t timeoutMs,
                                std::intptr_t* result) {
    auto& s = Server();
    int fd = -1;
    CopyDataHandler handler;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        auto it = s.peers.find(target);
        if (it == s.peers.end()) return CopyDataSendResult::Failed;
        fd = it->second;
        handler = s.handler;
    }
    bool broken = false;
    const auto outcome = SendAndWait(fd, target, record, timeoutMs, result, handler, broken);
    if (broken) DropPeer(target);
    return outcome;
}

CopyDataServer::~CopyDataServer() { Close(); }

bool CopyDataServer::Listen(const std::string& socketPath, CopyDataHandler handler) {
    Close();
    auto& s = Server();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.owner != nullptr) return false;
    }
    const std::string path = socketPath.empty() ? DefaultCopyDataSocketPath() : socketPath;
    sockaddr_un address;
    if (!FillAddress(path, address)) return false;

    // A socket file left by a program that ended without closing is taken over; one that
    // somebody still listens on belongs to another running copy.
    const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (probe < 0) return false;
    const bool inUse = ::connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(probe);
    if (inUse) return false;
    ::unlink(path.c_str());

    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return false;
    // Only this user's programs may talk to the coordinator.
    const mode_t oldMask = ::umask(0177);
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::umask(oldMask);
    if (!bound || ::listen(fd, 8) != 0) {
        ::close(fd);
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.owner = this;
        s.handler = std::move(handler);
    }
    listenFd_ = fd;
    path_ = path;
    return true;
}

int CopyDataServer::Poll(std::uint32_t timeoutMs) {
    if (listenFd_ < 0) return 0;
    auto& s = Server();
    std::vector<pollfd> fds;
    std::vector<WindowHandle> ids;
    CopyDataHandler handler;
    fds.push_back(pollfd{listenFd_, POLLIN, 0});
    ids.push_back(0);
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        for (const auto& [id, fd] : s.peers) {
            fds.push_back(pollfd{fd, POLLIN, 0});
            ids.push_back(id);
        }
        handler = s.handler;
    }
    int n;
    do {
        n = ::poll(fds.data(), fds.size(), static_cast<int>(timeoutMs));
    } while (n < 0 && errno == EINTR);
    if (n <= 0) return 0;

    int handled = 0;
    for (std::size_t i = 1; i < fds.size(); ++i) {
        if (fds[i].revents == 0) continue;
        {
            // A handler of an earlier block may have dropped this peer.
            std::lock_guard<std::mutex> lock(s.mutex);
            if (s.peers.count(ids[i]) == 0) continue;
        }
        Frame frame;
        if (!ReadFrame(fds[i].fd, frame)) {
            DropPeer(ids[i]);
            continue;
        }
        if (frame.type != kFrameBlock) continue;  // a late answer to a send that timed out
        ++handled;
        if (!AnswerBlock(fds[i].fd, ids[i], frame, handler)) DropPeer(ids[i]);
    }
    if (fds[0].revents & POLLIN) {
        for (;;) {
            const int peer = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (peer < 0) break;
            SetSendTimeout(peer);
            const WindowHandle id = CreateTopLevelWindow(u"Map application connection", nullptr);
            if (id == 0) {
                ::close(peer);
                continue;
            }
            std::lock_guard<std::mutex> lock(s.mutex);
            s.peers.emplace(id, peer);
        }
    }
    return handled;
}

void CopyDataServer::Close() noexcept {
    if (listenFd_ < 0) return;
    auto& s = Server();
    std::map<WindowHandle, int> peers;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        peers.swap(s.peers);
        s.owner = nullptr;
        s.handler = nullptr;
    }
    for (const auto& entry : peers) {
        ::close(entry.second);
        DestroyWindow(entry.first);
    }
    ::close(listenFd_);
    listenFd_ = -1;
    ::unlink(path_.c_str());
    path_.clear();
}

CopyDataClient::~CopyDataClient() { Close(); }

bool CopyDataClient::Connect(const std::string& socketPath, CopyDataHandler handler) {
    Close();
    sockaddr_un address;
    if (!FillAddress(socketPath.empty() ? DefaultCopyDataSocketPath() : socketPath, address)) {
        return false;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return false;
    }
    SetSendTimeout(fd);
    fd_ = fd;
    handler_ = std::move(handler);
    return true;
}

CopyDataSendResult CopyDataClient::Send(const CopyDataRecord& record, std::uint32_t timeoutMs,
                                        std::intptr_t* result) {
    if (fd_ < 0) return CopyDataSendResult::Failed;
    bool broken = false;
    const auto outcome =
        SendAndWait(fd_, kProgramWindow, record, timeoutMs, result, handler_, broken);
    if (broken) Close();
    return outcome;
}

int CopyDataClient::Poll(std::uint32_t timeoutMs) {
    if (fd_ < 0) return -1;
    const int ready = WaitReadable(fd_, static_cast<int>(timeoutMs));
    if (ready == 0) return 0;
    Frame frame;
    if (ready < 0 || !ReadFrame(fd_, frame)) {
        Close();
        return -1;
    }
    if (frame.type != kFrameBlock) return 0;
    if (!AnswerBlock(fd_, kProgramWindow, frame, handler_)) {
        Close();
        return -1;
    }
    return 1;
}

bool CopyDataClient::PeerClosed() const {
    if (fd_ < 0) return true;
    pollfd p{fd_, 0, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR)) != 0;
}

void CopyDataClient::Close() noexcept {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

}  // namespace platform
