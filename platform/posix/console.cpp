// The console's standard input and signals: a self-pipe written by the signal handlers, and
// poll() on it and on standard input.
#include "platform/console.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/posix/utf8.h"

namespace platform {

namespace {

// The handlers may only touch these: a descriptor and async-signal-safe calls.
std::atomic<int> g_signalWriteFd{-1};
int g_signalReadFd = -1;
std::atomic<bool> g_taken{false};

struct SavedAction {
    int signal;
    struct sigaction action;
};
SavedAction g_saved[] = {{SIGTERM, {}}, {SIGHUP, {}}, {SIGINT, {}}, {SIGPIPE, {}}};

extern "C" void NoteSignal(int signal) {
    const int savedErrno = errno;
    const int fd = g_signalWriteFd.load(std::memory_order_relaxed);
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signal);
        // A full pipe already holds a note of this kind; losing a repeat is harmless.
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

ConsoleEvent::Kind KindOfSignal(unsigned char signal) {
    return signal == SIGINT ? ConsoleEvent::Kind::Interrupt : ConsoleEvent::Kind::Terminate;
}

}  // namespace

ConsoleInput::~ConsoleInput() { Close(); }

bool ConsoleInput::Open() {
    if (open_) return true;
    bool expected = false;
    if (!g_taken.compare_exchange_strong(expected, true)) return false;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_taken = false;
        return false;
    }
    g_signalReadFd = fds[0];
    g_signalWriteFd = fds[1];
    struct sigaction action {};
    action.sa_handler = NoteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    for (SavedAction& saved : g_saved) {
        ::sigaction(saved.signal, saved.signal == SIGPIPE ? &ignore : &action, &saved.action);
    }
    open_ = true;
    return true;
}

void ConsoleInput::Close() noexcept {
    if (!open_) return;
    open_ = false;
    for (SavedAction& saved : g_saved) {
        ::sigaction(saved.signal, &saved.action, nullptr);
    }
    const int writeFd = g_signalWriteFd.exchange(-1);
    ::close(writeFd);
    ::close(g_signalReadFd);
    g_signalReadFd = -1;
    g_taken = false;
}

ConsoleEvent ConsoleInput::Next(std::uint32_t timeoutMs) {
    ConsoleEvent event;
    // A whole line may already be buffered from an earlier read.
    const auto takeLine = [&]() -> bool {
        const std::size_t end = pending_.find('\n');
        if (end == std::string::npos) return false;
        event.kind = ConsoleEvent::Kind::Line;
        event.line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        if (!event.line.empty() && event.line.back() == '\r') event.line.pop_back();
        return true;
    };

    pollfd fds[2] = {{g_signalReadFd, POLLIN, 0}, {inputEnded_ ? -1 : STDIN_FILENO, POLLIN, 0}};
    const bool buffered = pending_.find('\n') != std::string::npos;
    const int wait = buffered ? 0 : timeoutMs == 0xFFFFFFFFu ? -1 : static_cast<int>(timeoutMs);
    const int ready = open_ ? ::poll(fds, 2, wait) : ::poll(fds + 1, 1, wait);
    if (ready < 0) {
        // Interrupted by one of our own signals: its note is in the pipe for the next call.
        if (takeLine()) return event;
        return event;
    }
    if (open_ && (fds[0].revents & POLLIN) != 0) {
        unsigned char signal = 0;
        if (::read(g_signalReadFd, &signal, 1) == 1) {
            event.kind = KindOfSignal(signal);
            // Repeats of the same signal that are still queued count as one.
            unsigned char next = 0;
            while (::read(g_signalReadFd, &next, 1) == 1) {
                if (next != signal) {
                    // A different signal stays noted for the next call.
                    NoteSignal(next);
                    break;
                }
            }
            return event;
        }
    }
    if (takeLine()) return event;
    const short inputEvents = open_ ? fds[1].revents : fds[0].revents;
    if (!inputEnded_ && (inputEvents & (POLLIN | POLLHUP | POLLERR)) != 0) {
        char buffer[4096];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got > 0) {
            pending_.append(buffer, static_cast<std::size_t>(got));
            takeLine();
        } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
            inputEnded_ = true;
            if (!pending_.empty()) {
                // The last line had no line break.
                event.kind = ConsoleEvent::Kind::Line;
                event.line = pending_;
                pending_.clear();
                if (!event.line.empty() && event.line.back() == '\r') event.line.pop_back();
                endReported_ = false;
            } else {
                event.kind = ConsoleEvent::Kind::EndOfInput;
                endReported_ = true;
            }
        }
    } else if (inputEnded_ && !endReported_ && pending_.empty()) {
        endReported_ = true;
        event.kind = ConsoleEvent::Kind::EndOfInput;
    }
    return event;
}

bool ConsoleInput::InputIsTerminal() { return ::isatty(STDIN_FILENO) == 1; }

std::string ToConsoleText(const std::u16string& text) { return posix::Utf16ToUtf8(text); }

}  // namespace platform
