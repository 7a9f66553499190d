#include "manager/synchronization_events_listener.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "tests/unit/link_fakes.h"

namespace {

using namespace link_test;
using synchronization::manager::SynchronizationEventsListener;
namespace extcomm = voru::synchronization::extcomm;
namespace codes = synchronization::messaging;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::u16string Description(const char* link, const char* type) {
    return u"<?xml version=\"1.0\"?>\n<LockDescription uid=\"5\">\n<ObjectLink>" +
           platform::Widen(link) + u"</ObjectLink>\n<Type>" + platform::Widen(type) +
           u"</Type>\n</LockDescription>\n";
}

const std::u16string kWrite = Description("Duzaduza Databases/Databases", "write");
const std::u16string kRead = Description("Duzaduza Databases/Databases", "read");

class ListenerTest : public ::testing::Test {
  protected:
    int Raise(std::int32_t kind, const char16_t* text) {
        const auto eventKind = static_cast<extcomm::SyncEventKind>(kind);
        return listener->OnSyncEvent(eventKind, text);
    }
    int Raise(std::int32_t kind, const std::u16string& text) { return Raise(kind, text.c_str()); }

    std::shared_ptr<RecordingSender> sender = std::make_shared<RecordingSender>();
    std::shared_ptr<RecordingLog> log = std::make_shared<RecordingLog>();
    std::shared_ptr<SynchronizationEventsListener> listener =
        std::make_shared<SynchronizationEventsListener>(sender, log);
};

TEST_F(ListenerTest, ConnectionEventsArePostedAndAnsweredWithNoAnswer) {
    EXPECT_EQ(Raise(extcomm::ServiceConnected, nullptr), 0);
    EXPECT_EQ(Raise(extcomm::ServiceDisconnected, u"ignored"), 0);
    EXPECT_THAT(sender->PostedMessages(), ElementsAre(Posted{codes::WM_SYNC_CONNECTED, 0, 0},
                                                      Posted{codes::WM_SYNC_DISCONNECTED, 0, 0}));
    EXPECT_THAT(log->Lines(), IsEmpty());
}

TEST_F(ListenerTest, ReadLockQuestionsAreAnsweredAtOnceWithoutAskingTheUserInterface) {
    EXPECT_EQ(Raise(extcomm::LockReadinessQuery, kRead), 2);
    EXPECT_EQ(Raise(extcomm::LockRequest, kRead), 2);
    EXPECT_EQ(Raise(extcomm::LockReleased, kRead), 2);
    EXPECT_THAT(sender->PostedMessages(), IsEmpty());
    EXPECT_THAT(
        log->Lines(),
        ElementsAre(
            "Synchronization service: Checking if ready for Duzaduza Databases read lock request "
            "(UID:Databases)",
            "Synchronization service: Application is ready for Duzaduza Databases read lock "
            "(UID:Databases)",
            "Synchronization service: Duzaduza Databases read lock request (UID:Databases)",
            "Synchronization service: Duzaduza Databases read lock granted (UID:Databases)",
            // No blank between the lock type and "lock" here.
            "Synchronization service: Duzaduza Databases readlock released (UID:Databases)"));
}

struct WriteCase {
    bool answer;
    int readiness;
    int request;
    const char* readinessLine;
    const char* requestLine;
};

TEST_F(ListenerTest, WriteLockQuestionsWaitForTheUserInterfaceAnswer) {
    const WriteCase cases[] = {
        {true, 2, 2,
         "Synchronization service: Application is  ready for Duzaduza Databases write lock "
         "(UID:Databases)",
         "Synchronization service: Duzaduza Databases write lock granted (UID:Databases)"},
        {false, 1, 1,
         "Synchronization service: Application is  NOT ready for Duzaduza Databases write lock "
         "(UID:Databases)",
         "Synchronization service: Duzaduza Databases write lock denied (UID:Databases)"},
    };
    for (const auto& c : cases) {
        log->Clear();
        sender->answer = c.answer;
        EXPECT_EQ(Raise(extcomm::LockReadinessQuery, kWrite), c.readiness);
        EXPECT_EQ(Raise(extcomm::LockRequest, kWrite), c.request);
        EXPECT_EQ(Raise(extcomm::LockReleased, kWrite), 2);
        EXPECT_THAT(
            log->Lines(),
            ElementsAre(
                "Synchronization service: Checking if ready for Duzaduza Databases write lock "
                "request (UID:Databases)",
                c.readinessLine,
                "Synchronization service: Duzaduza Databases write lock request (UID:Databases)",
                c.requestLine,
                "Synchronization service: Duzaduza Databases writelock released (UID:Databases)",
                "Synchronization service: Duzaduza Databases writelock release (UID:Databases) "
                "signaled"));
    }
    const auto asked = sender->AskedQuestions();
    ASSERT_EQ(asked.size(), 6u);
    EXPECT_EQ(asked[0].code, codes::WM_SYNC_WRITE_LOCK_READINESS);
    EXPECT_EQ(asked[1].code, codes::WM_SYNC_WRITE_LOCK_REQUEST);
    EXPECT_EQ(asked[2].code, codes::WM_SYNC_WRITE_LOCK_RELEASED);
    for (const auto& a : asked) {
        EXPECT_EQ(a.object, "Duzaduza Databases");
        EXPECT_EQ(a.uid, "Databases");
        EXPECT_TRUE(a.initialAnswer);
    }
}

TEST_F(ListenerTest, AnUntouchedRecordMeansReady) {
    sender->answer.reset();
    EXPECT_EQ(Raise(extcomm::LockReadinessQuery, kWrite), 2);
    EXPECT_EQ(Raise(extcomm::LockRequest, kWrite), 2);
}

TEST_F(ListenerTest, AQuestionNobodyReceivedIsRefusedAndNeverWaitsForever) {
    sender->deliver = false;  // the main window is gone
    EXPECT_EQ(Raise(extcomm::LockReadinessQuery, kWrite), 1);
    EXPECT_EQ(Raise(extcomm::LockRequest, kWrite), 1);
    EXPECT_EQ(Raise(extcomm::LockReleased, kWrite), 2);
    EXPECT_THAT(
        log->Lines(),
        ElementsAre(
            "Synchronization service: Checking if ready for Duzaduza Databases write lock request "
            "(UID:Databases)",
            "Synchronization service: Duzaduza Databases write lock request (UID:Databases)",
            "Synchronization service: Duzaduza Databases writelock released (UID:Databases)"));
}

TEST(ListenerWithoutSender, WriteQuestionsAreRefusedAndNotificationsTaken) {
    auto log = std::make_shared<RecordingLog>();
    SynchronizationEventsListener listener(nullptr, log);
    const auto raise = [&](std::int32_t kind, const char16_t* text) {
        const auto k = static_cast<extcomm::SyncEventKind>(kind);
        return listener.OnSyncEvent(k, text);
    };
    EXPECT_EQ(raise(extcomm::ServiceConnected, nullptr), 0);
    EXPECT_EQ(raise(extcomm::ServiceDisconnected, nullptr), 0);
    EXPECT_EQ(raise(extcomm::LockReadinessQuery, kWrite.c_str()), 1);
    EXPECT_EQ(raise(extcomm::LockRequest, kWrite.c_str()), 1);
    EXPECT_EQ(raise(extcomm::LockReleased, kWrite.c_str()), 2);
    EXPECT_EQ(raise(extcomm::LockGranted, u"<LockLink uid=\"1\"><Cookie>5</Cookie></LockLink>"), 2);
    EXPECT_EQ(raise(extcomm::LockStatusChanged,
                    u"<LockStatus uid=\"1\"><Status>locked</Status></LockStatus>"),
              2);
    // Without a sender nobody can answer, and granted and status events are not even logged.
    EXPECT_THAT(
        log->Lines(),
        ElementsAre(
            "Synchronization service: Checking if ready for Duzaduza Databases write lock request "
            "(UID:Databases)",
            "Synchronization service: Duzaduza Databases write lock request (UID:Databases)",
            "Synchronization service: Duzaduza Databases writelock released (UID:Databases)"));
}

TEST_F(ListenerTest, LockResultsArePostedWithTaskIdCookieAndState) {
    EXPECT_EQ(Raise(extcomm::LockGranted, u"<LockLink uid=\"7\"><Cookie>4711</Cookie></LockLink>"),
              2);
    EXPECT_EQ(Raise(extcomm::LockGranted, u"<LockLink><Cookie>-1</Cookie></LockLink>"), 2);
    EXPECT_EQ(Raise(extcomm::LockStatusChanged,
                    u"<LockStatus uid=\"7\"><Status>locked</Status></LockStatus>"),
              2);
    EXPECT_EQ(Raise(extcomm::LockStatusChanged,
                    u"<LockStatus uid=\"8\"><Status>failed</Status></LockStatus>"),
              2);
    EXPECT_EQ(Raise(extcomm::LockStatusChanged,
                    u"<LockStatus uid=\"9\"><Status>unlocked</Status></LockStatus>"),
              2);
    EXPECT_EQ(Raise(extcomm::LockStatusChanged,
                    u"<LockStatus uid=\"9\"><Status>Locked</Status></LockStatus>"),
              2);
    EXPECT_THAT(sender->PostedMessages(), ElementsAre(Posted{codes::WM_SYNC_LOCK_GRANTED, 7, 4711},
                                                      Posted{codes::WM_SYNC_LOCK_GRANTED, 0, -1},
                                                      Posted{codes::WM_SYNC_LOCK_STATE, 7, 1},
                                                      Posted{codes::WM_SYNC_LOCK_STATE, 8, 0},
                                                      Posted{codes::WM_SYNC_LOCK_STATE, 9, 2},
                                                      Posted{codes::WM_SYNC_LOCK_STATE, 9, 2}));
    EXPECT_THAT(log->Lines(),
                ElementsAre("Synchronization service: Lock granted (ID:7, Cookie:4711)",
                            "Synchronization service: Lock granted (ID:0, Cookie:4294967295)",
                            "Synchronization service: Lock (ID:7) is now locked",
                            "Synchronization service: Lock (ID:8) has failed",
                            "Synchronization service: Lock (ID:9) is now unlocked",
                            "Synchronization service: Lock (ID:9) is now unlocked"));
}

TEST_F(ListenerTest, UnreadableOrMissingTextsGiveTheirFixedAnswersAndPostNothing) {
    struct Case {
        std::int32_t kind;
        const char16_t* text;
        int result;
    };
    const Case cases[] = {
        {extcomm::LockReadinessQuery, nullptr, 1},
        {extcomm::LockRequest, nullptr, 1},
        {extcomm::LockReleased, nullptr, 1},
        {extcomm::LockGranted, nullptr, 2},
        {extcomm::LockStatusChanged, nullptr, 2},
        {extcomm::LockReadinessQuery, u"not xml", 1},
        {extcomm::LockRequest, u"<lockdescription/>", 1},
        {extcomm::LockReleased,
         u"<LockDescription><ObjectLink>A</ObjectLink><Type>write</Type></LockDescription>", 1},
        {extcomm::LockGranted, u"<LockLink uid=\"1\"><Cookie></Cookie></LockLink>", 0},
        {extcomm::LockStatusChanged, u"<LockStatus uid=\"1\"/>", 0},
        {extcomm::LockGranted, u"", 0},
        {7, u"anything", 0},
        {9, u"anything", 0},
        {-1, nullptr, 0},
        {0x7FFFFFFF, u"x", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Raise(c.kind, c.text), c.result) << "kind " << c.kind;
    }
    EXPECT_THAT(sender->PostedMessages(), IsEmpty());
    EXPECT_THAT(log->Lines(), IsEmpty());
}

TEST_F(ListenerTest, ServiceMessagesAreLoggedAsTheyCome) {
    EXPECT_EQ(Raise(extcomm::ServiceMessage, u"Update 5 of 7 \u00E9"), 0);
    EXPECT_EQ(Raise(extcomm::ServiceMessage, nullptr), 0);
    EXPECT_EQ(Raise(extcomm::ServiceMessage, u""), 0);
    EXPECT_THAT(log->Lines(),
                ElementsAre("Synchronization service: Update 5 of 7 \xE9",
                            "Synchronization service: ", "Synchronization service: "));
    EXPECT_THAT(sender->PostedMessages(), IsEmpty());
}

class ThrowingSender : public synchronization::messaging::IMessageSender {
  public:
    bool Post(std::uint32_t, platform::WParam, platform::LParam) override {
        throw std::runtime_error("window gone");
    }
    bool Post(std::uint32_t) override { throw std::runtime_error("window gone"); }
};

TEST(ListenerExceptions, NeverReachTheLibrary) {
    auto log = std::make_shared<RecordingLog>();
    SynchronizationEventsListener listener(std::make_shared<ThrowingSender>(), log);
    const auto raise = [&](std::int32_t kind, const std::u16string& text) {
        const auto k = static_cast<extcomm::SyncEventKind>(kind);
        return listener.OnSyncEvent(k, text.c_str());
    };
    EXPECT_EQ(raise(extcomm::ServiceConnected, u""), 0);
    EXPECT_EQ(raise(extcomm::LockReadinessQuery, kWrite), 1);
    EXPECT_EQ(raise(extcomm::LockRequest, kWrite), 1);
    // A post that throws counts as not delivered: the release happened all the same.
    EXPECT_EQ(raise(extcomm::LockReleased, kWrite), 2);
    EXPECT_EQ(raise(extcomm::LockGranted, u"<LockLink uid=\"1\"><Cookie>5</Cookie></LockLink>"), 0);
}

class ThrowingLog : public RecordingLog {
  public:
    bool Log(const std::u16string&) override { throw std::runtime_error("disk full"); }
};

TEST(ListenerExceptions, FromTheLogGiveRejectedForQuestionsAndNoAnswerOtherwise) {
    auto sender = std::make_shared<RecordingSender>();
    SynchronizationEventsListener listener(sender, std::make_shared<ThrowingLog>());
    const auto raise = [&](std::int32_t kind, const std::u16string& text) {
        const auto k = static_cast<extcomm::SyncEventKind>(kind);
        return listener.OnSyncEvent(k, text.c_str());
    };
    EXPECT_EQ(raise(extcomm::LockReadinessQuery, kRead), 1);
    EXPECT_EQ(raise(extcomm::LockRequest, kWrite), 1);
    EXPECT_EQ(raise(extcomm::LockReleased, kRead), 1);
    EXPECT_EQ(raise(extcomm::LockGranted, u"<LockLink uid=\"1\"><Cookie>5</Cookie></LockLink>"), 0);
    EXPECT_EQ(raise(extcomm::ServiceMessage, u"hello"), 0);
    EXPECT_TRUE(sender->PostedMessages().empty());
}

TEST_F(ListenerTest, ConcurrentQuestionsEachGetTheirOwnAnswer) {
    // Odd threads ask about an object the user interface refuses; each must see its own answer.
    struct Answering : synchronization::messaging::IMessageSender {
        bool Post(std::uint32_t code, platform::WParam wParam, platform::LParam lParam) override {
            auto* query = reinterpret_cast<synchronization::manager::LockQuery*>(wParam);
            AnswerAtOnce(code, wParam, lParam, query->object == u"yes");
            return true;
        }
        bool Post(std::uint32_t) override { return true; }
    };
    SynchronizationEventsListener shared(std::make_shared<Answering>(), nullptr);
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            const std::u16string text = Description(t % 2 ? "no/x" : "yes/x", "write");
            const extcomm::SyncEventKind kind = extcomm::LockReadinessQuery;
            for (int i = 0; i < 200; ++i) {
                const int result = shared.OnSyncEvent(kind, text.c_str());
                if (result != (t % 2 ? 1 : 2)) ++wrong;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
