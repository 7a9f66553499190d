// The coordinator on a real user-interface loop with the real map application in its own process.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "data_objects/voru_databases_object.h"
#include "manager/lock_query.h"
#include "messaging/message_codes.h"
#include "platform/process.h"
#include "platform/text.h"
#include "platform/window.h"
#include "tests/integration/coord/coord_test_support.h"

namespace {

using application::data_objects::VoruDatabasesObject;
using synchronization::manager::LockQuery;
namespace msg = synchronization::messaging;

class NullManager : public synchronization::manager::ISynchronizationManager {
  public:
    std::uint32_t Lock(const std::u16string&, const std::u16string&, bool) override {
        return ++next;
    }
    std::uint32_t Unlock(const std::uint32_t&) override { return ++next; }
    std::uint32_t next = 100;
};

class Lines : public synchronization::logging::ISynchronizationLogging {
  public:
    bool OnMessage(std::uint32_t, platform::WParam, platform::LParam) override { return false; }
    bool Log(const std::u16string& text) override { return Log(platform::Narrow(text)); }
    bool Log(const std::string& text) override {
        lines.push_back(text);
        return true;
    }
    long Count(const std::string& line) const {
        return std::count(lines.begin(), lines.end(), line);
    }
    std::vector<std::string> lines;
};

class NullSender : public synchronization::messaging::IMessageSender {
  public:
    bool Post(std::uint32_t, platform::WParam, platform::LParam) override { return true; }
    bool Post(std::uint32_t) override { return true; }
};

class MapAppTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(
            window.Create([this](platform::WindowHandle from, const platform::CopyDataRecord& r) {
                return static_cast<std::intptr_t>(coordinator->HandleCopyData(from, &r));
            }));
        coordinator = std::make_unique<VoruDatabasesObject>(
            std::make_shared<NullManager>(), log, std::make_shared<NullSender>(), window.Handle());
        coordinator->OnMessage(msg::WM_SYNC_CONNECTION_CONFIRMED, 0, 0);
    }
    void TearDown() override {
        if (mapAppPid == 0) return;
        // The map application ends by itself once the program's window is gone; force is the
        // last resort (under Wine a killed console program can leave its console host behind).
        window.Destroy();
        auto running = [this] {
            std::vector<std::uint32_t> ids;
            platform::ListProcessIds(ids);
            return std::find(ids.begin(), ids.end(), mapAppPid) != ids.end();
        };
        for (int waited = 0; waited < 5000 && running(); waited += 20) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (running()) platform::KillProcess(mapAppPid, 5000);
    }

    // Starts the map application and runs the user-interface loop until it has registered.
    void StartMapApp(const std::string& arguments) {
        const std::string program = coordtest::NativePath(COORD_MAPAPP);
        const std::string line =
            "\"" + program + "\" --target=" + window.MapAppTarget() + " " + arguments;
        std::filesystem::create_directories(COORD_WORK_DIR);
        ASSERT_TRUE(platform::StartProgram(platform::Widen(program), platform::Widen(line),
                                           platform::Widen(coordtest::NativePath(COORD_WORK_DIR)),
                                           0, &mapAppPid));
        ASSERT_TRUE(window.PumpUntil(15000, [this] { return coordinator->MapAppWindow() != 0; }));
    }

    bool Ask(std::uint32_t code) {
        LockQuery query{u"Duzaduza Databases", u"Databases", true};
        EXPECT_TRUE(coordinator->OnMessage(code, reinterpret_cast<platform::WParam>(&query), 0));
        return query.answer;
    }

    coordtest::MainWindowHarness window;
    std::shared_ptr<Lines> log = std::make_shared<Lines>();
    std::unique_ptr<VoruDatabasesObject> coordinator;
    std::uint32_t mapAppPid = 0;
};

TEST_F(MapAppTest, ConsentGivenDuringTheSendAnswersTheReadinessQuestionYes) {
    StartMapApp("--consent=always --exit-after=30000");
    EXPECT_EQ(log->Count("Databases: Map app detected and registered"), 1);
    EXPECT_EQ(coordinator->Status()[13], 0);
    EXPECT_TRUE(Ask(msg::WM_SYNC_WRITE_LOCK_READINESS));
    EXPECT_EQ(coordinator->Status()[13], 1);
    EXPECT_TRUE(Ask(msg::WM_SYNC_WRITE_LOCK_REQUEST));
    EXPECT_EQ(coordinator->Status()[3], 1);
}

TEST_F(MapAppTest, RefusalKeepsTheServiceWaitingForConsent) {
    StartMapApp("--consent=never --exit-after=30000");
    EXPECT_FALSE(Ask(msg::WM_SYNC_WRITE_LOCK_READINESS));
    EXPECT_EQ(coordinator->Status()[6], 1);
    EXPECT_FALSE(Ask(msg::WM_SYNC_WRITE_LOCK_REQUEST));
}

TEST_F(MapAppTest, ProtectionAndShutDownReachTheCoordinator) {
    StartMapApp("--protect --exit-after=1500");
    const platform::WindowHandle peer = coordinator->MapAppWindow();
    EXPECT_TRUE(platform::IsWindow(peer));
    EXPECT_EQ(coordinator->Status()[4], 1);
    EXPECT_EQ(log->Count("Databases: Write lock request initiated"), 1);
    ASSERT_TRUE(window.PumpUntil(15000, [this] { return coordinator->MapAppWindow() == 0; }));
    EXPECT_EQ(log->Count("Databases: Map app shutting down, unregistered"), 1);
    // Once the map application is gone, its window no longer exists.
    EXPECT_TRUE(window.PumpUntil(15000, [peer] { return !platform::IsWindow(peer); }));
}

TEST_F(MapAppTest, AMapAppThatNeverAnswersHoldsTheUserInterfaceOnlyForTheBound) {
    const auto marker = std::filesystem::path(COORD_WORK_DIR) / "mapapp.not-answering";
    std::filesystem::remove(marker);
    StartMapApp("--no-answer --exit-after=5000");
    // Registration ends inside the map application's own send; only after that does it stop
    // taking blocks.
    ASSERT_TRUE(window.PumpUntil(15000, [&] { return std::filesystem::exists(marker); }));
    constexpr std::uint32_t kBoundMs = 500;
    coordinator->SetSendTimeout(kBoundMs);
    for (std::uint32_t code : {msg::WM_SYNC_WRITE_LOCK_READINESS, msg::WM_SYNC_WRITE_LOCK_REQUEST,
                               msg::WM_SYNC_WRITE_LOCK_READINESS}) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(Ask(code));
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count();
        std::printf("question %u answered after %lld ms\n", code, static_cast<long long>(ms));
        // Not a measurement: a send without a bound would never come back at all.
        EXPECT_LT(ms, kBoundMs + 10000);
    }
    EXPECT_EQ(log->Count("Databases: Map app did not take the status in time"), 3);
}

}  // namespace
