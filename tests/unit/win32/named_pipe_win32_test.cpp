// The Win32 error codes that the pipe tools print for the usual failures.
#include <gtest/gtest.h>
#include <windows.h>

#include "../pipe_test_endpoint.h"
#include "platform/named_pipe.h"

namespace {

using platform::ClientWait;
using platform::NamedPipeClient;
using platform::NamedPipeServer;
using platform::PipeErrorCode;

TEST(NamedPipeWin32, ErrorCodesOfTheUsualFailures) {
    const std::u16string path = pipe_tests::PrivateTestPipePath();
    PipeErrorCode error = 0;
    EXPECT_FALSE(NamedPipeClient::Open(path, error).IsValid());
    EXPECT_EQ(error, static_cast<PipeErrorCode>(ERROR_FILE_NOT_FOUND)) << "no instance";

    NamedPipeServer server = NamedPipeServer::Create(path, error);
    ASSERT_TRUE(server.IsValid()) << error;
    NamedPipeClient client = NamedPipeClient::Open(path, error);
    ASSERT_TRUE(client.IsValid()) << error;
    ASSERT_EQ(server.WaitForClient(error), ClientWait::ConnectedBeforeWait);

    EXPECT_FALSE(NamedPipeClient::Open(path, error).IsValid());
    EXPECT_EQ(error, static_cast<PipeErrorCode>(ERROR_PIPE_BUSY)) << "only instance taken";

    server.Close();
    char buffer[16];
    const platform::PipeTransfer read = client.Read(buffer, sizeof buffer);
    EXPECT_FALSE(read.ok);
    EXPECT_EQ(read.error, static_cast<PipeErrorCode>(ERROR_BROKEN_PIPE)) << "server gone";
}

}  // namespace
