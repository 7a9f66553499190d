// The watchdog with real processes: copies of the stand-in programs under the names the watchdog
// looks for, the configuration store written by the test, a recording message sender and log.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "messaging/message_codes.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "tests/integration/coord/coord_test_support.h"
#include "watchdog/synchronization_watchdog.h"

namespace {

namespace fs = std::filesystem;
namespace msg = synchronization::messaging;
using synchronization::watchdog::SynchronizationWatchdog;

const std::u16string kKey = u"Software\\R-Iri\\Synchronization";

class Recorder : public synchronization::messaging::IMessageSender,
                 public synchronization::logging::ISynchronizationLogging {
  public:
    bool Post(std::uint32_t code, platform::WParam, platform::LParam) override {
        return Post(code);
    }
    bool Post(std::uint32_t code) override {
        std::lock_guard<std::mutex> lock(mutex_);
        codes_.push_back(code);
        return true;
    }
    bool OnMessage(std::uint32_t, platform::WParam, platform::LParam) override { return false; }
    bool Log(const std::u16string& text) override { return Log(platform::Narrow(text)); }
    bool Log(const std::string& text) override {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.push_back(text);
        return true;
    }
    std::vector<std::uint32_t> Codes() {
        std::lock_guard<std::mutex> lock(mutex_);
        return codes_;
    }
    std::vector<std::string> Lines() {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }
    long CountLine(const std::string& line) {
        const auto all = Lines();
        return std::count(all.begin(), all.end(), line);
    }
    // Waits (bounded) until the condition holds.
    template <typename Condition>
    bool WaitFor(Condition condition, int ms = 20000) {
        for (int waited = 0; waited < ms; waited += 10) {
            if (condition()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return condition();
    }

  private:
    std::mutex mutex_;
    std::vector<std::uint32_t> codes_;
    std::vector<std::string> lines_;
};

class WatchdogTest : public testing::Test {
  protected:
    void SetUp() override {
        work = fs::path(COORD_WORK_DIR) /
               testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(work);
        fs::create_directories(work / "service");
        fs::create_directories(work / "elsewhere");
        coordtest::UseRegistryFile((work / "registry.reg").string());
        platform::DeleteRegistryValue(kKey, u"App");
        platform::DeleteRegistryValue(kKey, u"Path");
    }
    void TearDown() override {
        // The stand-ins end by themselves on a stop file in their directory; force is the last
        // resort (under Wine a killed console program can leave its console host behind).
        for (const char* dir : {"service", "elsewhere", "upper", "lower"}) {
            if (!fs::exists(work / dir)) continue;
            std::ofstream(work / dir / "syncservice.stop") << "stop\n";
            std::ofstream(work / dir / "chartmodifier.stop") << "stop\n";
        }
        recorder->WaitFor(
            [this] {
                std::vector<std::uint32_t> ids;
                platform::ListProcessIds(ids);
                for (const auto pid : started) {
                    if (std::find(ids.begin(), ids.end(), pid) != ids.end()) return false;
                }
                return true;
            },
            5000);
        std::vector<std::uint32_t> ids;
        platform::ListProcessIds(ids);
        for (const auto pid : started) {
            if (std::find(ids.begin(), ids.end(), pid) != ids.end())
                platform::KillProcess(pid, 5000);
        }
        platform::DeleteRegistryValue(kKey, u"App");
        platform::DeleteRegistryValue(kKey, u"Path");
    }

    // Copies a stand-in program to a file of the given name (a copy: the image name is the name
    // of the file that was started).
    fs::path Copy(const char* program, const fs::path& to) {
        fs::copy_file(program, to, fs::copy_options::overwrite_existing);
        return to;
    }
    void SetValue(const char16_t* name, const fs::path& value) {
        ASSERT_TRUE(platform::WriteRegistryValue(
            kKey, name, platform::kRegSz,
            platform::RegistryStringData(platform::Widen(coordtest::NativePath(value.string())))));
    }
    void Run(const fs::path& program, const std::string& arguments = "--exit-after=60000") {
        const std::string path = coordtest::NativePath(program.string());
        std::uint32_t pid = 0;
        ASSERT_TRUE(platform::StartProgram(
            platform::Widen(path), platform::Widen("\"" + path + "\" " + arguments),
            platform::Widen(coordtest::NativePath(program.parent_path().string())), 0, &pid));
        started.push_back(pid);
    }
    std::string Journal() {
        std::ifstream in(work / "service" / "syncservice.journal");
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    // The scan reports (1237/1238) of every poll that began after the first `from` codes.
    static std::vector<std::uint32_t> ScanReports(const std::vector<std::uint32_t>& codes,
                                                  std::size_t from) {
        std::vector<std::uint32_t> out;
        for (std::size_t i = from; i < codes.size(); ++i) {
            if (codes[i] == msg::WM_SYNC_CHART_MODIFIER_DETECTED ||
                codes[i] == msg::WM_SYNC_CHART_MODIFIERS_CLOSED) {
                out.push_back(codes[i]);
            }
        }
        return out;
    }
    static long Polls(const std::vector<std::uint32_t>& codes, std::size_t from) {
        return std::count_if(codes.begin() + from, codes.end(),
                             [](std::uint32_t c) { return c == msg::WM_SYNC_SERVICE_RUNNING; });
    }

    fs::path work;
    std::vector<std::uint32_t> started;
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
};

TEST_F(WatchdogTest, ChartModifyingApplicationsAreKnownByTheirExactImageName) {
    // The service runs from another directory than "App" names: its file name is what counts.
    SetValue(u"App", Copy(COORD_SYNCSERVICE, work / "service" / "CoordSyncSim.exe"));
    SetValue(u"Path", work / "service");
    Run(Copy(COORD_SYNCSERVICE, work / "elsewhere" / "CoordSyncSim.exe"),
        "-noservice --exit-after=60000");
    fs::create_directories(work / "upper");
    fs::create_directories(work / "lower");
    Copy(COORD_CHARTMODIFIER, work / "upper" / "Setup.exe");
    Copy(COORD_CHARTMODIFIER, work / "lower" / "setup.exe");

    SynchronizationWatchdog watchdog(recorder, recorder, 50);
    // The lower-case look-alike is not a chart-modifying application.
    Run(work / "lower" / "setup.exe");
    std::size_t mark = recorder->Codes().size();
    ASSERT_TRUE(recorder->WaitFor([&] { return Polls(recorder->Codes(), mark) >= 3; }));
    auto reports = ScanReports(recorder->Codes(), mark);
    EXPECT_EQ(std::count(reports.begin(), reports.end(), msg::WM_SYNC_CHART_MODIFIER_DETECTED), 0);

    Run(work / "upper" / "Setup.exe");
    ASSERT_TRUE(recorder->WaitFor([&] {
        const auto r = ScanReports(recorder->Codes(), mark);
        return std::count(r.begin(), r.end(), msg::WM_SYNC_CHART_MODIFIER_DETECTED) > 0;
    }));
    // The service was found every time, so nothing was started.
    const auto codes = recorder->Codes();
    EXPECT_EQ(std::count(codes.begin(), codes.end(), msg::WM_SYNC_SERVICE_NOT_RUNNING), 0);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), msg::WM_SYNC_SERVICE_STARTED), 0);
    EXPECT_EQ(recorder->CountLine("Watchdog: Starting synchronization service..."), 0);
}

TEST_F(WatchdogTest, StartsTheMissingServiceAndStopsItWhenDestroyed) {
    const fs::path service = Copy(COORD_SYNCSERVICE, work / "service" / "CoordSyncSim.exe");
    SetValue(u"App", service);
    SetValue(u"Path", work / "service");
    {
        // One poll only: the next would come after a minute.
        SynchronizationWatchdog watchdog(recorder, recorder, 60000);
        ASSERT_TRUE(recorder->WaitFor([&] {
            return recorder->CountLine("Watchdog: Synchronization service has been started") +
                       recorder->CountLine("Watchdog: Failed to start synchronization service") >
                   0;
        }));
        EXPECT_EQ(recorder->Codes(),
                  (std::vector<std::uint32_t>{
                      msg::WM_SYNC_CHART_MODIFIERS_CLOSED, msg::WM_SYNC_SERVICE_NOT_RUNNING,
                      msg::WM_SYNC_CHART_MODIFIERS_CLOSED, msg::WM_SYNC_SERVICE_STARTED}));
        EXPECT_EQ(
            recorder->Lines(),
            (std::vector<std::string>{"Watchdog: Starting synchronisation service watchdog...",
                                      "Watchdog: Initializing synchronisation service watchdog...",
                                      "Watchdog: Synchronization service watchdog is active",
                                      "Watchdog: Starting synchronization service...",
                                      "Watchdog: Synchronization service has been started"}));
        // The started program got the quoted path and " -noservice", in the directory "Path".
        ASSERT_TRUE(recorder->WaitFor([&] { return Journal() == "-noservice\n"; }));
    }
    const auto codes = recorder->Codes();
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(codes.back(), msg::WM_SYNC_SERVICE_STOPPED);
    const auto lines = recorder->Lines();
    const std::vector<std::string> tail(lines.end() - 3, lines.end());
    EXPECT_EQ(tail, (std::vector<std::string>{
                        "Watchdog: Stopping synchronisation service watchdog...",
                        "Watchdog: Synchronisation service watchdog has been stopped",
                        "Watchdog: Stopping the synchronization service..."}));
    // " -stop" ends the running copy.
    EXPECT_TRUE(recorder->WaitFor([&] { return Journal() == "-noservice\n-stop\n"; }));
    EXPECT_TRUE(
        recorder->WaitFor([&] { return !fs::exists(work / "service" / "syncservice.stop"); }));
}

TEST_F(WatchdogTest, WithoutTheServiceProgramEveryPollFailsToStartItAndReportsNoScan) {
    SetValue(u"Path", work / "service");
    {
        SynchronizationWatchdog watchdog(recorder, recorder, 30);
        ASSERT_TRUE(recorder->WaitFor([&] {
            return recorder->CountLine("Watchdog: Failed to start synchronization service") >= 3;
        }));
    }
    const auto codes = recorder->Codes();
    EXPECT_TRUE(ScanReports(codes, 0).empty());
    EXPECT_GE(std::count(codes.begin(), codes.end(), msg::WM_SYNC_SERVICE_NOT_RUNNING), 3);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), msg::WM_SYNC_SERVICE_STARTED), 0);
    // Nothing to stop: the destructor runs no program and posts no 1226.
    EXPECT_EQ(std::count(codes.begin(), codes.end(), msg::WM_SYNC_SERVICE_STOPPED), 0);
    EXPECT_EQ(recorder->CountLine("Watchdog: Stopping the synchronization service..."), 0);
}

}  // namespace

namespace {

TEST_F(WatchdogTest, AStopRightAfterTheStartIsNeverMissed) {
    // The watchdog is destroyed while its thread may not have run a single line: the abort event
    // exists before the thread, so the thread still ends at once instead of after the 30 s bound.
    constexpr int kRounds = 10;
    for (int i = 0; i < kRounds; ++i) {
        SynchronizationWatchdog watchdog(recorder, recorder, 60000);
    }
    EXPECT_EQ(recorder->CountLine("Watchdog: Synchronisation service watchdog has been stopped"),
              kRounds);
    EXPECT_EQ(recorder->CountLine("Watchdog: Stopping synchronisation service watchdog..."),
              kRounds);
}

}  // namespace
