#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace {

namespace fs = std::filesystem;

const std::u16string kKey = u"Software\\R-Iri\\Synchronization";

// A registry file of the test's own, named through the environment as the program finds it.
class RegistryFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "sundra-regfile-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        path_ = folder_ / "registry.reg";
        ::setenv("SUNDRA_REGISTRY_FILE", path_.c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("SUNDRA_REGISTRY_FILE");
        fs::remove_all(folder_);
    }

    void WriteFile(const std::string& text) const {
        std::ofstream out(path_, std::ios::binary);
        out << text;
    }
    std::string ReadFile() const {
        std::ifstream in(path_, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // Type and bytes of a value, or type 0xFFFFFFFF when it is absent.
    std::pair<std::uint32_t, std::vector<std::uint8_t>> Value(const std::u16string& name,
                                                              const std::u16string& key = kKey) {
        platform::RegistryKey opened = platform::RegistryKey::OpenForRead(key);
        EXPECT_TRUE(opened.IsValid());
        std::uint32_t type = 0;
        std::vector<std::uint8_t> data;
        if (!opened.QueryData(name, type, data)) return {0xFFFFFFFFu, {}};
        return {type, data};
    }

    fs::path folder_;
    fs::path path_;
};

TEST_F(RegistryFileTest, ReadsEveryValueFormOfTheExport) {
    WriteFile(
        "Windows Registry Editor Version 5.00\r\n"
        "\r\n"
        "; the vendor's key\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\r-iri\\Synchronization]\r\n"
        "\"ExtCommunication\"=\"C:\\\\Sync\\\\lib \\\"x\\\".dll\"\r\n"
        "\"Utf8\"=\"K\xC3\xA4rt\xE2\x82\xAC\"\r\n"
        "\"NoTerminator\"=hex(1):41,00,42,00\r\n"
        "\"Expand\"=hex(2):25,00,54,00,\\\r\n"
        "  45,00,00,00\r\n"
        "\"Blob\"=hex:de,AD,be,ef\r\n"
        "\"Number\"=dword:0000002a\r\n"
        "\"Empty\"=\"\"\r\n"
        "@=\"default\"\r\n"
        "\r\n"
        "[HKEY_CURRENT_USER\\Software\\R-Iri\\Synchronization]\r\n"
        "\"App\"=\"not this root\"\r\n");

    using platform::RegistryStringData;
    EXPECT_EQ(Value(u"ExtCommunication"),
              std::make_pair(platform::kRegSz, RegistryStringData(u"C:\\Sync\\lib \"x\".dll")));
    EXPECT_EQ(Value(u"utf8"),
              std::make_pair(platform::kRegSz, RegistryStringData(u"K\u00E4rt\u20AC")));
    EXPECT_EQ(Value(u"NoTerminator"),
              std::make_pair(platform::kRegSz, std::vector<std::uint8_t>{0x41, 0, 0x42, 0}));
    EXPECT_EQ(Value(u"Expand"),
              std::make_pair(platform::kRegExpandSz,
                             std::vector<std::uint8_t>{0x25, 0, 0x54, 0, 0x45, 0, 0, 0}));
    EXPECT_EQ(Value(u"Blob"), std::make_pair(platform::kRegBinary,
                                             std::vector<std::uint8_t>{0xDE, 0xAD, 0xBE, 0xEF}));
    EXPECT_EQ(Value(u"Number"),
              std::make_pair(platform::kRegDword, std::vector<std::uint8_t>{0x2A, 0, 0, 0}));
    EXPECT_EQ(Value(u"Empty"), std::make_pair(platform::kRegSz, RegistryStringData(u"")));
    EXPECT_EQ(Value(u""), std::make_pair(platform::kRegSz, RegistryStringData(u"default")));
    EXPECT_EQ(Value(u"App").first, 0xFFFFFFFFu) << "another root's key is not ours";
}

TEST_F(RegistryFileTest, BadLinesAreSkippedAndLaterLinesWin) {
    WriteFile(
        "Windows Registry Editor Version 5.00\n"
        "\"Outside\"=\"before any key\"\n"
        "[HKEY_LOCAL_MACHINE\\Software\\R-Iri\\Synchronization]\n"
        "\"Unescaped\"=\"C:\\Sync\"\n"
        "\"Unterminated\"=\"abc\n"
        "\"BadHex\"=hex:4g,00\n"
        "\"BadDword\"=dword:123456789\n"
        "\"NoEquals\" \"x\"\n"
        "garbage line\n"
        "[broken section\n"
        "\"App\"=\"first\"\n"
        "\"Gone\"=\"here\"\n"
        "[HKEY_LOCAL_MACHINE\\Software\\R-Iri\\Synchronization]\n"
        "\"app\"=\"second\"\n"
        "\"Gone\"=-\n"
        "\"Tail\"=hex:01,02,\\\n");  // continuation with nothing after it

    for (const char16_t* name : {u"Outside", u"Unescaped", u"Unterminated", u"BadHex", u"BadDword",
                                 u"NoEquals", u"Gone"}) {
        EXPECT_EQ(Value(name).first, 0xFFFFFFFFu) << std::string(name, name + 3);
    }
    EXPECT_EQ(Value(u"App").second, platform::RegistryStringData(u"second"));
    EXPECT_EQ(Value(u"Tail").first, 0xFFFFFFFFu);
}

TEST_F(RegistryFileTest, MissingFileIsAnEmptyStoreAndTheVariableIsReadAtEveryOpen) {
    EXPECT_EQ(Value(u"App").first, 0xFFFFFFFFu);
    EXPECT_FALSE(fs::exists(path_)) << "reading creates nothing";

    const fs::path other = folder_ / "other.reg";
    {
        std::ofstream out(other);
        out << "Windows Registry Editor Version 5.00\n\n"
               "[HKEY_LOCAL_MACHINE\\Software\\R-Iri\\Synchronization]\n\"App\"=\"other\"\n";
    }
    ::setenv("SUNDRA_REGISTRY_FILE", other.c_str(), 1);
    EXPECT_EQ(Value(u"App").second, platform::RegistryStringData(u"other"));
}

TEST_F(RegistryFileTest, UnreadableFileFailsTheOpen) {
    fs::create_directory(path_);  // a folder where the file should be
    EXPECT_FALSE(platform::RegistryKey::OpenForRead(kKey).IsValid());
}

TEST_F(RegistryFileTest, WritingCreatesTheFileWithItsHeader) {
    ASSERT_TRUE(platform::WriteRegistryValue(kKey, u"App", platform::kRegSz,
                                             platform::RegistryStringData(u"/opt/a \"b\"\\c")));
    EXPECT_EQ(ReadFile(),
              "Windows Registry Editor Version 5.00\n"
              "\n"
              "[HKEY_LOCAL_MACHINE\\Software\\R-Iri\\Synchronization]\n"
              "\"App\"=\"/opt/a \\\"b\\\"\\\\c\"\n"
              "\n");
    EXPECT_EQ(Value(u"App").second, platform::RegistryStringData(u"/opt/a \"b\"\\c"));
}

TEST_F(RegistryFileTest, RewritingKeepsEverythingElseAndLeavesNoTemporaryFile) {
    const std::string original =
        "Windows Registry Editor Version 5.00\n"
        "\n"
        "; kept comment\n"
        "[HKEY_LOCAL_MACHINE\\Software\\R-Iri\\Synchronization]\n"
        "\"App\"=\"old\"\n"
        "\"Long\"=hex:00,01,\\\n"
        "  02\n"
        "odd line kept\n"
        "\n"
        "[HKEY_CURRENT_USER\\Software\\Other]\n"
        "\"X\"=\"y\"\n";
    WriteFile(original);

    ASSERT_TRUE(platform::WriteRegistryValue(u"software\\r-iri\\synchronization", u"APP",
                                             platform::kRegSz,
                                             platform::RegistryStringData(u"new")));
    ASSERT_TRUE(platform::WriteRegistryValue(kKey, u"Path", platform::kRegSz,
                                             platform::RegistryStringData(u"/var/x", false)));
    ASSERT_TRUE(
        platform::WriteRegistryValue(u"Software\\Fresh", u"N", platform::kRegDword, {1, 2, 3, 4}));
    EXPECT_EQ(ReadFile(),
              "Windows Registry Editor Version 5.00\n"
              "\n"
              "; kept comment\n"
              "[HKEY_LOCAL_MACHINE\\Software\\R-Iri\\Synchronization]\n"
              "\"APP\"=\"new\"\n"
              "\"Long\"=hex:00,01,\\\n"
              "  02\n"
              "odd line kept\n"
              "\"Path\"=hex(1):2f,00,76,00,61,00,72,00,2f,00,78,00\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software\\Other]\n"
              "\"X\"=\"y\"\n"
              "\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Fresh]\n"
              "\"N\"=dword:04030201\n"
              "\n");
    EXPECT_EQ(Value(u"Long").second, (std::vector<std::uint8_t>{0, 1, 2}));

    ASSERT_TRUE(platform::DeleteRegistryValue(kKey, u"app"));
    EXPECT_EQ(Value(u"App").first, 0xFFFFFFFFu);
    EXPECT_EQ(Value(u"Path").second, platform::RegistryStringData(u"/var/x", false));

    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_)) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names, std::vector<std::string>{"registry.reg"});
}

TEST_F(RegistryFileTest, LongBinaryValuesWrapAndReadBack) {
    std::vector<std::uint8_t> bytes(200);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);
    ASSERT_TRUE(platform::WriteRegistryValue(kKey, u"Big", 0x2A, bytes));
    const std::string text = ReadFile();
    EXPECT_NE(text.find("\"Big\"=hex(2a):"), std::string::npos);
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 80u) << line;
    EXPECT_EQ(Value(u"Big"), std::make_pair(std::uint32_t{0x2A}, bytes));
}

TEST_F(RegistryFileTest, ExportOfRegeditInUtf16IsRead) {
    const std::u16string text =
        u"\uFEFFWindows Registry Editor Version 5.00\r\n\r\n"
        u"[HKEY_LOCAL_MACHINE\\Software\\R-Iri\\Synchronization]\r\n"
        u"\"App\"=\"C:\\\\Sync\\\\svc\u00E9.exe\"\r\n";
    std::string bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    WriteFile(bytes);
    EXPECT_EQ(Value(u"App").second, platform::RegistryStringData(u"C:\\Sync\\svc\u00E9.exe"));
}

}  // namespace
