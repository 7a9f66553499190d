// pipeprobe servername: the client side of the named-pipe check. Opens the pipe "testpipe" on
// the named machine ("." for this one), reads once and tells whether "ping" and a zero byte came.
#include <cstring>
#include <iostream>
#include <string>

#include "platform/named_pipe.h"
#include "platform/text.h"

namespace {

constexpr char kMessage[5] = {'p', 'i', 'n', 'g', '\0'};
constexpr std::size_t kReadSize = 255;

// Every line is flushed at once: whoever watches the console must see it even if we hang next.
void PrintLine(const char* text) { std::cout << text << std::endl; }

int Fail(const char* text, platform::PipeErrorCode error) {
    std::cout << text << error << std::endl;
    return 1;
}

int Probe(int argc, char* argv[]) {
    if (argc != 2) {
        PrintLine("Usage: pipeprobe servername");
        return 1;
    }
    // The server's name goes into the path byte for byte; Widen keeps every byte a code unit.
    const std::string path = std::string("\\\\") + argv[1] + "\\pipe\\testpipe";
    platform::PipeErrorCode error = 0;
    platform::NamedPipeClient pipe = platform::NamedPipeClient::Open(platform::Widen(path), error);
    if (!pipe) return Fail("Can't open pipe: ", error);

    char buffer[kReadSize] = {};
    const platform::PipeTransfer read = pipe.Read(buffer, sizeof buffer);
    if (read.ok && read.bytes == sizeof kMessage &&
        std::memcmp(buffer, kMessage, sizeof kMessage) == 0) {
        PrintLine("Success");
        return 0;
    }
    return Fail("Can't read from pipe: ", read.error);
}

}  // namespace

int main(int argc, char* argv[]) {
    try {
        return Probe(argc, argv);
    } catch (...) {
        return 1;
    }
}
