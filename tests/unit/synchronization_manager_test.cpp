#include "manager/synchronization_manager.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/unit/link_fakes.h"

namespace {

using namespace link_test;
using synchronization::manager::SyncCommunicationLibrary;
using synchronization::manager::SynchronizationManager;
namespace extcomm = voru::synchronization::extcomm;
namespace codes = synchronization::messaging;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

// Stands in for the loader: "connects" by handing out the test's communication object, and
// remembers the listener it was given.
class FakeLibrary : public SyncCommunicationLibrary {
  public:
    FakeLibrary(const std::shared_ptr<synchronization::logging::ISynchronizationLogging>& log,
                std::shared_ptr<extcomm::ICommunication> object, bool succeed)
        : SyncCommunicationLibrary(log), object_(std::move(object)), succeed_(succeed) {}

    bool Connect(const std::shared_ptr<extcomm::ISyncEvents>& listener) override {
        Log("Connecting to the synchronization service...");
        if (!succeed_) {
            Disconnect();
            Log("Failed to connect to the synchronization service");
            return false;
        }
        listener_ = listener;
        communication = object_;
        Log("Connected to the synchronization service");
        return true;
    }
    bool IsConnected() override { return communication != nullptr; }

  private:
    std::shared_ptr<extcomm::ICommunication> object_;
    std::shared_ptr<extcomm::ISyncEvents> listener_;
    bool succeed_;
};

std::string LockXml(unsigned id, const char* type) {
    return "<?xml version=\"1.0\"?>\n<LockDescription uid=\"" + std::to_string(id) +
           "\">\n<ObjectLink>Duzaduza Databases/Databases</ObjectLink>\n<Type>" + type +
           "</Type>\n</LockDescription>\n";
}

std::string UnlockXml(unsigned id, unsigned cookie) {
    return "<?xml version=\"1.0\"?>\n<LockLink uid=\"" + std::to_string(id) + "\">\n<Cookie>" +
           std::to_string(cookie) + "</Cookie>\n</LockLink>\n";
}

const std::u16string kObject = u"Duzaduza Databases";
const std::u16string kUid = u"Databases";

class ManagerTest : public ::testing::Test {
  protected:
    std::unique_ptr<SynchronizationManager> MakeManager(bool connect = true,
                                                        std::uint32_t stopTimeout = 30000) {
        SynchronizationManager::Options options;
        options.waitInterval = 20;  // the program's 1000 ms would only slow the tests down
        options.stopTimeout = stopTimeout;
        options.libraryFactory = [this, connect](const auto& logger) {
            return std::make_shared<FakeLibrary>(logger, communication, connect);
        };
        return std::make_unique<SynchronizationManager>(std::move(options));
    }

    std::shared_ptr<FakeCommunication> communication = std::make_shared<FakeCommunication>();
    std::shared_ptr<RecordingSender> sender = std::make_shared<RecordingSender>();
    std::shared_ptr<RecordingLog> log = std::make_shared<RecordingLog>();
};

TEST_F(ManagerTest, InitializeAndUnloadWriteTheirLinesInOrder) {
    auto manager = MakeManager();
    ASSERT_TRUE(manager->Initialize(sender, log));
    EXPECT_TRUE(manager->IsInitialized());
    ASSERT_TRUE(log->WaitFor("Manager: Connection to synchronization service initialized"));
    manager->Unload();
    EXPECT_FALSE(manager->IsInitialized());
    const std::vector<std::string> lines = log->Lines();
    ASSERT_EQ(lines.size(), 13u);
    EXPECT_THAT(std::vector<std::string>(lines.begin(), lines.begin() + 4),
                ElementsAre("Manager: Initializing communication...",
                            "Connecting to the synchronization service...",
                            "Connected to the synchronization service",
                            "Manager: Connecting to synchronization service..."));
    // The communication thread runs as soon as it is resumed, so its first two lines may come
    // before or after "Communication initialized" of the initialising thread; its own two lines
    // keep their order.
    const std::vector<std::string> start(lines.begin() + 4, lines.begin() + 7);
    EXPECT_THAT(start, UnorderedElementsAre(
                           "Manager: Communication initialized",
                           "Manager: Initializing connection to synchronization service...",
                           "Manager: Connection to synchronization service initialized"));
    EXPECT_LT(std::find(start.begin(), start.end(),
                        "Manager: Initializing connection to synchronization service..."),
              std::find(start.begin(), start.end(),
                        "Manager: Connection to synchronization service initialized"));
    EXPECT_THAT(std::vector<std::string>(lines.begin() + 7, lines.end()),
                ElementsAre("Manager: Unloading...",
                            "Manager: Disconnecting from synchronization service...",
                            "Manager: Connection to synchronization service closed",
                            "Disconnecting from the synchronization service...",
                            "Disconnected from the synchronization service", "Manager: Unloaded"));
    // A second Unload has no log any more and changes nothing.
    const auto before = log->Lines().size();
    manager->Unload();
    EXPECT_EQ(log->Lines().size(), before);
}

TEST_F(ManagerTest, AnUnloadRightAfterInitializeStillEndsTheThreadNormally) {
    for (int round = 0; round < 20; ++round) {
        log->Clear();
        auto manager = MakeManager();
        ASSERT_TRUE(manager->Initialize(sender, log));
        manager->Unload();
        // The thread's last line comes before "Unloaded": it ended by itself, not by force.
        const auto lines = log->Lines();
        const auto closed = std::find(lines.begin(), lines.end(),
                                      "Manager: Connection to synchronization service closed");
        const auto unloaded = std::find(lines.begin(), lines.end(), "Manager: Unloaded");
        ASSERT_NE(closed, lines.end()) << "round " << round;
        EXPECT_LT(closed, unloaded) << "round " << round;
    }
}

TEST_F(ManagerTest, FailedConnectionLeavesTheManagerUninitialized) {
    auto manager = MakeManager(false);
    EXPECT_FALSE(manager->Initialize(sender, log));
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
    // Nothing is sent or written afterwards.
    manager->PauseSynchronization("", true);
    EXPECT_EQ(manager->Lock(kObject, kUid, true), 0u);
    EXPECT_EQ(log->Lines().size(), 10u);
    EXPECT_THAT(communication->SentRequests(), IsEmpty());
}

TEST_F(ManagerTest, InitializeWithoutSenderOrLogFails) {
    auto manager = MakeManager();
    EXPECT_FALSE(manager->Initialize(nullptr, log));
    EXPECT_FALSE(manager->Initialize(sender, nullptr));
    EXPECT_THAT(log->Lines(), IsEmpty());
    EXPECT_FALSE(manager->IsInitialized());
}

TEST_F(ManagerTest, RequestsBeforeInitializeAreRefusedWithoutUsingATaskId) {
    auto manager = MakeManager();
    EXPECT_EQ(manager->Lock(kObject, kUid, false), 0u);
    EXPECT_EQ(manager->Unlock(4711), 0u);
    // No log is held yet: nothing could be written.
    EXPECT_THAT(log->Lines(), IsEmpty());
    ASSERT_TRUE(manager->Initialize(sender, log));
    EXPECT_EQ(manager->Lock(kObject, kUid, false), 1u);
    manager->Unload();
    log->Clear();
    // After Unload the log is gone too; the refusals are silent.
    EXPECT_EQ(manager->Lock(kObject, kUid, true), 0u);
    EXPECT_THAT(log->Lines(), IsEmpty());
}

TEST_F(ManagerTest, TaskIdsComeFromOneCounterAndFailedBuildsUseThemUp) {
    communication->SetCheckResult(0);  // keep everything queued
    auto manager = MakeManager();
    ASSERT_TRUE(manager->Initialize(sender, log));
    ASSERT_TRUE(log->WaitFor("Manager: Connection to synchronization service initialized"));
    log->Clear();
    EXPECT_EQ(manager->Lock(kObject, kUid, true), 1u);
    EXPECT_EQ(manager->Unlock(4711), 2u);
    EXPECT_EQ(manager->Lock(u"", kUid, true), 0u);  // uses up 3
    EXPECT_EQ(manager->Unlock(0), 0u);              // uses up 4
    EXPECT_EQ(manager->Lock(kObject, kUid, false), 5u);
    EXPECT_THAT(log->Lines(),
                ElementsAre("Manager: Duzaduza Databases read lock request (UID:Databases)",
                            "Manager: Lock task added to queue (ID:1)",
                            "Manager: New unlock request (Cookie:4711)",
                            "Manager: Unlock task added to queue (ID:2)",
                            "Manager:  read lock request (UID:Databases)",
                            "Manager: ERROR: Lock attempt failed - unable to create lock XML",
                            "Manager: New unlock request (Cookie:0)",
                            "Manager: ERROR: Unlock attempt failed - unable to create unlock XML",
                            "Manager: Duzaduza Databases write lock request (UID:Databases)",
                            "Manager: Lock task added to queue (ID:5)"));
}

TEST_F(ManagerTest, TheWrappedCounterFailsOnceAndStartsAgainAtOne) {
    communication->SetCheckResult(0);
    SynchronizationManager::Options options;
    options.firstTaskId = 0xFFFFFFFFu;
    options.libraryFactory = [this](const auto& logger) {
        return std::make_shared<FakeLibrary>(logger, communication, true);
    };
    SynchronizationManager manager(std::move(options));
    ASSERT_TRUE(manager.Initialize(sender, log));
    ASSERT_TRUE(log->WaitFor("Manager: Connection to synchronization service initialized"));
    log->Clear();
    EXPECT_EQ(manager.Lock(kObject, kUid, true), 0xFFFFFFFFu);
    EXPECT_EQ(manager.Unlock(7), 0u);  // task ID 0 cannot be sent
    EXPECT_EQ(manager.Lock(kObject, kUid, true), 1u);
    EXPECT_THAT(log->Lines(),
                ElementsAre("Manager: Duzaduza Databases read lock request (UID:Databases)",
                            "Manager: Lock task added to queue (ID:4294967295)",
                            "Manager: New unlock request (Cookie:7)",
                            "Manager: ERROR: Unlock attempt failed - unable to create unlock XML",
                            "Manager: Duzaduza Databases read lock request (UID:Databases)",
                            "Manager: Lock task added to queue (ID:1)"));
}

// The requests sent after the connection check first answers 1, in order.
std::vector<Sent> AfterFirstConfirmedCheck(const std::vector<Sent>& sent, std::size_t from) {
    return std::vector<Sent>(sent.begin() + static_cast<std::ptrdiff_t>(from), sent.end());
}

TEST_F(ManagerTest, QueuedRequestsGoOutOneUnlockThenOneLockPerPass) {
    communication->SetCheckResult(0);
    auto manager = MakeManager();
    ASSERT_TRUE(manager->Initialize(sender, log));
    EXPECT_EQ(manager->Lock(kObject, kUid, true), 1u);
    EXPECT_EQ(manager->Lock(kObject, kUid, false), 2u);
    EXPECT_EQ(manager->Unlock(4711), 3u);
    // While disconnected nothing but checks goes out, and every pass reports it.
    ASSERT_TRUE(sender->WaitForCount(codes::WM_SYNC_DISCONNECTED, 3));
    EXPECT_THAT(communication->Tasks(), IsEmpty());
    EXPECT_EQ(sender->Count(codes::WM_SYNC_CONNECTION_CONFIRMED), 0u);

    const std::size_t from = communication->SentRequests().size();
    communication->SetCheckResult(1);
    ASSERT_TRUE(communication->WaitFor([](const std::vector<Sent>& sent) {
        return std::count_if(sent.begin(), sent.end(),
                             [](const Sent& s) { return s.kind == extcomm::LockTask; }) == 2;
    }));
    manager->Unload();
    auto sent = AfterFirstConfirmedCheck(communication->SentRequests(), from);
    // A check that raced with the switch may still have answered 0; it sent nothing.
    ASSERT_GE(sent.size(), 5u);
    const Sent check{extcomm::ConnectionCheck, ""};
    const std::vector<Sent> expected = {check,
                                        {extcomm::UnlockTask, UnlockXml(3, 4711)},
                                        {extcomm::LockTask, LockXml(1, "read")},
                                        check,
                                        {extcomm::LockTask, LockXml(2, "write")}};
    sent.resize(expected.size());
    EXPECT_EQ(sent, expected);
    EXPECT_GE(sender->Count(codes::WM_SYNC_CONNECTION_CONFIRMED), 2u);
}

TEST_F(ManagerTest, PauseAndResumeAreSentAtOnceOnTheCallingThread) {
    communication->SetCheckResult(0);
    auto manager = MakeManager();
    ASSERT_TRUE(manager->Initialize(sender, log));
    const auto linesBefore = log->Lines().size();
    manager->PauseSynchronization("", true);
    manager->PauseSynchronization("Charts", false);
    const auto tasks = communication->Tasks();
    ASSERT_EQ(tasks.size(), 2u);
    EXPECT_EQ(tasks[0].kind, extcomm::PauseRequest);
    EXPECT_EQ(tasks[0].text,
              "<?xml version=\"1.0\"?>\n<PauseSynchronization>\n<DataType></DataType>\n"
              "<Action>Pause</Action>\n</PauseSynchronization>\n");
    EXPECT_EQ(tasks[1].text,
              "<?xml version=\"1.0\"?>\n<PauseSynchronization>\n<DataType>Charts</DataType>\n"
              "<Action>Resume</Action>\n</PauseSynchronization>\n");
    manager->Unload();
    // No line of its own on success.
    const auto lines = log->Lines();
    EXPECT_EQ(
        std::count_if(lines.begin() + static_cast<std::ptrdiff_t>(linesBefore), lines.end(),
                      [](const std::string& l) { return l.find("Pause") != std::string::npos; }),
        0);
}

TEST_F(ManagerTest, UnloadGivesUpOnAThreadStuckInTheLibraryAfterItsBound) {
    auto manager = MakeManager(true, 100);
    ASSERT_TRUE(manager->Initialize(sender, log));
    communication->SetBlocked(true);
    ASSERT_TRUE(
        communication->WaitFor([](const std::vector<Sent>& sent) { return !sent.empty(); }));
    manager->Unload();  // returns after about 100 ms although the thread is still inside
    auto lines = log->Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "Manager: Unloaded");
    EXPECT_EQ(std::count(lines.begin(), lines.end(),
                         "Manager: Connection to synchronization service closed"),
              0);
    const auto sentBefore = communication->SentRequests().size();
    communication->SetBlocked(false);
    if (ForcedEndLeavesThreadRunning()) {
        // Once the library lets go, the abandoned thread ends by itself and sends nothing more.
        ASSERT_TRUE(log->WaitFor("Manager: Connection to synchronization service closed"));
        EXPECT_EQ(communication->SentRequests().size(), sentBefore);
    }
}

TEST_F(ManagerTest, ASecondInitializeUnloadsFirst) {
    auto manager = MakeManager();
    ASSERT_TRUE(manager->Initialize(sender, log));
    auto secondLog = std::make_shared<RecordingLog>();
    ASSERT_TRUE(manager->Initialize(sender, secondLog));
    EXPECT_TRUE(log->WaitFor("Manager: Unloaded"));
    EXPECT_EQ(secondLog->Lines().front(), "Manager: Initializing communication...");
    EXPECT_EQ(manager->Lock(kObject, kUid, true), 1u);
}

}  // namespace
