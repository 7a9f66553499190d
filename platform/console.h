#pragma once

// The console program's terminal: its standard input read line by line without a thread of its
// own, and the signals that ask it to stop. Signals are only noted by their handlers (a byte
// written to a pipe that belongs to this layer); the program learns of them from Next, on its
// user-interface thread, so nothing of the program ever runs inside a signal handler.
//
// Only the console build has this concern: the Windows program has no console and learns of the
// end of the user's session through its window.

#include <cstdint>
#include <string>

namespace platform {

struct ConsoleEvent {
    enum class Kind {
        None,        // nothing arrived within the time allowed
        Line,        // a line of standard input, without its line break (and a trailing CR)
        EndOfInput,  // standard input has ended; reported once, then it is no longer read
        Terminate,   // SIGTERM or SIGHUP: an orderly end without a question
        Interrupt,   // SIGINT
    };
    Kind kind = Kind::None;
    std::string line;
};

class ConsoleInput {
  public:
    ConsoleInput() = default;
    ~ConsoleInput();
    ConsoleInput(const ConsoleInput&) = delete;
    ConsoleInput& operator=(const ConsoleInput&) = delete;

    // Installs the handlers of SIGTERM, SIGHUP and SIGINT, and ignores SIGPIPE (an output that
    // went away must not end a resident program). One per process; false when the signals could
    // not be taken over.
    bool Open();
    // Restores the signals' former handling.
    void Close() noexcept;

    // Waits at most timeoutMs for a signal or a line. A signal that arrived comes first; several
    // arrivals of the same signal before it is read count once.
    ConsoleEvent Next(std::uint32_t timeoutMs);

    // Whether standard input is a terminal (a user who can answer a question).
    static bool InputIsTerminal();

  private:
    bool open_ = false;
    bool inputEnded_ = false;
    bool endReported_ = false;
    std::string pending_;  // a line that has begun but not ended yet
};

// UTF-16 text as the terminal shows it (UTF-8).
std::string ToConsoleText(const std::u16string& text);

}  // namespace platform
