#include "pipe_host.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>

#include "platform/named_pipe.h"
#include "platform/text.h"

namespace pipe_tools {

namespace {

constexpr const char* kPipePath = "\\\\.\\pipe\\testpipe";
constexpr long kLongestTestDelayMs = 10000;

// Every line is flushed at once: whoever watches the console must see it even if we hang next.
void PrintLine(const char* text) { std::cout << text << std::endl; }

int Fail(const char* text, platform::PipeErrorCode error) {
    std::cout << text << error << std::endl;
    return 1;
}

bool NotesWanted() {
    const char* value = std::getenv("SUNDRA_PIPEHOST_NOTES");
    return value != nullptr && *value != '\0';
}

void Note(bool wanted, const char* text) {
    if (wanted) std::cerr << "pipehost: " << text << std::endl;
}

void PauseForTests() {
    const char* value = std::getenv("SUNDRA_PIPEHOST_DELAY_MS");
    if (value == nullptr) return;
    char* end = nullptr;
    const long delay = std::strtol(value, &end, 10);
    if (end == value || *end != '\0' || delay <= 0) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(delay, kLongestTestDelayMs)));
}

}  // namespace

int RunPipeHost(std::string_view message) {
    const bool notes = NotesWanted();
    platform::PipeErrorCode error = 0;
    platform::NamedPipeServer pipe =
        platform::NamedPipeServer::Create(platform::Widen(kPipePath), error);
    if (!pipe) return Fail("Can't create pipe: ", error);
    Note(notes, "pipe created");
    PauseForTests();

    // A client may open the pipe before we wait for it; the pipe is then already connected and
    // that client is served like any other.
    const platform::ClientWait wait = pipe.WaitForClient(error);
    if (wait == platform::ClientWait::Failed) return Fail("Can't connect to client: ", error);
    if (wait == platform::ClientWait::ConnectedBeforeWait) {
        Note(notes, "client connected before the wait");
    }

    const platform::PipeTransfer written = pipe.Write(message.data(), message.size());
    if (!written.ok || written.bytes != message.size()) {
        return Fail("Can't write to pipe: ", written.error);
    }
    PrintLine("Success");
    return 0;
}

}  // namespace pipe_tools
