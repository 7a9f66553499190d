#include <gtest/gtest.h>

#include <filesystem>

#include "platform/current_directory.h"

namespace {

TEST(PlatformCurrentDirectory, ReportsTheDirectoryWhenItFits) {
    std::u16string directory;
    ASSERT_TRUE(platform::GetCurrentDirectory(4096, directory));
    EXPECT_EQ(directory, std::filesystem::current_path().u16string());
    ASSERT_FALSE(directory.empty());
    EXPECT_NE(directory.back(), platform::PathSeparator());
}

TEST(PlatformCurrentDirectory, TooSmallBufferFails) {
    std::u16string directory;
    ASSERT_TRUE(platform::GetCurrentDirectory(4096, directory));
    const std::size_t length = directory.size();

    std::u16string again = u"unchanged";
    // The text needs its terminator too: a buffer of exactly its length does not do.
    EXPECT_FALSE(platform::GetCurrentDirectory(length, again));
    EXPECT_FALSE(platform::GetCurrentDirectory(1, again));
    EXPECT_FALSE(platform::GetCurrentDirectory(0, again));
    EXPECT_TRUE(platform::GetCurrentDirectory(length + 1, again));
    EXPECT_EQ(again, directory);
}

TEST(PlatformCurrentDirectory, SeparatorMatchesTheFileSystem) {
    const auto separator = std::filesystem::path::preferred_separator;
    EXPECT_EQ(static_cast<char16_t>(separator), platform::PathSeparator());
}

}  // namespace
