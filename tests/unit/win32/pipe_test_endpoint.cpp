#include "../pipe_test_endpoint.h"

#include <windows.h>

#include <string>

#include "platform/text.h"

namespace pipe_tests {

// Windows takes any pipe name: one of this process's own keeps a running pipehost (or a test of
// the tools in the same Wine server) out of the way.
std::u16string PrivateTestPipePath() {
    return platform::Widen("\\\\.\\pipe\\testpipe-unit-" + std::to_string(GetCurrentProcessId()));
}

}  // namespace pipe_tests
