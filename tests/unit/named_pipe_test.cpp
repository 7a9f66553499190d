#include "platform/named_pipe.h"

#include <gtest/gtest.h>

#include <string>

#include "pipe_test_endpoint.h"

namespace {

using platform::ClientWait;
using platform::NamedPipeClient;
using platform::NamedPipeServer;
using platform::PipeErrorCode;

// "\\.\pipe\testpipe" as a client names it: the server "." and the pipe's name.
std::u16string ClientPath() { return pipe_tests::PrivateTestPipePath(); }

struct ConnectedPair {
    NamedPipeServer server;
    NamedPipeClient client;
};

// The client opens before the server waits: the order in which a fast client meets a host.
ConnectedPair ConnectEarly() {
    ConnectedPair pair;
    PipeErrorCode error = 12345;
    pair.server = NamedPipeServer::Create(pipe_tests::PrivateTestPipePath(), error);
    EXPECT_TRUE(pair.server.IsValid()) << "create error " << error;
    EXPECT_EQ(error, 0u);
    error = 12345;
    pair.client = NamedPipeClient::Open(ClientPath(), error);
    EXPECT_TRUE(pair.client.IsValid()) << "open error " << error;
    EXPECT_EQ(error, 0u);
    error = 12345;
    EXPECT_EQ(pair.server.WaitForClient(error), ClientWait::ConnectedBeforeWait) << error;
    return pair;
}

TEST(NamedPipe, ClientThatOpenedBeforeTheWaitIsServed) {
    ConnectedPair pair = ConnectEarly();
    ASSERT_TRUE(pair.server && pair.client);

    const char message[5] = {'p', 'i', 'n', 'g', '\0'};
    const platform::PipeTransfer written = pair.server.Write(message, sizeof message);
    EXPECT_TRUE(written.ok) << written.error;
    EXPECT_EQ(written.bytes, 5u);

    char buffer[255] = {};
    const platform::PipeTransfer read = pair.client.Read(buffer, sizeof buffer);
    ASSERT_TRUE(read.ok) << read.error;
    ASSERT_EQ(read.bytes, 5u);
    EXPECT_EQ(std::string(buffer, 5), std::string(message, 5));
}

TEST(NamedPipe, ReadTakesNoMoreThanAsked) {
    ConnectedPair pair = ConnectEarly();
    ASSERT_TRUE(pair.server && pair.client);
    ASSERT_TRUE(pair.server.Write("ping", 4).ok);

    char buffer[8] = {};
    const platform::PipeTransfer read = pair.client.Read(buffer, 3);
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_EQ(read.bytes, 3u);
    EXPECT_EQ(std::string(buffer), "pin");
}

TEST(NamedPipe, ReadFailsWhenTheServerEndsWithoutWriting) {
    ConnectedPair pair = ConnectEarly();
    ASSERT_TRUE(pair.server && pair.client);
    pair.server.Close();

    char buffer[255] = {};
    const platform::PipeTransfer read = pair.client.Read(buffer, sizeof buffer);
    EXPECT_FALSE(read.ok);
    EXPECT_EQ(read.bytes, 0u);
    EXPECT_NE(read.error, 0u);
}

TEST(NamedPipe, OpenFailsWhenNoServerWaits) {
    pipe_tests::PrivateTestPipePath();
    PipeErrorCode error = 0;
    NamedPipeClient client = NamedPipeClient::Open(ClientPath(), error);
    EXPECT_FALSE(client.IsValid());
    EXPECT_NE(error, 0u);
}

TEST(NamedPipe, MovedHandleKeepsTheConnection) {
    ConnectedPair pair = ConnectEarly();
    NamedPipeServer server = std::move(pair.server);
    NamedPipeClient client;
    client = std::move(pair.client);
    EXPECT_FALSE(pair.server.IsValid());
    EXPECT_FALSE(pair.client.IsValid());
    ASSERT_TRUE(server.Write("ab", 2).ok);
    char buffer[4] = {};
    const platform::PipeTransfer read = client.Read(buffer, sizeof buffer);
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_EQ(std::string(buffer, read.bytes), "ab");
}

}  // namespace
