// A pipehost that sends "ping" without the terminating zero byte: the server that pipeprobe must
// refuse. Everything else (pipe, waiting, output lines, test notes) is pipehost's own.
#include <string_view>

#include "pipe_host.h"

int main() {
    try {
        return pipe_tools::RunPipeHost(std::string_view("ping", 4));
    } catch (...) {
        return 1;
    }
}
