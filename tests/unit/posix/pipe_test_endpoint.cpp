#include "../pipe_test_endpoint.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace pipe_tests {

// The console build's pipe "testpipe" is a TCP port; SUNDRA_PIPE_PORT moves it to a port that
// the kernel has just handed out as free.
std::u16string PrivateTestPipePath() {
    static const bool moved = [] {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (fd < 0) return false;
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        socklen_t size = sizeof address;
        const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0;
        ::close(fd);
        return ok && ::setenv("SUNDRA_PIPE_PORT", std::to_string(ntohs(address.sin_port)).c_str(),
                              1) == 0;
    }();
    (void)moved;
    return u"\\\\.\\pipe\\testpipe";
}

}  // namespace pipe_tests
