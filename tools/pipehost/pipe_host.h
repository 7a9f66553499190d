#pragma once

#include <string_view>

namespace pipe_tools {

// Creates an instance of the pipe "\\.\pipe\testpipe", waits for one client, writes `message`
// to it in one write and reports the outcome as one line on standard output. Returns the
// program's exit code: 0 on success, 1 on any failure.
//
// For the tests of the two tools, two environment variables let a test watch and steer the
// host; neither changes what is written or printed on standard output:
//   SUNDRA_PIPEHOST_NOTES    (non-empty) notes on standard error: "pipehost: pipe created" once
//                            the pipe exists, "pipehost: client connected before the wait" when
//                            a client opened it before the host started to wait;
//   SUNDRA_PIPEHOST_DELAY_MS a pause between creating the pipe and waiting for the client
//                            (at most 10000 ms), so that a client can open the pipe first.
int RunPipeHost(std::string_view message);

}  // namespace pipe_tools
