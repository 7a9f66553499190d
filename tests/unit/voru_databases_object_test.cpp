#include "data_objects/voru_databases_object.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "manager/lock_query.h"
#include "messaging/message_codes.h"
#include "platform/text.h"

namespace {

using application::data_objects::IMapAppChannel;
using application::data_objects::MapAppStatus;
using application::data_objects::VoruDatabasesObject;
using synchronization::manager::LockQuery;
using testing::_;
using testing::ElementsAre;
using testing::Return;
namespace msg = synchronization::messaging;

using Block = std::array<std::uint8_t, 15>;

class MockManager : public synchronization::manager::ISynchronizationManager {
  public:
    MOCK_METHOD(std::uint32_t, Lock, (const std::u16string&, const std::u16string&, bool),
                (override));
    MOCK_METHOD(std::uint32_t, Unlock, (const std::uint32_t&), (override));
};

class FakeLog : public synchronization::logging::ISynchronizationLogging {
  public:
    bool OnMessage(std::uint32_t, platform::WParam, platform::LParam) override { return false; }
    bool Log(const std::u16string& text) override {
        lines.push_back(platform::Narrow(text));
        return true;
    }
    bool Log(const std::string& text) override {
        lines.push_back(text);
        return true;
    }
    std::vector<std::string> lines;
};

class NullSender : public synchronization::messaging::IMessageSender {
  public:
    bool Post(std::uint32_t, platform::WParam, platform::LParam) override { return true; }
    bool Post(std::uint32_t) override { return true; }
};

// The map application's end: records every block, and can answer inside the send as a real map
// application does, or not take the block at all.
class FakeChannel : public IMapAppChannel {
  public:
    platform::CopyDataSendResult Send(platform::WindowHandle mapApp,
                                      platform::WindowHandle mainWindow,
                                      const platform::CopyDataRecord& record,
                                      std::uint32_t timeoutMs) override {
        EXPECT_EQ(record.dwData, 277u);
        EXPECT_EQ(record.cbData, 15u);
        EXPECT_EQ(mainWindow, kMainWindow);
        Block block{};
        std::memcpy(block.data(), record.lpData, 15);
        sent.push_back(block);
        targets.push_back(mapApp);
        lastTimeout = timeoutMs;
        if (timeOut) return platform::CopyDataSendResult::TimedOut;
        if (duringSend) duringSend(block);
        return platform::CopyDataSendResult::Delivered;
    }
    static constexpr platform::WindowHandle kMainWindow = 0x100;
    std::vector<Block> sent;
    std::vector<platform::WindowHandle> targets;
    std::function<void(const Block&)> duringSend;
    bool timeOut = false;
    std::uint32_t lastTimeout = 0;
};

constexpr platform::WindowHandle kMapApp = 0x200;

Block MapAppBlock(std::uint8_t running, std::uint8_t protect, std::uint8_t consent) {
    Block b{};
    b[10] = running;
    b[12] = protect;
    b[13] = consent;
    return b;
}

class CoordinatorTest : public testing::Test {
  protected:
    CoordinatorTest()
        : manager(std::make_shared<testing::StrictMock<MockManager>>()),
          log(std::make_shared<FakeLog>()),
          channel(std::make_shared<FakeChannel>()),
          coordinator(manager, log, std::make_shared<NullSender>(), FakeChannel::kMainWindow,
                      channel) {}

    // Connected, read lock 1 granted with cookie 11.
    void Connect() {
        EXPECT_CALL(*manager,
                    Lock(std::u16string(u"Duzaduza Databases"), std::u16string(u"Databases"), true))
            .WillOnce(Return(1));
        EXPECT_FALSE(coordinator.OnMessage(msg::WM_SYNC_CONNECTED, 0, 0));
        EXPECT_TRUE(coordinator.OnMessage(msg::WM_SYNC_LOCK_GRANTED, 1, 11));
        testing::Mock::VerifyAndClearExpectations(manager.get());
    }
    int Deliver(const Block& block, platform::WindowHandle from = kMapApp, std::uint32_t size = 15,
                std::uintptr_t id = 277) {
        std::vector<std::uint8_t> data(block.begin(), block.end());
        data.resize(size < 15 ? 15 : size, 0xEE);
        platform::CopyDataRecord record{id, size, data.data()};
        return coordinator.HandleCopyData(from, &record);
    }
    bool Ask(std::uint32_t code, LockQuery& query) {
        return coordinator.OnMessage(code, reinterpret_cast<platform::WParam>(&query), 0);
    }
    void ClearLog() { log->lines.clear(); }

    std::shared_ptr<testing::StrictMock<MockManager>> manager;
    std::shared_ptr<FakeLog> log;
    std::shared_ptr<FakeChannel> channel;
    VoruDatabasesObject coordinator;
};

TEST_F(CoordinatorTest, ConnectionRequestsTheReadLockAndReportsItToNoOneWithoutAMapApp) {
    Connect();
    EXPECT_THAT(log->lines, ElementsAre("Databases: Read lock request initiated",
                                        "Databases: Read lock acquired (ID:1, Cookie:11)"));
    EXPECT_TRUE(channel->sent.empty());
    // A second connection event starts over with a fresh read lock request.
    EXPECT_CALL(*manager, Lock(_, _, true)).WillOnce(Return(7));
    coordinator.OnMessage(msg::WM_SYNC_CONNECTED, 0, 0);
    EXPECT_TRUE(coordinator.OnMessage(msg::WM_SYNC_LOCK_GRANTED, 7, 4000000000LL));
    EXPECT_EQ(log->lines.back(), "Databases: Read lock acquired (ID:7, Cookie:4000000000)");
}

// The service's three questions, each in a situation given by the map application's presence
// and consent, the coordinator's own write activity and what the map application does during the
// send.
struct QuestionCase {
    const char* name;
    std::uint32_t code;
    bool mapApp;
    std::uint8_t consent;
    bool ownWriteLock;
    int replyConsentDuringSend;  // -1: no reply
    bool handled;
    bool answer;
    bool grantedAfter;       // visible as byte 3 of the next status
    int sends;               // status blocks sent while answering
    std::uint8_t byte6Sent;  // byte 6 of the last block sent (when sends > 0)
};

TEST_F(CoordinatorTest, QuestionsFromTheService) {
    const QuestionCase cases[] = {
        {"readiness, no map app", msg::WM_SYNC_WRITE_LOCK_READINESS, false, 0, false, -1, true,
         true, false, 0, 0},
        {"request, no map app", msg::WM_SYNC_WRITE_LOCK_REQUEST, false, 0, false, -1, true, true,
         true, 0, 0},
        {"readiness, map app refuses", msg::WM_SYNC_WRITE_LOCK_READINESS, true, 0, false, -1, true,
         false, false, 1, 1},
        {"readiness, map app consents during the send", msg::WM_SYNC_WRITE_LOCK_READINESS, true, 0,
         false, 1, true, true, false, 1, 1},
        {"readiness, map app consented before", msg::WM_SYNC_WRITE_LOCK_READINESS, true, 1, false,
         -1, true, true, false, 1, 0},
        {"readiness, own write lock", msg::WM_SYNC_WRITE_LOCK_READINESS, true, 1, true, -1, true,
         false, false, 0, 0},
        {"request, map app refuses", msg::WM_SYNC_WRITE_LOCK_REQUEST, true, 0, false, -1, true,
         false, false, 1, 0},
        {"request, map app consents", msg::WM_SYNC_WRITE_LOCK_REQUEST, true, 1, false, -1, true,
         true, true, 1, 0},
        {"request, own write lock", msg::WM_SYNC_WRITE_LOCK_REQUEST, false, 0, true, -1, true,
         false, false, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto mgr = std::make_shared<testing::NiceMock<MockManager>>();
        auto lg = std::make_shared<FakeLog>();
        auto ch = std::make_shared<FakeChannel>();
        VoruDatabasesObject co(mgr, lg, std::make_shared<NullSender>(), FakeChannel::kMainWindow,
                               ch);
        ON_CALL(*mgr, Lock(_, _, true)).WillByDefault(Return(1));
        ON_CALL(*mgr, Lock(_, _, false)).WillByDefault(Return(2));
        co.OnMessage(msg::WM_SYNC_CONNECTED, 0, 0);
        co.OnMessage(msg::WM_SYNC_LOCK_GRANTED, 1, 11);
        if (c.mapApp) {
            Block b = MapAppBlock(1, 0, c.consent);
            platform::CopyDataRecord r{277, 15, b.data()};
            ASSERT_EQ(co.HandleCopyData(kMapApp, &r), 1);
        }
        if (c.ownWriteLock) co.OnMessage(msg::WM_SYNC_CHART_MODIFIER_DETECTED, 0, 0);
        if (c.replyConsentDuringSend >= 0) {
            // Like a real map application: it keeps the status it got and answers once.
            ch->duringSend = [&co, &c, replied = false](const Block& got) mutable {
                if (replied) return;
                replied = true;
                Block b = got;
                b[13] = static_cast<std::uint8_t>(c.replyConsentDuringSend);
                platform::CopyDataRecord r{277, 15, b.data()};
                EXPECT_EQ(co.HandleCopyData(kMapApp, &r), 1);
            };
        }
        ch->sent.clear();
        LockQuery query{u"Duzaduza Databases", u"Databases", true};
        EXPECT_EQ(co.OnMessage(c.code, reinterpret_cast<platform::WParam>(&query), 0), c.handled);
        EXPECT_EQ(query.answer, c.answer);
        EXPECT_EQ(ch->sent.size(), static_cast<std::size_t>(c.sends));
        if (c.sends > 0 && !ch->sent.empty()) {
            EXPECT_EQ(ch->sent.front()[6], c.byte6Sent);
        }
        ch->duringSend = nullptr;
        ch->sent.clear();
        // Byte 3 of a fresh status tells whether the service now holds the write lock.
        Block probe = MapAppBlock(1, 0, 0);
        probe[3] = 0xFF;  // differs from anything the program writes: forces a status back
        platform::CopyDataRecord r{277, 15, probe.data()};
        co.HandleCopyData(kMapApp, &r);
        ASSERT_FALSE(ch->sent.empty());
        EXPECT_EQ(ch->sent.back()[3], c.grantedAfter ? 1 : 0);
    }
}

TEST_F(CoordinatorTest, QuestionsAboutOtherObjectsAreNotHandledAndKeepTheDefaultAnswer) {
    Connect();
    ASSERT_EQ(Deliver(MapAppBlock(1, 0, 0)), 1);
    channel->sent.clear();
    LockQuery queries[] = {
        {u"Other Databases", u"Databases", true},
        {u"Duzaduza Databases", u"databases", true},
        {u"Duzaduza Databases ", u"Databases", true},
    };
    for (std::uint32_t code : {msg::WM_SYNC_WRITE_LOCK_REQUEST, msg::WM_SYNC_WRITE_LOCK_RELEASED,
                               msg::WM_SYNC_WRITE_LOCK_READINESS}) {
        for (auto& q : queries) {
            EXPECT_FALSE(Ask(code, q));
            EXPECT_TRUE(q.answer);
        }
        EXPECT_FALSE(coordinator.OnMessage(code, 0, 0));
    }
    EXPECT_TRUE(channel->sent.empty());
}

TEST_F(CoordinatorTest, RepeatedChartModifierReportsLogAndRequestOnceThenReleaseAfterAcquisition) {
    Connect();
    ClearLog();
    EXPECT_CALL(*manager, Lock(_, _, false)).WillOnce(Return(5));
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(coordinator.OnMessage(msg::WM_SYNC_CHART_MODIFIER_DETECTED, 0, 0));
    EXPECT_THAT(log->lines, ElementsAre("Watchdog: Chart modifying application detected",
                                        "Databases: Write lock request initiated"));
    // Closed while the lock is only requested: nothing to release yet.
    ClearLog();
    EXPECT_FALSE(coordinator.OnMessage(msg::WM_SYNC_CHART_MODIFIERS_CLOSED, 0, 0));
    EXPECT_THAT(log->lines, ElementsAre("Watchdog: Chart modifying applications have been closed"));
    ClearLog();
    EXPECT_TRUE(coordinator.OnMessage(msg::WM_SYNC_LOCK_GRANTED, 5, 55));
    EXPECT_CALL(*manager, Unlock(55u)).WillOnce(Return(6));
    EXPECT_FALSE(coordinator.OnMessage(msg::WM_SYNC_CHART_MODIFIERS_CLOSED, 0, 0));
    EXPECT_THAT(log->lines, ElementsAre("Databases: Write lock acquired (ID:5, Cookie:55)",
                                        "Databases: Write unlock request initiated (Cookie:55)"));
    // The service may not write while the unlock is pending.
    LockQuery q{u"Duzaduza Databases", u"Databases", true};
    EXPECT_TRUE(Ask(msg::WM_SYNC_WRITE_LOCK_READINESS, q));
    EXPECT_FALSE(q.answer);
    ClearLog();
    EXPECT_TRUE(coordinator.OnMessage(msg::WM_SYNC_LOCK_STATE, 6, 2));
    EXPECT_THAT(log->lines, ElementsAre("Databases: Write unlock task (ID:6) completed"));
    q.answer = false;
    EXPECT_TRUE(Ask(msg::WM_SYNC_WRITE_LOCK_READINESS, q));
    EXPECT_TRUE(q.answer);
}

struct TaskStateCase {
    const char* name;
    bool write;   // the pending task is the write lock task
    bool unlock;  // it is an unlock task of a held lock
    std::intptr_t state;
    std::vector<std::string> lines;
    bool holdsAfter;  // the lock still counts as held
};

TEST_F(CoordinatorTest, TaskStates) {
    const TaskStateCase cases[] = {
        {"read lock reports locked",
         false,
         false,
         1,
         {"Databases: Consistency error. Read lock task (ID:3) reports lock without supplying lock "
          "cookie!",
          "Databases: Read lock task (ID:3) failed"},
         false},
        {"read lock failed", false, false, 0, {"Databases: Read lock task (ID:3) failed"}, false},
        {"write lock reports locked",
         true,
         false,
         1,
         {"Databases: Consistency error. Write lock task (ID:3) reports lock without supplying "
          "lock cookie!",
          "Databases: Write lock task (ID:3) failed"},
         false},
        {"write lock unlocked",
         true,
         false,
         2,
         {"Databases: Write lock task (ID:3) failed"},
         false},
        {"write unlock failed (0) counts as completed",
         true,
         true,
         0,
         {"Databases: Write unlock task (ID:3) completed"},
         false},
        {"write unlock still locked",
         true,
         true,
         1,
         {"Databases: Write unlock task (ID:3) failed"},
         true},
        {"write unlock unlocked",
         true,
         true,
         2,
         {"Databases: Write unlock task (ID:3) completed"},
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto mgr = std::make_shared<testing::NiceMock<MockManager>>();
        auto lg = std::make_shared<FakeLog>();
        VoruDatabasesObject co(mgr, lg, std::make_shared<NullSender>(), FakeChannel::kMainWindow,
                               std::make_shared<FakeChannel>());
        ON_CALL(*mgr, Lock(_, _, true)).WillByDefault(Return(c.write ? 1 : 3));
        ON_CALL(*mgr, Lock(_, _, false)).WillByDefault(Return(c.unlock ? 2 : 3));
        ON_CALL(*mgr, Unlock(_)).WillByDefault(Return(3));
        co.OnMessage(msg::WM_SYNC_CONNECTED, 0, 0);
        if (c.write) {
            co.OnMessage(msg::WM_SYNC_LOCK_GRANTED, 1, 11);
            co.OnMessage(msg::WM_SYNC_CHART_MODIFIER_DETECTED, 0, 0);
            if (c.unlock) {
                co.OnMessage(msg::WM_SYNC_LOCK_GRANTED, 2, 22);
                co.OnMessage(msg::WM_SYNC_CHART_MODIFIERS_CLOSED, 0, 0);
            }
        }
        lg->lines.clear();
        EXPECT_TRUE(co.OnMessage(msg::WM_SYNC_LOCK_STATE, 3, c.state));
        EXPECT_EQ(lg->lines, c.lines);
        // The task is cleared: a repeat of the report matches nothing.
        EXPECT_FALSE(co.OnMessage(msg::WM_SYNC_LOCK_STATE, 3, c.state));
        if (c.write) {
            // The service may write only when nothing of the program's own write lock is left.
            LockQuery q{u"Duzaduza Databases", u"Databases", true};
            co.OnMessage(msg::WM_SYNC_WRITE_LOCK_READINESS, reinterpret_cast<platform::WParam>(&q),
                         0);
            EXPECT_EQ(q.answer, !c.holdsAfter);
        }
    }
}

TEST_F(CoordinatorTest, UnknownTaskIdsAndZeroCookiesAreNotHandled) {
    Connect();
    ClearLog();
    EXPECT_FALSE(coordinator.OnMessage(msg::WM_SYNC_LOCK_GRANTED, 99, 5));
    EXPECT_FALSE(coordinator.OnMessage(msg::WM_SYNC_LOCK_GRANTED, 0, 5));
    EXPECT_FALSE(coordinator.OnMessage(msg::WM_SYNC_LOCK_STATE, 1, 2));  // a held lock's old task
    EXPECT_FALSE(coordinator.OnMessage(msg::WM_SYNC_LOCK_STATE, 0, 2));
    for (std::uint32_t code = msg::WM_SYNC_LOG_PENDING; code <= msg::WM_SYNC_SERVICE_NOT_RUNNING;
         ++code) {
        EXPECT_FALSE(coordinator.OnMessage(code, 0, 0));
    }
    EXPECT_TRUE(log->lines.empty());
}

TEST_F(CoordinatorTest, RefusedLockRequestsAreMadeAgainAtTheNextTrigger) {
    EXPECT_CALL(*manager, Lock(_, _, true)).WillOnce(Return(0));
    coordinator.OnMessage(msg::WM_SYNC_CONNECTED, 0, 0);
    EXPECT_CALL(*manager, Lock(_, _, false)).WillOnce(Return(0)).WillOnce(Return(4));
    coordinator.OnMessage(msg::WM_SYNC_CHART_MODIFIER_DETECTED, 0, 0);
    coordinator.OnMessage(msg::WM_SYNC_CHART_MODIFIER_DETECTED, 0, 0);
    EXPECT_THAT(log->lines, ElementsAre("Databases: Read lock request initiated",
                                        "Watchdog: Chart modifying application detected",
                                        "Databases: Write lock request initiated",
                                        "Databases: Write lock request initiated"));
}

struct BlockCase {
    const char* name;
    bool connected;
    platform::WindowHandle from;
    std::uintptr_t id;
    std::uint32_t size;
    bool nullData;
    int result;
};

TEST_F(CoordinatorTest, BlocksAreCheckedBeforeAnythingChanges) {
    const BlockCase cases[] = {
        {"15 bytes", true, kMapApp, 277, 15, false, 1},
        {"20 bytes, the rest ignored", true, kMapApp, 277, 20, false, 1},
        {"14 bytes", true, kMapApp, 277, 14, false, 0},
        {"other identifier", true, kMapApp, 278, 15, false, 0},
        {"no data", true, kMapApp, 277, 15, true, 0},
        {"no sender", true, 0, 277, 15, false, 0},
        {"disconnected", false, kMapApp, 277, 15, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto mgr = std::make_shared<testing::NiceMock<MockManager>>();
        auto lg = std::make_shared<FakeLog>();
        auto ch = std::make_shared<FakeChannel>();
        VoruDatabasesObject co(mgr, lg, std::make_shared<NullSender>(), FakeChannel::kMainWindow,
                               ch);
        co.OnMessage(c.connected ? msg::WM_SYNC_CONNECTION_CONFIRMED : msg::WM_SYNC_DISCONNECTED, 0,
                     0);
        std::vector<std::uint8_t> data(20, 0xEE);
        Block b = MapAppBlock(1, 0, 1);
        std::copy(b.begin(), b.end(), data.begin());
        platform::CopyDataRecord r{c.id, c.size, c.nullData ? nullptr : data.data()};
        EXPECT_EQ(co.HandleCopyData(c.from, &r), c.result);
        if (c.result == 1) {
            EXPECT_THAT(lg->lines, ElementsAre("Databases: Map app detected and registered"));
            ASSERT_EQ(ch->sent.size(), 1u);
            EXPECT_EQ(ch->sent[0][0], 1);
            EXPECT_EQ(ch->sent[0][13], 1);
        } else {
            EXPECT_TRUE(lg->lines.empty());
            EXPECT_TRUE(ch->sent.empty());
            EXPECT_EQ(co.MapAppWindow(), 0u);
        }
    }
    EXPECT_EQ(coordinator.HandleCopyData(kMapApp, nullptr), 0);
}

TEST_F(CoordinatorTest, MapAppStatusBytesTravelAsTheTablesSay) {
    Connect();
    ClearLog();
    // The first running block of a new map app always gets the status back: byte 0 becomes 1.
    Block first{};
    first[8] = 8;
    first[9] = 9;
    first[10] = 1;
    first[11] = 0x11;
    first[14] = 0x40;
    ASSERT_EQ(Deliver(first), 1);
    ASSERT_EQ(channel->sent.size(), 1u);
    EXPECT_EQ(channel->targets[0], kMapApp);
    EXPECT_EQ(channel->lastTimeout, VoruDatabasesObject::kDefaultSendTimeoutMs);
    EXPECT_EQ(channel->sent[0], (Block{1, 1, 0, 0, 0, 0, 0, 1, 8, 9, 1, 0x11, 0, 0, 0x40}));
    // A map app that keeps the last status gets nothing new while nothing changed.
    Block keep = channel->sent[0];
    ASSERT_EQ(Deliver(keep), 1);
    EXPECT_EQ(channel->sent.size(), 1u);
    // Protection: the write lock is requested, and the change in byte 4 is sent back.
    EXPECT_CALL(*manager, Lock(_, _, false)).WillOnce(Return(2));
    keep[12] = 1;
    ASSERT_EQ(Deliver(keep), 1);
    ASSERT_EQ(channel->sent.size(), 2u);
    EXPECT_EQ(channel->sent[1][4], 1);
    EXPECT_EQ(channel->sent[1][12], 1);
    EXPECT_TRUE(coordinator.OnMessage(msg::WM_SYNC_LOCK_GRANTED, 2, 22));
    EXPECT_EQ(channel->sent.back()[2], 1);
    // A block from another window replaces the registration without a log line.
    ASSERT_EQ(Deliver(channel->sent.back(), 0x300), 1);
    // Shutting down unregisters, drops protection and releases the write lock.
    EXPECT_CALL(*manager, Unlock(22u)).WillOnce(Return(3));
    Block bye = channel->sent.back();
    bye[10] = 0;
    const auto sentBefore = channel->sent.size();
    ASSERT_EQ(Deliver(bye), 1);
    EXPECT_EQ(channel->sent.size(), sentBefore);  // no map app left to tell
    EXPECT_THAT(log->lines, ElementsAre("Databases: Map app detected and registered",
                                        "Databases: Write lock request initiated",
                                        "Databases: Write lock acquired (ID:2, Cookie:22)",
                                        "Databases: Map app shutting down, unregistered",
                                        "Databases: Write unlock request initiated (Cookie:22)"));
    EXPECT_EQ(coordinator.MapAppWindow(), 0u);
}

TEST_F(CoordinatorTest, AMapAppThatDoesNotTakeTheStatusIsGivenUpOnAndTheQuestionIsStillAnswered) {
    Connect();
    ASSERT_EQ(Deliver(MapAppBlock(1, 0, 0)), 1);
    coordinator.SetSendTimeout(250);
    channel->timeOut = true;
    ClearLog();
    for (int i = 0; i < 2; ++i) {
        LockQuery q{u"Duzaduza Databases", u"Databases", true};
        EXPECT_TRUE(Ask(msg::WM_SYNC_WRITE_LOCK_READINESS, q));
        EXPECT_FALSE(q.answer);
        EXPECT_EQ(channel->lastTimeout, 250u);
    }
    EXPECT_THAT(log->lines, ElementsAre("Databases: Map app did not take the status in time",
                                        "Databases: Map app did not take the status in time"));
}

TEST_F(CoordinatorTest, ReleaseByTheServiceTakesTheProgramsOwnWriteLockWhenStillWanted) {
    Connect();
    LockQuery q{u"Duzaduza Databases", u"Databases", true};
    EXPECT_TRUE(Ask(msg::WM_SYNC_WRITE_LOCK_REQUEST, q));
    EXPECT_TRUE(q.answer);
    // While the service writes, a chart-modifying application waits for its turn.
    coordinator.OnMessage(msg::WM_SYNC_CHART_MODIFIER_DETECTED, 0, 0);
    EXPECT_CALL(*manager, Lock(_, _, false)).WillOnce(Return(9));
    EXPECT_TRUE(Ask(msg::WM_SYNC_WRITE_LOCK_RELEASED, q));
    EXPECT_EQ(log->lines.back(), "Databases: Write lock request initiated");
}

}  // namespace
