#include "app/main_window_presenter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/log_file.h"
#include "manager/sync_communication_library.h"
#include "messaging/message_codes.h"
#include "messaging/message_sender.h"
#include "messaging/synchronous_exchange.h"
#include "platform/current_directory.h"
#include "platform/window.h"
#include "tests/unit/link_fakes.h"

namespace {

namespace fs = std::filesystem;
namespace extcomm = voru::synchronization::extcomm;
using application::MainWindowPresenter;
using link_test::FakeCommunication;
using link_test::RecordingLog;
using link_test::RecordingSender;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// What happened to the objects, in order, across all of them.
class Journal {
  public:
    void Add(const std::string& entry) {
        std::lock_guard<std::mutex> guard(mutex_);
        entries_.push_back(entry);
    }
    std::vector<std::string> Entries() {
        std::lock_guard<std::mutex> guard(mutex_);
        return entries_;
    }
    void Clear() {
        std::lock_guard<std::mutex> guard(mutex_);
        entries_.clear();
    }

  private:
    std::mutex mutex_;
    std::vector<std::string> entries_;
};

template <typename T>
std::shared_ptr<T> Journaled(T* object, const std::shared_ptr<Journal>& journal,
                             const std::string& name) {
    journal->Add("create " + name);
    return std::shared_ptr<T>(object, [journal, name](T* gone) {
        journal->Add("release " + name);
        delete gone;
    });
}

class NamedListener : public synchronization::messaging::IMessageListener {
  public:
    bool OnMessage(std::uint32_t, platform::WParam, platform::LParam) override { return false; }
};

// Connects at once to the test's communication object, as the loader would to the service.
class FakeLibrary : public synchronization::manager::SyncCommunicationLibrary {
  public:
    FakeLibrary(const std::shared_ptr<synchronization::logging::ISynchronizationLogging>& log,
                std::shared_ptr<extcomm::ICommunication> object)
        : SyncCommunicationLibrary(log), object_(std::move(object)) {}
    bool Connect(const std::shared_ptr<extcomm::ISyncEvents>&) override {
        communication = object_;
        return true;
    }
    bool IsConnected() override { return communication != nullptr; }

  private:
    std::shared_ptr<extcomm::ICommunication> object_;
};

// A manager whose Initialize is recorded and answers as the test says; with useLibrary it runs
// the real Initialize over the fake library. onRelease runs in its destructor, where the real
// manager lets the library go.
class FakeManager : public synchronization::manager::SynchronizationManager {
  public:
    FakeManager(Options options, std::shared_ptr<Journal> journal, bool succeed, bool useLibrary)
        : SynchronizationManager(std::move(options)),
          journal_(std::move(journal)),
          succeed_(succeed),
          useLibrary_(useLibrary) {}
    ~FakeManager() override {
        if (onRelease) onRelease();
    }
    bool Initialize(
        const std::shared_ptr<synchronization::messaging::IMessageSender>& sender,
        const std::shared_ptr<synchronization::logging::ISynchronizationLogging>& log) override {
        journal_->Add("initialize manager");
        if (!succeed_) return false;
        return useLibrary_ ? SynchronizationManager::Initialize(sender, log) : true;
    }
    std::function<void()> onRelease;

  private:
    std::shared_ptr<Journal> journal_;
    bool succeed_;
    bool useLibrary_;
};

class FakeObjects : public application::IApplicationObjects {
  public:
    explicit FakeObjects(std::shared_ptr<Journal> journal) : journal_(std::move(journal)) {}

    application::SenderPointer CreateMessageSender(platform::WindowHandle mainWindow) override {
        if (realSender) {
            return Journaled(new application::messaging::MessageSender(mainWindow), journal_,
                             "sender");
        }
        return Journaled(new RecordingSender(), journal_, "sender");
    }
    application::LogPointer CreateLog(const application::SenderPointer&,
                                      platform::WindowHandle) override {
        auto created = Journaled(new RecordingLog(), journal_, "log");
        log = created;
        return created;
    }
    application::ListenerPointer CreateServiceStateListener(platform::WindowHandle) override {
        return Journaled(new NamedListener(), journal_, "service state listener");
    }
    application::ListenerPointer CreateCommunicationStateListener(platform::WindowHandle,
                                                                  platform::WindowHandle) override {
        return Journaled(new NamedListener(), journal_, "communication state listener");
    }
    application::ManagerPointer CreateManager() override {
        if (throwAtManager) throw std::runtime_error("no manager");
        synchronization::manager::SynchronizationManager::Options options;
        options.waitInterval = 20;
        auto communicationObject = communication;
        options.libraryFactory = [communicationObject](const auto& logger) {
            return std::make_shared<FakeLibrary>(logger, communicationObject);
        };
        auto* manager =
            new FakeManager(std::move(options), journal_, initializeSucceeds, useLibrary);
        managerObject = manager;
        return Journaled<synchronization::manager::SynchronizationManager>(manager, journal_,
                                                                           "manager");
    }
    application::DatabasesPointer CreateDatabases(const application::ManagerPointer& manager,
                                                  const application::LogPointer& logger,
                                                  const application::SenderPointer& messageSender,
                                                  platform::WindowHandle mainWindow) override {
        return Journaled(new application::data_objects::VoruDatabasesObject(
                             manager, logger, messageSender, mainWindow),
                         journal_, "databases");
    }
    application::WatchdogPointer CreateWatchdog(const application::LogPointer&,
                                                const application::SenderPointer&) override {
        return Journaled(new int(0), journal_, "watchdog");
    }

    bool initializeSucceeds = true;
    bool useLibrary = false;
    bool throwAtManager = false;
    bool realSender = false;
    std::shared_ptr<FakeCommunication> communication = std::make_shared<FakeCommunication>();
    // Watched, not held: holding them would change the order in which they end.
    std::weak_ptr<RecordingLog> log;
    std::vector<std::string> LogLines() {
        auto held = log.lock();
        return held ? held->Lines() : std::vector<std::string>{};
    }
    FakeManager* managerObject = nullptr;

  private:
    std::shared_ptr<Journal> journal_;
};

class FakeFrontEnd : public application::IMainWindowFrontEnd {
  public:
    bool AskYesNo(const std::u16string& caption, const std::u16string& text) override {
        questions.push_back(platform::Narrow(caption) + "|" + platform::Narrow(text));
        if (duringQuestion) duringQuestion();
        return answer;
    }
    void EndDialog(int result) override { ended.push_back(result); }

    bool answer = false;
    std::function<void()> duringQuestion;
    std::vector<std::string> questions;
    std::vector<int> ended;
};

class PresenterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        controls.mainWindow = platform::CreateTopLevelWindow(u"Sundra Synchronizer", {});
        ASSERT_NE(controls.mainWindow, 0u);
        controls.logList =
            platform::CreateChildWindow(controls.mainWindow, platform::WindowKind::List, u"");
        controls.serviceStateLabel = platform::CreateChildWindow(
            controls.mainWindow, platform::WindowKind::Label, u"Unknown");
        controls.communicationStateLabel = platform::CreateChildWindow(
            controls.mainWindow, platform::WindowKind::Label, u"Unknown");
        controls.pauseButton = platform::CreateChildWindow(controls.mainWindow,
                                                           platform::WindowKind::Button, u"&Pause");
    }
    void TearDown() override {
        presenter.reset();
        platform::DestroyWindow(controls.mainWindow);
        synchronization::messaging::ReopenExchanges();
    }
    MainWindowPresenter& Make() {
        presenter = std::make_unique<MainWindowPresenter>(controls, frontEnd, objects);
        return *presenter;
    }
    std::vector<std::string> JournalAfterWiring() {
        std::vector<std::string> all = journal->Entries();
        journal->Clear();
        return all;
    }

    std::shared_ptr<Journal> journal = std::make_shared<Journal>();
    std::shared_ptr<FakeObjects> objects = std::make_shared<FakeObjects>(journal);
    FakeFrontEnd frontEnd;
    application::MainWindowControls controls;
    std::unique_ptr<MainWindowPresenter> presenter;
    // Outlives the test body, so that a failing test still ends once TearDown destroys the window.
    std::future<std::pair<bool, bool>> asker;
};

const char* const kQuestion =
    "WARNING|Are you sure you want to stop Sundra Synchronizer?\n"
    "This will prevent chart databases from being synchronized!";

TEST_F(PresenterTest, WiringCreatesInOrderRegistersFourListenersAndStartsTheWatchdogLast) {
    auto& p = Make();
    EXPECT_TRUE(p.Initialize());
    EXPECT_THAT(JournalAfterWiring(),
                ElementsAre("create sender", "create log", "create service state listener",
                            "create communication state listener", "create manager",
                            "create databases", "initialize manager", "create watchdog"));
    ASSERT_EQ(p.Listeners().size(), 4u);
    EXPECT_EQ(p.Listeners()[0], p.Log());
    EXPECT_EQ(p.Listeners()[3], p.Databases());
    EXPECT_THAT(objects->LogLines(), ElementsAre("Initialization passed, application started"));
}

TEST_F(PresenterTest, FailedInitializeOrCreationLogsTheFailureAndStartsNoWatchdog) {
    struct Case {
        bool initializeSucceeds;
        bool throwAtManager;
        std::vector<std::string> journal;
    };
    const std::vector<Case> cases = {
        {false,
         false,
         {"create sender", "create log", "create service state listener",
          "create communication state listener", "create manager", "create databases",
          "initialize manager"}},
        {true,
         true,
         {"create sender", "create log", "create service state listener",
          "create communication state listener"}},
    };
    for (const auto& c : cases) {
        objects->initializeSucceeds = c.initializeSucceeds;
        objects->throwAtManager = c.throwAtManager;
        auto& p = Make();
        EXPECT_FALSE(p.Initialize());
        EXPECT_EQ(JournalAfterWiring(), c.journal);
        EXPECT_FALSE(p.Watchdog());
        EXPECT_THAT(objects->LogLines(), ElementsAre("Failed to initialize required objects"));
        presenter.reset();
        journal->Clear();
    }
}

TEST_F(PresenterTest, ExitAnsweredNoKeepsEverything) {
    auto& p = Make();
    ASSERT_TRUE(p.Initialize());
    journal->Clear();
    frontEnd.answer = false;
    EXPECT_TRUE(p.OnCommand(application::kCommandExit));
    p.OnCancel();
    EXPECT_THAT(frontEnd.questions, ElementsAre(kQuestion, kQuestion));
    EXPECT_THAT(frontEnd.ended, IsEmpty());
    EXPECT_THAT(journal->Entries(), IsEmpty());
    EXPECT_EQ(p.Listeners().size(), 4u);
    EXPECT_TRUE(p.Manager() && p.Databases() && p.Watchdog() && p.Log() && p.Sender());
}

TEST_F(PresenterTest, ExitAnsweredYesReleasesInOrderThenEndsTheDialog) {
    auto& p = Make();
    ASSERT_TRUE(p.Initialize());
    journal->Clear();
    frontEnd.answer = true;
    frontEnd.duringQuestion = [&] { journal->Add("question"); };
    p.OnCancel();
    // The status listeners end with the list; the coordinator still holds the manager, which ends
    // with it.
    EXPECT_THAT(
        journal->Entries(),
        ElementsAre("question", "release service state listener",
                    "release communication state listener", "release databases", "release manager",
                    "release watchdog", "release log", "release sender"));
    EXPECT_THAT(frontEnd.ended, ElementsAre(application::kDialogResultCancel));
    EXPECT_TRUE(p.Listeners().empty());
    presenter.reset();
    EXPECT_EQ(journal->Entries().size(), 8u);  // nothing left for the destructor
}

TEST_F(PresenterTest, OkEndsAtOnceAndTheDestructorReleasesTheCoordinatorLast) {
    auto& p = Make();
    ASSERT_TRUE(p.Initialize());
    journal->Clear();
    p.OnOk();
    EXPECT_THAT(frontEnd.questions, IsEmpty());
    EXPECT_THAT(frontEnd.ended, ElementsAre(application::kDialogResultOk));
    EXPECT_THAT(journal->Entries(), IsEmpty());
    presenter.reset();
    // The watchdog goes first; the coordinator, still a listener, and with it the manager only
    // when the list goes.
    const auto released = journal->Entries();
    ASSERT_EQ(released.size(), 7u);
    EXPECT_EQ(released.front(), "release watchdog");
    EXPECT_THAT(released,
                ::testing::UnorderedElementsAre("release watchdog", "release sender", "release log",
                                                "release service state listener",
                                                "release communication state listener",
                                                "release databases", "release manager"));
    const auto at = [&](const char* entry) {
        return std::find(released.begin(), released.end(), entry) - released.begin();
    };
    EXPECT_LT(at("release communication state listener"), at("release databases"));
    EXPECT_LT(at("release databases"), at("release manager"));
}

TEST_F(PresenterTest, SessionEndReleasesWithoutAskingAndOnlyOnce) {
    auto& p = Make();
    ASSERT_TRUE(p.Initialize());
    journal->Clear();
    p.OnSessionEnd();
    p.OnSessionEnd();
    frontEnd.answer = true;
    p.OnCancel();  // the dialog has ended: nothing is asked any more
    EXPECT_THAT(frontEnd.questions, IsEmpty());
    EXPECT_THAT(frontEnd.ended, ElementsAre(application::kDialogResultCancel));
    EXPECT_THAT(
        journal->Entries(),
        ElementsAre("release service state listener", "release communication state listener",
                    "release databases", "release manager", "release watchdog", "release log",
                    "release sender"));
}

// A write-lock question whose message is still queued when the user confirms the shut-down: the
// asker must be released before the manager goes, since letting the library go waits for its
// threads (here: the manager's release waits for the asking thread).
TEST_F(PresenterTest, ShutDownReleasesAQuestionInFlightBeforeTheManager) {
    objects->realSender = true;
    auto& p = Make();
    ASSERT_TRUE(p.Initialize());
    asker = std::async(std::launch::async, [&] {
        synchronization::manager::LockQuery query;
        query.object = u"Duzaduza Databases";
        query.uid = u"Databases";
        query.answer = true;
        const bool answered = synchronization::messaging::AskSynchronously(
            *p.Sender(), synchronization::messaging::WM_SYNC_WRITE_LOCK_READINESS, query);
        return std::make_pair(answered, query.answer);
    });
    // Let the question reach the window's queue, where it stays: nothing dispatches it. (Asked
    // after the cancellation instead, it is refused at once; the outcome is the same.)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    bool askerDoneWhenManagerWent = false;
    objects->managerObject->onRelease = [&] {
        askerDoneWhenManagerWent =
            asker.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    };
    frontEnd.answer = true;
    p.OnCancel();
    EXPECT_TRUE(askerDoneWhenManagerWent);
    ASSERT_EQ(asker.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    const auto [answered, answer] = asker.get();
    EXPECT_FALSE(answered);
    EXPECT_FALSE(answer);
}

TEST_F(PresenterTest, PauseTogglesTheButtonAndSendsPauseThenResume) {
    objects->useLibrary = true;
    auto& p = Make();
    ASSERT_TRUE(p.Initialize());
    EXPECT_TRUE(p.OnCommand(application::kCommandPause));
    EXPECT_EQ(platform::GetWindowText(controls.pauseButton), u"Resume");
    EXPECT_TRUE(p.OnCommand(application::kCommandPause));
    EXPECT_EQ(platform::GetWindowText(controls.pauseButton), u"Pause");
    std::vector<std::string> pauses;
    for (const auto& sent : objects->communication->Tasks()) {
        if (sent.kind == extcomm::PauseRequest) pauses.push_back(sent.text);
    }
    ASSERT_EQ(pauses.size(), 2u);
    EXPECT_NE(pauses[0].find("<Action>Pause</Action>"), std::string::npos) << pauses[0];
    EXPECT_NE(pauses[1].find("<Action>Resume</Action>"), std::string::npos) << pauses[1];
}

TEST_F(PresenterTest, WindowCommandsHideShowAndMinimise) {
    auto& p = Make();
    ASSERT_TRUE(p.Initialize());
    platform::ShowWindow(controls.mainWindow, platform::ShowCommand::Show);
    ASSERT_TRUE(platform::IsWindowVisible(controls.mainWindow));
    EXPECT_TRUE(p.OnCommand(application::kCommandHide));
    EXPECT_FALSE(platform::IsWindowVisible(controls.mainWindow));
    EXPECT_TRUE(p.OnCommand(application::kCommandShow));
    EXPECT_TRUE(platform::IsWindowVisible(controls.mainWindow));
    p.OnMinimize(false);
    EXPECT_TRUE(platform::IsWindowVisible(controls.mainWindow));
    p.OnMinimize(true);
    EXPECT_FALSE(platform::IsWindowVisible(controls.mainWindow));
    EXPECT_FALSE(p.OnCommand(1));
}

TEST_F(PresenterTest, CopyDataGoesToTheCoordinatorOnlyWhenItExists) {
    int result = -1;
    {
        auto& p = Make();
        EXPECT_FALSE(p.HandleCopyData(0, nullptr, result));  // before the wiring
        ASSERT_TRUE(p.Initialize());
        const platform::CopyDataRecord unknown{12345, 0, nullptr};
        ASSERT_TRUE(p.HandleCopyData(0, &unknown, result));
        EXPECT_EQ(result, p.Databases()->HandleCopyData(0, &unknown));
    }
}

// --- Save Log --------------------------------------------------------------------------------

class SaveLogTest : public PresenterTest {
  protected:
    void SetUp() override {
        PresenterTest::SetUp();
        previous = fs::current_path();
        directory = fs::temp_directory_path() /
                    ("sundra_savelog_" +
                     std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        fs::create_directories(directory);
        fs::current_path(directory);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::current_path(previous, ignored);
        fs::remove_all(directory, ignored);  // Wine cannot always remove paths this long
        PresenterTest::TearDown();
    }
    std::string FileBytes() {
        std::ifstream in(directory / "sundra_sync_log.txt", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::u16string ExpectedPath() {
        std::u16string dir;
        EXPECT_TRUE(platform::GetCurrentDirectory(application::kCurrentDirectoryBufferChars, dir));
        return dir + platform::PathSeparator() + u"sundra_sync_log.txt";
    }

    fs::path previous;
    fs::path directory;
};

TEST_F(SaveLogTest, TwoSavesAppendBothCopiesEachAfterAnEmptyLine) {
    auto& p = Make();
    ASSERT_TRUE(p.Initialize());
    platform::ListAddString(controls.logList, u"12/11/26 10:00:00: first");
    platform::ListAddString(controls.logList, u"12/11/26 10:00:01: caf\u00e9");
    EXPECT_TRUE(p.OnCommand(application::kCommandSaveLog));
    EXPECT_TRUE(p.SaveLog());
    const std::string copy = "\r\n12/11/26 10:00:00: first\r\n12/11/26 10:00:01: caf\xe9\r\n";
    EXPECT_EQ(FileBytes(), copy + copy);
    const std::string written = "Log written to " + platform::Narrow(ExpectedPath());
    EXPECT_THAT(objects->LogLines(),
                ElementsAre("Initialization passed, application started", written, written));
}

TEST_F(SaveLogTest, ALineAboveU00FFFailsTheSaveAndKeepsWhatCameBefore) {
    auto& p = Make();
    ASSERT_TRUE(p.Initialize());
    platform::ListAddString(controls.logList, u"before");
    platform::ListAddString(controls.logList, u"ab\u0100cd");
    platform::ListAddString(controls.logList, u"after");
    EXPECT_FALSE(p.SaveLog());
    EXPECT_EQ(FileBytes(), "\r\nbefore\r\nab");
    EXPECT_EQ(objects->LogLines().back(), "An error occurred, could not write to log file.");
}

TEST_F(SaveLogTest, AnEmptyListOrNoListFailsTheSave) {
    auto& p = Make();
    ASSERT_TRUE(p.Initialize());
    EXPECT_FALSE(p.SaveLog());
    EXPECT_EQ(FileBytes(), "");
    platform::DestroyWindow(controls.logList);
    EXPECT_FALSE(p.SaveLog());
    EXPECT_THAT(objects->LogLines(),
                ElementsAre("Initialization passed, application started",
                            "An error occurred, could not write to log file.",
                            "An error occurred, could not write to log file."));
}

TEST_F(SaveLogTest, ACurrentDirectoryLongerThanTheBufferFailsTheSave) {
    fs::path deep = directory;
    while (deep.u16string().size() < application::kCurrentDirectoryBufferChars + 10) {
        deep /= "a_rather_long_directory_name";
    }
    std::error_code error;
    fs::create_directories(deep, error);
    fs::current_path(deep, error);
    if (error) GTEST_SKIP() << "this system cannot enter a directory that long";
    auto& p = Make();
    ASSERT_TRUE(p.Initialize());
    platform::ListAddString(controls.logList, u"line");
    EXPECT_FALSE(p.SaveLog());
    EXPECT_FALSE(fs::exists(deep / "sundra_sync_log.txt"));
    EXPECT_EQ(objects->LogLines().back(), "An error occurred, could not write to log file.");
}

TEST_F(SaveLogTest, SaveWithoutALogReportsNothing) {
    auto& p = Make();  // not wired: no log
    platform::ListAddString(controls.logList, u"line");
    EXPECT_TRUE(p.SaveLog());
    EXPECT_EQ(FileBytes(), "\r\nline\r\n");
}

TEST(LogFileTest, WritesCrLfOneBytePerCharacterAndAppends) {
    const fs::path path = fs::temp_directory_path() / "sundra_log_file_test.txt";
    fs::remove(path);
    for (int round = 0; round < 2; ++round) {
        application::LogFile file;
        ASSERT_TRUE(file.Open(path.u16string()));
        EXPECT_TRUE(file.WriteLine(u"\u00ff\u0001x"));
        EXPECT_FALSE(file.WriteLine(u"y\uffffz"));
        EXPECT_TRUE(file.Close());
    }
    std::string bytes;
    {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    EXPECT_EQ(bytes, "\xff\x01x\r\ny\xff\x01x\r\ny");
    std::error_code ignored;
    fs::remove(path, ignored);
}

}  // namespace
