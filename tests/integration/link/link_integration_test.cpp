// The service link against the real substitute library (sim/synclib), found through the
// registry value "ExtCommunication" exactly as the program finds the vendor's library.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <random>
#include <sstream>
#include <thread>

#include "manager/lock_query.h"
#include "manager/sync_communication_library.h"
#include "manager/synchronization_events_listener.h"
#include "manager/synchronization_manager.h"
#include "messaging/message_codes.h"
#include "messaging/message_dispatch.h"
#include "messaging/message_sender.h"
#include "messaging/synchronous_exchange.h"
#include "platform/event.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "platform/window.h"
#include "tests/integration/link/link_environment.h"
#include "tests/unit/link_fakes.h"

namespace {

namespace fs = std::filesystem;
namespace codes = synchronization::messaging;
namespace sm = synchronization::messaging;
using link_test::RecordingLog;
using synchronization::manager::SyncCommunicationLibrary;
using synchronization::manager::SynchronizationEventsListener;
using synchronization::manager::SynchronizationManager;
using ::testing::ElementsAre;

const std::u16string kKey = u"Software\\R-Iri\\Synchronization";

// Plays the main window: a window of the platform layer (on Windows a real one, in the console
// build its message queue) pumped by a thread of its own as the user-interface thread pumps it,
// and the program's own dispatch handing every message to one listener that answers the
// write-lock questions.
class UiLoop {
  public:
    UiLoop() : thread_([this] { Run(); }) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return sender_ != nullptr; });
    }
    ~UiLoop() {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            stopping_ = true;
        }
        thread_.join();
    }

    std::shared_ptr<sm::IMessageSender> Sender() { return sender_; }

    std::size_t Count(std::uint32_t code) {
        std::lock_guard<std::mutex> guard(mutex_);
        return handledCount_[code];
    }
    bool WaitForCount(std::uint32_t code, std::size_t count,
                      std::chrono::milliseconds bound = std::chrono::seconds(20)) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, bound, [&] { return handledCount_[code] >= count; });
    }
    bool WaitForPosted(std::uint32_t code, std::size_t count,
                       std::chrono::milliseconds bound = std::chrono::seconds(20)) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, bound, [&] { return postedCount_[code] >= count; });
    }
    std::vector<link_test::Posted> Handled(std::uint32_t code) {
        std::lock_guard<std::mutex> guard(mutex_);
        std::vector<link_test::Posted> out;
        for (const auto& p : handled_) {
            if (p.code == code) out.push_back(p);
        }
        return out;
    }
    // While held, the loop pumps nothing (a busy user-interface thread). Returns once the loop
    // has come out of the pump it was in.
    void Hold(bool held) {
        std::unique_lock<std::mutex> lock(mutex_);
        held_ = held;
        changed_.wait(lock, [&] { return holding_ == held; });
    }

    std::atomic<bool> answer{true};
    std::atomic<std::size_t> answered{0};

  private:
    // The listener the dispatch calls, on the loop's thread.
    class Answerer : public sm::IMessageListener {
      public:
        explicit Answerer(UiLoop& loop) : loop_(loop) {}
        bool OnMessage(std::uint32_t code, platform::WParam wParam,
                       platform::LParam lParam) override {
            const bool synchronous = sm::IsSynchronousMessage(code);
            if (synchronous) {
                auto* query = reinterpret_cast<synchronization::manager::LockQuery*>(wParam);
                if (code != sm::WM_SYNC_WRITE_LOCK_RELEASED) query->answer = loop_.answer.load();
                ++loop_.answered;
            }
            {
                std::lock_guard<std::mutex> guard(loop_.mutex_);
                ++loop_.handledCount_[code];
                loop_.handled_.push_back(
                    {code, synchronous ? 0 : wParam, synchronous ? 0 : lParam});
            }
            loop_.changed_.notify_all();
            return true;
        }

      private:
        UiLoop& loop_;
    };

    // The program's sender, counting what was posted.
    class CountingSender : public sm::IMessageSender, public sm::IMessageTarget {
      public:
        CountingSender(UiLoop& loop, platform::WindowHandle window)
            : loop_(loop), sender_(window) {}
        bool Post(std::uint32_t code, platform::WParam wParam, platform::LParam lParam) override {
            const bool posted = sender_.Post(code, wParam, lParam);
            {
                std::lock_guard<std::mutex> guard(loop_.mutex_);
                ++loop_.postedCount_[code];
            }
            loop_.changed_.notify_all();
            return posted;
        }
        bool Post(std::uint32_t code) override { return Post(code, 0, 0); }
        bool TargetExists() const override { return sender_.TargetExists(); }

      private:
        UiLoop& loop_;
        application::messaging::MessageSender sender_;
    };

    void Run() {
        application::messaging::ListenerList listeners{std::make_shared<Answerer>(*this)};
        const platform::WindowHandle window = platform::CreateTopLevelWindow(
            u"link test", [&](std::uint32_t code, platform::WParam w, platform::LParam l) {
                return !application::messaging::Dispatch(listeners, code, w, l).runDefault;
            });
        {
            std::lock_guard<std::mutex> guard(mutex_);
            sender_ = std::make_shared<CountingSender>(*this, window);
        }
        changed_.notify_all();
        for (;;) {
            bool held = false;
            {
                std::lock_guard<std::mutex> guard(mutex_);
                if (stopping_) break;
                held = held_;
                holding_ = held;
            }
            changed_.notify_all();
            if (held) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            } else {
                platform::PumpMessages(window, 20);
            }
        }
        platform::DestroyWindow(window);
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::uint32_t, std::size_t> handledCount_;
    std::map<std::uint32_t, std::size_t> postedCount_;
    std::vector<link_test::Posted> handled_;
    std::shared_ptr<CountingSender> sender_;
    bool stopping_ = false;
    bool held_ = false;
    bool holding_ = false;
    std::thread thread_;
};

class LinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::random_device random;
        folder = fs::temp_directory_path() / ("sundra-link-" + std::to_string(random()));
        fs::create_directories(folder);
        journal = folder / "journal.txt";
        link_integration::SetEnvironment("SUNDRA_SYNCLIB_JOURNAL", journal.string());
        link_integration::SetEnvironment("SUNDRA_SYNCLIB_STOP_MS", "5000");
        link_integration::UseScratchRegistry(folder.string());
        SetLibraryPath(platform::Widen(SUNDRA_SYNCLIB_PATH));
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    void SetLibraryPath(const std::u16string& path) {
        ASSERT_TRUE(platform::WriteRegistryValue(kKey, u"ExtCommunication", platform::kRegSz,
                                                 platform::RegistryStringData(path)));
    }
    void Scenario(const std::string& text) {
        const fs::path path = folder / "scenario.txt";
        std::ofstream(path, std::ios::binary) << text;
        link_integration::SetEnvironment("SUNDRA_SYNCLIB_SCENARIO", path.string());
    }
    // The journal's records without their time stamps.
    std::vector<std::string> Journal() {
        std::ifstream in(journal, std::ios::binary);
        std::vector<std::string> records;
        std::string line;
        while (std::getline(in, line)) {
            const auto blank = line.find(' ');
            records.push_back(blank == std::string::npos ? line : line.substr(blank + 1));
        }
        return records;
    }
    // For failure messages.
    std::string JournalText() {
        std::string text = "journal:\n";
        for (const auto& record : Journal()) text += "  " + record + "\n";
        return text;
    }
    std::vector<std::string> JournalStartingWith(const std::string& prefix) {
        std::vector<std::string> out;
        for (const auto& record : Journal()) {
            if (record.rfind(prefix, 0) == 0) out.push_back(record);
        }
        return out;
    }
    bool WaitForJournal(const std::function<bool(const std::vector<std::string>&)>& done,
                        std::chrono::seconds bound = std::chrono::seconds(30)) {
        const auto until = std::chrono::steady_clock::now() + bound;
        while (std::chrono::steady_clock::now() < until) {
            if (done(Journal())) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    bool WaitForRecord(const std::string& record) {
        return WaitForJournal([&](const std::vector<std::string>& records) {
            return std::find(records.begin(), records.end(), record) != records.end();
        });
    }
    std::unique_ptr<SynchronizationManager> MakeManager(std::uint32_t stopTimeout = 30000) {
        SynchronizationManager::Options options;
        options.waitInterval = 50;
        options.stopTimeout = stopTimeout;
        return std::make_unique<SynchronizationManager>(std::move(options));
    }

    fs::path folder;
    fs::path journal;
    std::unique_ptr<UiLoop> ui = std::make_unique<UiLoop>();
    std::shared_ptr<RecordingLog> log = std::make_shared<RecordingLog>();
};

TEST_F(LinkTest, TheFirstLockRequestReachesTheServiceByteForByte) {
    Scenario("autoanswer on\nconnect\n");
    auto manager = MakeManager();
    ASSERT_TRUE(manager->Initialize(ui->Sender(), log));
    ASSERT_TRUE(ui->WaitForCount(codes::WM_SYNC_CONNECTED, 1));
    EXPECT_EQ(manager->Lock(u"Chart Object & Co", u"UID1", true), 1u);
    ASSERT_TRUE(ui->WaitForCount(codes::WM_SYNC_LOCK_STATE, 1));
    manager->PauseSynchronization("", true);
    manager.reset();

    EXPECT_THAT(JournalStartingWith("request LockTask"),
                ElementsAre("request LockTask(3) result=0 text=<?xml version=\"1.0\"?>\\n"
                            "<LockDescription uid=\"1\">\\n"
                            "<ObjectLink>Chart Object &amp; Co/UID1</ObjectLink>\\n"
                            "<Type>read</Type>\\n</LockDescription>\\n"));
    EXPECT_THAT(JournalStartingWith("request PauseRequest"),
                ElementsAre("request PauseRequest(7) result=0 text=<?xml version=\"1.0\"?>\\n"
                            "<PauseSynchronization>\\n<DataType></DataType>\\n"
                            "<Action>Pause</Action>\\n</PauseSynchronization>\\n"));
    // The service's answers came back as messages for the coordinator.
    EXPECT_THAT(ui->Handled(codes::WM_SYNC_LOCK_GRANTED),
                ElementsAre(link_test::Posted{codes::WM_SYNC_LOCK_GRANTED, 1, 1000}));
    EXPECT_THAT(ui->Handled(codes::WM_SYNC_LOCK_STATE),
                ElementsAre(link_test::Posted{codes::WM_SYNC_LOCK_STATE, 1, 1}));
    EXPECT_TRUE(log->WaitFor("Synchronization service: Lock granted (ID:1, Cookie:1000)"));
    EXPECT_GE(ui->Count(codes::WM_SYNC_CONNECTION_CONFIRMED), 1u);
    // Destroying the communication object ended the service with every thread joined.
    EXPECT_EQ(Journal().back(), "close");
}

TEST_F(LinkTest, WhileTheServiceIsDisconnectedOnlyConnectionChecksGoOut) {
    Scenario("autoanswer on\nawait check\nawait check\nawait check\nmark connecting\nconnect\n");
    auto manager = MakeManager();
    ASSERT_TRUE(manager->Initialize(ui->Sender(), log));
    EXPECT_EQ(manager->Lock(u"Duzaduza Databases", u"Databases", true), 1u);
    ASSERT_TRUE(ui->WaitForCount(codes::WM_SYNC_LOCK_STATE, 1));
    manager.reset();
    // Before the service connected, every check answered 0 and the lock request waited.
    const auto records = Journal();
    const auto connecting = std::find(records.begin(), records.end(), "mark connecting");
    ASSERT_NE(connecting, records.end());
    std::size_t checks = 0;
    for (auto it = records.begin(); it != connecting; ++it) {
        if (it->rfind("request ", 0) != 0) continue;
        EXPECT_EQ(*it, "request ConnectionCheck(0) result=0 text=");
        ++checks;
    }
    EXPECT_GE(checks, 3u);
    EXPECT_GE(ui->Count(codes::WM_SYNC_DISCONNECTED), 3u);
    EXPECT_EQ(JournalStartingWith("request LockTask(3)").size(), 1u);
}

TEST_F(LinkTest, TheDemosDefaultScenarioConnectsAndGrantsTheReadLock) {
    link_integration::SetEnvironment("SUNDRA_SYNCLIB_SCENARIO", "");
    auto manager = MakeManager();
    ASSERT_TRUE(manager->Initialize(ui->Sender(), log));
    ASSERT_TRUE(ui->WaitForCount(codes::WM_SYNC_CONNECTED, 1));
    EXPECT_EQ(manager->Lock(u"Duzaduza Databases", u"Databases", true), 1u);
    ASSERT_TRUE(ui->WaitForCount(codes::WM_SYNC_LOCK_STATE, 1));
    EXPECT_TRUE(
        log->WaitFor("Synchronization service: Synchronization service started (simulated)"));
    manager.reset();
    EXPECT_EQ(Journal().front(), "open scenario=default");
    EXPECT_THAT(ui->Handled(codes::WM_SYNC_LOCK_STATE),
                ElementsAre(link_test::Posted{codes::WM_SYNC_LOCK_STATE, 1, 1}));
}

TEST_F(LinkTest, AFileThatIsNoLibraryFailsInitialize) {
    const fs::path notALibrary = folder / "not_a_library.dll";
    std::ofstream(notALibrary) << "no library here\n";
    SetLibraryPath(platform::Widen(notALibrary.string()));
    auto manager = MakeManager();
    EXPECT_FALSE(manager->Initialize(ui->Sender(), log));
    EXPECT_FALSE(manager->IsInitialized());
    EXPECT_THAT(
        log->Lines(),
        ElementsAre("Manager: Initializing communication...",
                    "Connecting to the synchronization service...",
                    "Disconnecting from the synchronization service...",
                    "Disconnected from the synchronization service",
                    "Failed to connect to the synchronization service",
                    "Manager: ERROR: Failed to initialize communication", "Manager: Unloading...",
                    "Disconnecting from the synchronization service...",
                    "Disconnected from the synchronization service", "Manager: Unloaded"));
}

TEST_F(LinkTest, TheLoaderHandsOutTheObjectOnlyWhileConnected) {
    Scenario("connect\n");
    auto loader = std::make_shared<SyncCommunicationLibrary>(log);
    auto listener = std::make_shared<SynchronizationEventsListener>(ui->Sender(), log);
    ASSERT_TRUE(loader->Connect(listener));
    EXPECT_TRUE(loader->IsConnected());
    ASSERT_NE(loader->GetCommunication(), nullptr);
    // A second Connect changes nothing.
    EXPECT_TRUE(loader->Connect(listener));
    EXPECT_TRUE(loader->Disconnect());
    EXPECT_EQ(loader->GetCommunication(), nullptr);
    EXPECT_THAT(log->Lines(), ElementsAre("Connecting to the synchronization service...",
                                          "Connected to the synchronization service",
                                          "Connecting to the synchronization service...",
                                          "Connected to the synchronization service",
                                          "Disconnecting from the synchronization service...",
                                          "Disconnected from the synchronization service"));
    EXPECT_EQ(Journal().back(), "close");
}

TEST_F(LinkTest, EveryKindOfEventGetsItsAnswerOnTheLibrarysThreads) {
    Scenario(
        "connect\n"
        "event 7 anything\n"
        "event 9 \\u00E9\n"
        "nullevent 8\n"
        "message Update \\x41\n"
        "event 5 <LockLink uid=\"3\"><Cookie></Cookie></LockLink>\n"
        "readiness read Duzaduza Databases/Databases\n"
        "readiness write Duzaduza Databases/Databases\n"
        "request write Duzaduza Databases/Databases\n"
        "release write Duzaduza Databases/Databases\n"
        "nullevent 2\n"
        "disconnect\n");
    ui->answer = false;
    auto manager = MakeManager();
    ASSERT_TRUE(manager->Initialize(ui->Sender(), log));
    ASSERT_TRUE(WaitForRecord("scenario finished"));
    manager.reset();
    std::vector<std::string> answers;
    for (const auto& record : JournalStartingWith("event ")) {
        answers.push_back(record.substr(0, record.find(" us=")));
    }
    EXPECT_THAT(
        answers,
        ElementsAre("event ServiceConnected(0) answer=0", "event Unknown(7) answer=0",
                    "event Unknown(9) answer=0", "event ServiceMessage(8) answer=0",
                    "event ServiceMessage(8) answer=0", "event LockGranted(5) answer=0",
                    "event LockReadinessQuery(2) answer=2", "event LockReadinessQuery(2) answer=1",
                    "event LockRequest(3) answer=1", "event LockReleased(4) answer=2",
                    "event LockReadinessQuery(2) answer=1",
                    "event ServiceDisconnected(1) answer=0"));
    EXPECT_TRUE(log->WaitFor("Synchronization service: Update A"));
    EXPECT_TRUE(log->WaitFor("Synchronization service: "));
    EXPECT_TRUE(
        log->WaitFor("Synchronization service: Application is  NOT ready for Duzaduza Databases "
                     "write lock (UID:Databases)"));
    EXPECT_EQ(ui->answered.load(), 3u);
}

TEST_F(LinkTest, SixteenThreadsAskingAThousandWriteLockQuestionsEachAllGetAnswers) {
    Scenario("connect\nparallel 16 1000 readiness write Duzaduza Databases/Databases\n");
    auto manager = MakeManager();
    ASSERT_TRUE(manager->Initialize(ui->Sender(), log));
    ASSERT_TRUE(WaitForRecord("scenario finished")) << "the questions did not all come back";
    manager.reset();
    const auto answers = JournalStartingWith("event LockReadinessQuery(2) answer=2 ");
    EXPECT_EQ(answers.size(), 16000u);
    EXPECT_EQ(ui->answered.load(), 16000u);
    EXPECT_EQ(Journal().back(), "close");
}

TEST_F(LinkTest, UnloadGivesUpOnACommunicationThreadStuckInTheLibrary) {
    // Every connection check takes 1.5 s; Unload may wait 100 ms.
    Scenario("block check 1500\nconnect\n");
    auto manager = MakeManager(100);
    ASSERT_TRUE(manager->Initialize(ui->Sender(), log));
    ASSERT_TRUE(WaitForJournal([](const std::vector<std::string>& records) {
        for (const auto& r : records) {
            if (r.rfind("request ConnectionCheck", 0) == 0) return true;
        }
        return false;
    }));
    manager->Unload();
    auto lines = log->Lines();
    EXPECT_EQ(lines.back(), "Manager: Unloaded");
    EXPECT_EQ(std::count(lines.begin(), lines.end(),
                         "Manager: Connection to synchronization service closed"),
              0);
    if (link_integration::ForcedEndLeavesThreadRunning()) {
        // The abandoned thread comes back out of the library, ends without sending anything
        // else, and only then lets the library go.
        ASSERT_TRUE(log->WaitFor("Manager: Connection to synchronization service closed"));
        ASSERT_TRUE(WaitForRecord("close"));
    }
    EXPECT_EQ(JournalStartingWith("request ").size(), 1u);
}

TEST_F(LinkTest, DestroyingTheLibraryWhileAQuestionWaitsDoesNotHang) {
    // The user-interface thread is busy (as in shut-down) and never answers; the library's
    // threads are waited for at most 200 ms, then left behind.
    link_integration::SetEnvironment("SUNDRA_SYNCLIB_STOP_MS", "200");
    Scenario("connect\nreadiness write Duzaduza Databases/Databases\n");
    ui->Hold(true);
    auto manager = MakeManager();
    ASSERT_TRUE(manager->Initialize(ui->Sender(), log));
    ASSERT_TRUE(ui->WaitForPosted(codes::WM_SYNC_WRITE_LOCK_READINESS, 1));
    manager->Unload();
    EXPECT_TRUE(WaitForRecord("close threads-left-behind=1")) << JournalText();
    // Once the question is answered the left thread finishes its event.
    ui->Hold(false);
    EXPECT_TRUE(WaitForJournal([](const std::vector<std::string>& records) {
        for (const auto& r : records) {
            if (r.rfind("event LockReadinessQuery(2) answer=2", 0) == 0) return true;
        }
        return false;
    }));
}

TEST_F(LinkTest, ShutDownCancelsTheQuestionsInFlightBeforeTheLibraryGoes) {
    // As the program's shut-down does: the user-interface thread is busy, cancels the pending
    // questions, then releases the manager; the library's threads all end and are joined.
    Scenario("connect\nreadiness write Duzaduza Databases/Databases\n");
    ui->Hold(true);
    auto manager = MakeManager();
    ASSERT_TRUE(manager->Initialize(ui->Sender(), log));
    ASSERT_TRUE(ui->WaitForPosted(codes::WM_SYNC_WRITE_LOCK_READINESS, 1));
    EXPECT_EQ(sm::CancelPendingExchanges(), 1);
    manager.reset();
    sm::ReopenExchanges();
    EXPECT_EQ(Journal().back(), "close");
    const auto answers = JournalStartingWith("event LockReadinessQuery(2) answer=1 ");
    EXPECT_EQ(answers.size(), 1u);
    EXPECT_EQ(ui->answered.load(), 0u);
}

}  // namespace
