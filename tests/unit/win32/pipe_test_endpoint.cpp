#include "../pipe_test_endpoint.h"

namespace pipe_tests {

// Named pipes are private to the machine (under Wine: to the Wine server of the test run).
std::u16string PrivateTestPipePath() { return u"\\\\.\\pipe\\testpipe"; }

}  // namespace pipe_tests
