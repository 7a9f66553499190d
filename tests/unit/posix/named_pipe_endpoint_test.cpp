// How the console build maps pipe paths onto TCP endpoints, and the errno values its pipe
// errors carry (docs/pipe-tools.md).
#include <gtest/gtest.h>
#include <limits.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <string>

#include "../pipe_test_endpoint.h"
#include "platform/named_pipe.h"
#include "platform/text.h"

namespace {

using platform::ClientWait;
using platform::NamedPipeClient;
using platform::NamedPipeServer;
using platform::PipeErrorCode;

std::u16string PathTo(const std::string& server) {
    return platform::Widen("\\\\" + server + "\\pipe\\testpipe");
}

std::string UpperCaseHostName() {
    char name[HOST_NAME_MAX + 1] = {};
    gethostname(name, sizeof name - 1);
    std::string upper(name);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

struct OpenCase {
    const char* what;
    std::string path;
    PipeErrorCode error;
};

TEST(NamedPipeEndpoint, OpenFailuresCarryTheirErrno) {
    pipe_tests::PrivateTestPipePath();
    const OpenCase cases[] = {
        {"nothing listens", "\\\\.\\pipe\\testpipe", ECONNREFUSED},
        {"this machine by name, nothing listens", "\\\\" + UpperCaseHostName() + "\\pipe\\testpipe",
         ECONNREFUSED},
        {"pipe without a port", "\\\\.\\pipe\\otherpipe", ENOENT},
        {"server that does not resolve", "\\\\no-such-host.invalid\\pipe\\testpipe", EHOSTUNREACH},
        {"server name with a byte above 0x7F", "\\\\\xE9\\pipe\\testpipe", EHOSTUNREACH},
        {"one leading backslash", "\\.\\pipe\\testpipe", EINVAL},
        {"empty server", "\\\\\\pipe\\testpipe", EINVAL},
        {"not a pipe path", "\\\\.\\pipes\\testpipe", EINVAL},
        {"no pipe name", "\\\\.\\pipe\\", EINVAL},
    };
    for (const OpenCase& c : cases) {
        PipeErrorCode error = 0;
        NamedPipeClient client = NamedPipeClient::Open(platform::Widen(c.path), error);
        EXPECT_FALSE(client.IsValid()) << c.what;
        EXPECT_EQ(error, c.error) << c.what;
    }
}

TEST(NamedPipeEndpoint, ServerOnlyOnThisMachineAndOnlyForKnownPipes) {
    pipe_tests::PrivateTestPipePath();
    PipeErrorCode error = 0;
    EXPECT_FALSE(NamedPipeServer::Create(PathTo("otherhost"), error).IsValid());
    EXPECT_EQ(error, static_cast<PipeErrorCode>(EINVAL));
    EXPECT_FALSE(NamedPipeServer::Create(u"\\\\.\\pipe\\otherpipe", error).IsValid());
    EXPECT_EQ(error, static_cast<PipeErrorCode>(ENOENT));
}

TEST(NamedPipeEndpoint, ThisMachineByItsNameIsTheLoopback) {
    PipeErrorCode error = 0;
    NamedPipeServer server = NamedPipeServer::Create(pipe_tests::PrivateTestPipePath(), error);
    ASSERT_TRUE(server.IsValid()) << error;
    NamedPipeClient client = NamedPipeClient::Open(PathTo(UpperCaseHostName()), error);
    ASSERT_TRUE(client.IsValid()) << error;
    EXPECT_EQ(server.WaitForClient(error), ClientWait::ConnectedBeforeWait);
}

TEST(NamedPipeEndpoint, InstancesShareTheNameAndATakenOneTakesNoMore) {
    PipeErrorCode error = 0;
    NamedPipeServer first = NamedPipeServer::Create(pipe_tests::PrivateTestPipePath(), error);
    ASSERT_TRUE(first.IsValid()) << error;
    {
        NamedPipeServer second = NamedPipeServer::Create(pipe_tests::PrivateTestPipePath(), error);
        EXPECT_TRUE(second.IsValid()) << error;
    }
    NamedPipeClient client = NamedPipeClient::Open(PathTo("."), error);
    ASSERT_TRUE(client.IsValid()) << error;
    ASSERT_EQ(first.WaitForClient(error), ClientWait::ConnectedBeforeWait);

    NamedPipeClient late = NamedPipeClient::Open(PathTo("."), error);
    EXPECT_FALSE(late.IsValid());
    EXPECT_EQ(error, static_cast<PipeErrorCode>(ECONNREFUSED));
}

TEST(NamedPipeEndpoint, ServerEndingWithoutWritingIsABrokenPipe) {
    PipeErrorCode error = 0;
    NamedPipeServer server = NamedPipeServer::Create(pipe_tests::PrivateTestPipePath(), error);
    ASSERT_TRUE(server.IsValid()) << error;
    NamedPipeClient client = NamedPipeClient::Open(PathTo("."), error);
    ASSERT_TRUE(client.IsValid()) << error;
    ASSERT_NE(server.WaitForClient(error), ClientWait::Failed);
    server.Close();
    char buffer[16];
    const platform::PipeTransfer read = client.Read(buffer, sizeof buffer);
    EXPECT_FALSE(read.ok);
    EXPECT_EQ(read.error, static_cast<PipeErrorCode>(EPIPE));
}

}  // namespace
