#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/dynamic_library.h"
#include "tests/unit/platform_test_support.h"

namespace {

using platform::DynamicLibrary;

TEST(PlatformDynamicLibrary, LoadsTheTestLibraryAndFindsItsExport) {
    DynamicLibrary library = DynamicLibrary::Load(sundra_test::TestLibraryPath());
    ASSERT_TRUE(library.IsLoaded());
    using Add = int (*)(int, int);
    auto add = reinterpret_cast<Add>(library.Symbol("SundraTestAdd"));
    ASSERT_NE(add, nullptr);
    EXPECT_EQ(add(2, 3), 5);
    EXPECT_EQ(library.Symbol("SundraTestMissing"), nullptr);

    DynamicLibrary moved(std::move(library));
    EXPECT_FALSE(library.IsLoaded());
    EXPECT_TRUE(moved.IsLoaded());
    moved.Free();
    EXPECT_FALSE(moved.IsLoaded());
    EXPECT_EQ(moved.Symbol("SundraTestAdd"), nullptr);
}

TEST(PlatformDynamicLibrary, FilesThatAreNoLibraryDoNotLoad) {
    const auto folder = std::filesystem::temp_directory_path();
    const auto text = folder / "sundra-not-a-library.dll";
    {
        std::ofstream out(text, std::ios::binary);
        out << "This is a text file, not a library.\n";
    }
    EXPECT_FALSE(DynamicLibrary::Load(text.u16string()).IsLoaded());
    std::filesystem::remove(text);

    EXPECT_FALSE(
        DynamicLibrary::Load((folder / "sundra-no-such-library.dll").u16string()).IsLoaded());
    EXPECT_FALSE(DynamicLibrary::Load(u"").IsLoaded());
}

}  // namespace
