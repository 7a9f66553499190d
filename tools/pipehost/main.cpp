// pipehost: the server side of the named-pipe check. Serves "ping" and a zero byte to one client
// of "\\.\pipe\testpipe". Arguments are ignored.
#include <string_view>

#include "pipe_host.h"

int main() {
    try {
        return pipe_tools::RunPipeHost(std::string_view("ping\0", 5));
    } catch (...) {
        return 1;
    }
}
