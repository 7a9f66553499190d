// The console's input: lines split as typed (CR LF too, a last line without a break), the end of
// input reported once, and signals noted by their handlers and read on the caller's thread.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/console.h"

namespace {

using Kind = platform::ConsoleEvent::Kind;

// Standard input replaced by a pipe for the length of a test.
class StdinPipe {
  public:
    StdinPipe() {
        saved_ = ::dup(STDIN_FILENO);
        int fds[2];
        EXPECT_EQ(::pipe(fds), 0);
        ::dup2(fds[0], STDIN_FILENO);
        ::close(fds[0]);
        write_ = fds[1];
    }
    ~StdinPipe() {
        CloseWriter();
        ::dup2(saved_, STDIN_FILENO);
        ::close(saved_);
    }
    void Write(const std::string& text) {
        ASSERT_EQ(::write(write_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    void CloseWriter() {
        if (write_ >= 0) ::close(write_);
        write_ = -1;
    }

  private:
    int saved_ = -1;
    int write_ = -1;
};

// Reads events until one is not None (at most about a second).
platform::ConsoleEvent NextEvent(platform::ConsoleInput& input) {
    for (int i = 0; i < 100; ++i) {
        platform::ConsoleEvent event = input.Next(10);
        if (event.kind != Kind::None) return event;
    }
    return {};
}

TEST(ConsoleInputTest, LinesAsTypedThenTheEndOnce) {
    StdinPipe in;
    platform::ConsoleInput input;
    ASSERT_TRUE(input.Open());
    in.Write("show\r\nsave log\n\nex");
    in.Write("it");
    in.CloseWriter();
    std::vector<std::string> lines;
    platform::ConsoleEvent event;
    while ((event = NextEvent(input)).kind == Kind::Line) lines.push_back(event.line);
    EXPECT_EQ(lines, (std::vector<std::string>{"show", "save log", "", "exit"}));
    EXPECT_EQ(event.kind, Kind::EndOfInput);
    EXPECT_EQ(input.Next(20).kind, Kind::None);
}

TEST(ConsoleInputTest, SignalsAreNotedAndReadHereRepeatsCountOnce) {
    StdinPipe in;  // no input: only the signals arrive
    platform::ConsoleInput input;
    ASSERT_TRUE(input.Open());
    platform::ConsoleInput second;
    EXPECT_FALSE(second.Open()) << "one per process";
    ::raise(SIGTERM);
    ::raise(SIGTERM);
    EXPECT_EQ(NextEvent(input).kind, Kind::Terminate);
    EXPECT_EQ(input.Next(20).kind, Kind::None);
    ::raise(SIGINT);
    EXPECT_EQ(NextEvent(input).kind, Kind::Interrupt);
    ::raise(SIGHUP);
    EXPECT_EQ(NextEvent(input).kind, Kind::Terminate);
    ::raise(SIGPIPE);  // ignored: an output that went away does not end the program
    EXPECT_EQ(input.Next(20).kind, Kind::None);
    input.Close();
    // Closed: the former handling is back.
    struct sigaction current {};
    ::sigaction(SIGTERM, nullptr, &current);
    EXPECT_EQ(current.sa_handler, SIG_DFL);
    EXPECT_TRUE(second.Open());
}

TEST(ConsoleInputTest, ConsoleTextIsUtf8) {
    EXPECT_EQ(platform::ToConsoleText(u"Unknown \u00E9"), "Unknown \xC3\xA9");
}

}  // namespace
