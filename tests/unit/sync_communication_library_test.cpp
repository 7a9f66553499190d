#include "manager/sync_communication_library.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "platform/registry.h"
#include "tests/unit/link_fakes.h"
#include "tests/unit/platform_test_support.h"

namespace {

using namespace link_test;
using synchronization::manager::SyncCommunicationLibrary;
using ::testing::ElementsAre;

const std::u16string kKey = u"Software\\R-Iri\\Synchronization";

const char* const kFailedConnect[] = {
    "Connecting to the synchronization service...",
    "Disconnecting from the synchronization service...",
    "Disconnected from the synchronization service",
    "Failed to connect to the synchronization service",
};

class NullListener : public voru::synchronization::extcomm::ISyncEvents {
  public:
    voru::synchronization::extcomm::SyncEventResult OnSyncEvent(
        const voru::synchronization::extcomm::SyncEventKind&, const char16_t*) override {
        return voru::synchronization::extcomm::NoAnswer;
    }
};

class LoaderTest : public ::testing::Test {
  protected:
    void SetUp() override { platform::DeleteRegistryValue(kKey, u"ExtCommunication"); }
    void TearDown() override {
        platform::DeleteRegistryValue(kKey, u"ExtCommunication");
        if (!scratchFile.empty()) std::remove(scratchFile.c_str());
    }
    void SetValue(std::uint32_t type, const std::u16string& text) {
        ASSERT_TRUE(platform::WriteRegistryValue(kKey, u"ExtCommunication", type,
                                                 platform::RegistryStringData(text)));
    }
    // A file that exists but is no library.
    std::u16string NotALibrary() {
        scratchFile = "sundra_link_not_a_library.txt";
        std::ofstream(scratchFile) << "plain text, no library\n";
        return platform::Widen(scratchFile);
    }

    sundra_test::RegistrySandbox sandbox;
    std::shared_ptr<RecordingLog> log = std::make_shared<RecordingLog>();
    std::shared_ptr<NullListener> listener = std::make_shared<NullListener>();
    std::string scratchFile;
};

TEST_F(LoaderTest, ConnectFailsWithItsFourLinesWhenNoLibraryCanBeLoaded) {
    struct Case {
        const char* what;
        bool write;
        std::uint32_t type;
        std::u16string value;
    };
    const Case cases[] = {
        {"value missing", false, platform::kRegSz, u""},
        {"value empty", true, platform::kRegSz, u""},
        {"no such file", true, platform::kRegSz, u"/nonexistent/sundra/no_library.so"},
        {"file is no library", true, platform::kRegSz, NotALibrary()},
        {"REG_EXPAND_SZ refused", true, platform::kRegExpandSz, NotALibrary()},
    };
    for (const auto& c : cases) {
        log->Clear();
        platform::DeleteRegistryValue(kKey, u"ExtCommunication");
        if (c.write) SetValue(c.type, c.value);
        SyncCommunicationLibrary loader(log);
        EXPECT_FALSE(loader.Connect(listener)) << c.what;
        EXPECT_FALSE(loader.IsConnected()) << c.what;
        EXPECT_EQ(loader.GetCommunication(), nullptr) << c.what;
        EXPECT_THAT(log->Lines(), ElementsAre(kFailedConnect[0], kFailedConnect[1],
                                              kFailedConnect[2], kFailedConnect[3]))
            << c.what;
    }
}

TEST_F(LoaderTest, DisconnectOfAnUnloadedLoaderWritesItsTwoLines) {
    SyncCommunicationLibrary loader(log);
    EXPECT_TRUE(loader.Disconnect());
    EXPECT_EQ(loader.GetCommunication(), nullptr);
    EXPECT_THAT(log->Lines(), ElementsAre("Disconnecting from the synchronization service...",
                                          "Disconnected from the synchronization service"));
}

TEST_F(LoaderTest, WithoutALogNothingIsWrittenAndNothingBreaks) {
    SyncCommunicationLibrary loader(nullptr);
    EXPECT_FALSE(loader.Connect(listener));
    EXPECT_TRUE(loader.Disconnect());
}

}  // namespace
