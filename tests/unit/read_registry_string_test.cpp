#include "manager/read_registry_string.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/registry.h"
#include "tests/unit/platform_test_support.h"

namespace {

using platform::RegistryStringData;

const std::u16string kKey = u"Software\\R-Iri\\Synchronization";

struct ReadCase {
    const char* what;
    std::uint32_t type;
    std::vector<std::uint8_t> data;
    bool result;
    std::u16string text;
};

class ReadRegistryStringTest : public ::testing::Test {
  protected:
    void TearDown() override { platform::DeleteRegistryValue(kKey, kValue); }

    const std::u16string kValue = u"SundraTestReadValue";
    sundra_test::RegistrySandbox sandbox_;
};

TEST_F(ReadRegistryStringTest, TypesSizesAndTerminators) {
    const std::u16string path = u"C:\\Sync\\ExtCommunication.dll";
    const ReadCase cases[] = {
        {"plain REG_SZ", platform::kRegSz, RegistryStringData(path), true, path},
        {"REG_EXPAND_SZ with a valid path", platform::kRegExpandSz, RegistryStringData(path), false,
         u""},
        {"REG_SZ without terminator", platform::kRegSz, RegistryStringData(u"abc", false), true,
         u"abc"},
        {"REG_SZ stops at the first zero",
         platform::kRegSz,
         {'a', 0, 'b', 0, 0, 0, 'c', 0, 0, 0},
         true,
         u"ab"},
        {"empty REG_SZ", platform::kRegSz, RegistryStringData(u""), true, u""},
        {"REG_SZ of no bytes", platform::kRegSz, {}, false, u""},
        {"odd trailing byte dropped", platform::kRegSz, {'a', 0, 'b'}, true, u"a"},
        {"non-ASCII units kept", platform::kRegSz, RegistryStringData(u"C:\\Kart\u00E9\u0141"),
         true, u"C:\\Kart\u00E9\u0141"},
        {"REG_BINARY", platform::kRegBinary, RegistryStringData(u"abc"), false, u""},
        {"REG_DWORD", platform::kRegDword, {1, 0, 0, 0}, false, u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(platform::WriteRegistryValue(kKey, kValue, c.type, c.data));
        std::u16string output = u"stale";
        EXPECT_EQ(synchronization::manager::ReadRegistryString(kValue, output), c.result);
        EXPECT_EQ(output, c.text);
    }
}

TEST_F(ReadRegistryStringTest, MissingValueIsFalseAndClearsOutput) {
    std::u16string output = u"stale";
    EXPECT_FALSE(synchronization::manager::ReadRegistryString(u"SundraTestNoSuchValue", output));
    EXPECT_TRUE(output.empty());
}

TEST_F(ReadRegistryStringTest, ValueNamesIgnoreCase) {
    ASSERT_TRUE(
        platform::WriteRegistryValue(kKey, kValue, platform::kRegSz, RegistryStringData(u"x")));
    std::u16string output;
    EXPECT_TRUE(synchronization::manager::ReadRegistryString(u"sundratestreadvalue", output));
    EXPECT_EQ(output, u"x");
}

TEST(PlatformRegistry, KeyThatNobodyWroteOpensWithoutValues) {
    sundra_test::RegistrySandbox sandbox;
    // Opening creates the key where the store can (RegCreateKeyExW); the console build's
    // missing file is an empty store.
    platform::RegistryKey key =
        platform::RegistryKey::OpenForRead(u"Software\\SundraTest\\Unwritten");
    ASSERT_TRUE(key.IsValid());
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    EXPECT_FALSE(key.QueryTypeAndSize(u"App", type, size));
    key.Close();
    EXPECT_FALSE(key.IsValid());
    EXPECT_FALSE(key.QueryTypeAndSize(u"App", type, size));
}

TEST(PlatformRegistry, WriteQueryAndDeleteKeepTypesAndBytes) {
    sundra_test::RegistrySandbox sandbox;
    const std::u16string key = u"Software\\SundraTest\\Raw";
    const std::u16string name = u"SundraTestRaw";
    const std::vector<std::uint8_t> bytes = {0x00, 0xFF, 0x10, 0x7F, 0x80};
    struct {
        std::uint32_t type;
        std::vector<std::uint8_t> data;
    } cases[] = {
        {platform::kRegBinary, bytes},
        {platform::kRegDword, {0x2A, 0, 0, 0}},
        {platform::kRegExpandSz, RegistryStringData(u"%TEMP%\\x")},
        {platform::kRegSz, RegistryStringData(u"tab\there \"quoted\" back\\slash")},
        {platform::kRegBinary, {}},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(platform::WriteRegistryValue(key, name, c.type, c.data));
        platform::RegistryKey opened = platform::RegistryKey::OpenForRead(key);
        ASSERT_TRUE(opened.IsValid());
        std::uint32_t type = 0;
        std::uint32_t size = 99;
        ASSERT_TRUE(opened.QueryTypeAndSize(name, type, size));
        EXPECT_EQ(type, c.type);
        EXPECT_EQ(size, c.data.size());
        std::vector<std::uint8_t> data;
        ASSERT_TRUE(opened.QueryData(name, type, data));
        EXPECT_EQ(type, c.type);
        EXPECT_EQ(data, c.data);
    }
    EXPECT_TRUE(platform::DeleteRegistryValue(key, name));
    EXPECT_FALSE(platform::DeleteRegistryValue(key, name));
    platform::RegistryKey opened = platform::RegistryKey::OpenForRead(key);
    ASSERT_TRUE(opened.IsValid());
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    EXPECT_FALSE(opened.QueryTypeAndSize(name, type, size));
    std::vector<std::uint8_t> data;
    EXPECT_FALSE(opened.QueryData(name, type, data));
}

}  // namespace
