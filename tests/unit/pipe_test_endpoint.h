#pragma once

#include <string>

namespace pipe_tests {

// The local path of the pipe that the tests of the pipe layer use, made private to this test
// process where the platform allows it, so that a pipehost running on the machine (or another
// test run) never answers in its place.
std::u16string PrivateTestPipePath();

}  // namespace pipe_tests
