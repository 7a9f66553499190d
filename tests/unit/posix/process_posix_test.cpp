#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/process.h"

namespace {

// An ended program started by StartProgram must not linger as a zombie: it would stay in the
// process list, and a service that ended would still look as if it ran.
TEST(PosixProcess, EndedProgramsAreCollectedByTheNextListing) {
    std::uint32_t pid = 0;
    ASSERT_TRUE(platform::StartProgram(u"/bin/true", u"\"/bin/true\" -x", u"/", 0, &pid));
    ASSERT_NE(pid, 0u);
    std::vector<std::uint32_t> ids;
    bool gone = false;
    for (int i = 0; i < 500 && !gone; ++i) {
        ASSERT_TRUE(platform::ListProcessIds(ids));
        gone = std::find(ids.begin(), ids.end(), pid) == ids.end();
        if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(gone);
    // Already collected: nothing is left to wait for.
    int status = 0;
    EXPECT_EQ(::waitpid(static_cast<pid_t>(pid), &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST(PosixProcess, AProgramThatCannotStartIsReportedAndTheImagePathIsTheRealFile) {
    EXPECT_FALSE(platform::StartProgram(u"/nonexistent/svc.exe",
                                        u"\"/nonexistent/svc.exe\" -noservice", u"/", 0));
    EXPECT_FALSE(platform::StartProgram(u"/bin/true", u"\"/bin/true\"", u"/nonexistent-dir", 0));
    std::u16string path;
    ASSERT_TRUE(platform::GetProcessImagePath(platform::CurrentProcessId(), path));
    EXPECT_NE(path.find(u"unit_tests"), std::u16string::npos);
}

}  // namespace
