#include "manager/xml_messages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/text.h"

namespace {

using namespace synchronization::manager;

TEST(XmlRequests, ExampleDocumentsAreByteExact) {
    EXPECT_EQ(BuildLockRequest(u"Duzaduza Databases", u"Databases", true, 7),
              u"<?xml version=\"1.0\"?>\n<LockDescription uid=\"7\">\n"
              u"<ObjectLink>Duzaduza Databases/Databases</ObjectLink>\n<Type>read</Type>\n"
              u"</LockDescription>\n");
    EXPECT_EQ(BuildLockRequest(u"A", u"B", false, 4294967295u),
              u"<?xml version=\"1.0\"?>\n<LockDescription uid=\"4294967295\">\n"
              u"<ObjectLink>A/B</ObjectLink>\n<Type>write</Type>\n</LockDescription>\n");
    EXPECT_EQ(
        BuildUnlockRequest(8, 4711),
        u"<?xml version=\"1.0\"?>\n<LockLink uid=\"8\">\n<Cookie>4711</Cookie>\n</LockLink>\n");
    EXPECT_EQ(BuildUnlockRequest(1, 4294967295u),
              u"<?xml version=\"1.0\"?>\n<LockLink uid=\"1\">\n<Cookie>4294967295</Cookie>\n"
              u"</LockLink>\n");
    EXPECT_EQ(BuildPauseRequest("", true),
              u"<?xml version=\"1.0\"?>\n<PauseSynchronization>\n<DataType></DataType>\n"
              u"<Action>Pause</Action>\n</PauseSynchronization>\n");
    EXPECT_EQ(BuildPauseRequest("", false),
              u"<?xml version=\"1.0\"?>\n<PauseSynchronization>\n<DataType></DataType>\n"
              u"<Action>Resume</Action>\n</PauseSynchronization>\n");
}

TEST(XmlRequests, InvalidArgumentsGiveEmptyText) {
    EXPECT_EQ(BuildLockRequest(u"A", u"B", true, 0), u"");
    EXPECT_EQ(BuildLockRequest(u"", u"B", true, 1), u"");
    EXPECT_EQ(BuildLockRequest(u"A", u"", true, 1), u"");
    EXPECT_EQ(BuildUnlockRequest(0, 1), u"");
    EXPECT_EQ(BuildUnlockRequest(1, 0), u"");
}

TEST(XmlRequests, SpecialAndNonAsciiCharactersSurviveARoundTrip) {
    const std::u16string request = BuildLockRequest(u"R&D <x>", u"caf\u00E9", false, 3);
    // U+00E9 travels as the byte 0xE9, which the UTF-16 form of the request carries as U+FFE9.
    EXPECT_NE(
        platform::Narrow(request).find("<ObjectLink>R&amp;D &lt;x&gt;/caf\xE9</ObjectLink>\n"),
        std::string::npos)
        << platform::Narrow(request);
    std::u16string object;
    std::u16string uid;
    bool isWrite = false;
    ASSERT_TRUE(ParseLockDescription(request, object, uid, isWrite));
    EXPECT_EQ(object, u"R&D <x>");
    EXPECT_EQ(uid, u"caf\uFFE9");
    EXPECT_TRUE(isWrite);
}

struct DescriptionCase {
    const char* name;
    std::u16string text;
    bool ok;
    std::u16string object;
    std::u16string uid;
    bool isWrite;
};

std::u16string Description(const std::u16string& link, const std::u16string& type) {
    return u"<LockDescription uid=\"5\"><ObjectLink>" + link + u"</ObjectLink><Type>" + type +
           u"</Type></LockDescription>";
}

TEST(XmlEvents, ParseLockDescriptionCases) {
    const DescriptionCase cases[] = {
        {"plain write", Description(u"Duzaduza Databases/Databases", u"write"), true,
         u"Duzaduza Databases", u"Databases", true},
        {"extra segments and leading slash",
         Description(u"/Duzaduza Databases/Databases/x", u"write"), true, u"Duzaduza Databases",
         u"Databases", true},
        {"empty uid", Description(u"A/", u"write"), true, u"A", u"", true},
        {"no slash", Description(u"A", u"write"), false, u"", u"", false},
        {"only leading slash", Description(u"/A", u"write"), false, u"", u"", false},
        {"READ is read", Description(u"A/B", u"READ"), true, u"A", u"B", false},
        {"Write is read", Description(u"A/B", u"Write"), true, u"A", u"B", false},
        {"empty type", Description(u"A/B", u""), false, u"A", u"B", false},
        {"empty link", Description(u"", u"write"), false, u"", u"", false},
        {"root case differs",
         u"<Lockdescription><ObjectLink>A/B</ObjectLink><Type>write</Type></Lockdescription>",
         false, u"", u"", false},
        {"declaration and comment first",
         u"<?xml version=\"1.0\"?>\n<!-- from the service -->\n" + Description(u"A/B", u"write"),
         true, u"A", u"B", true},
        {"non-ASCII byte", Description(u"\u00E9/B", u"read"), true, u"\uFFE9", u"B", false},
        {"entity in link", Description(u"A&amp;B/C", u"read"), true, u"A&B", u"C", false},
        {"not well-formed", u"<LockDescription><ObjectLink>A/B</Type>", false, u"", u"", false},
        {"empty text", u"", false, u"", u"", false},
    };
    for (const auto& c : cases) {
        std::u16string object = u"stale";
        std::u16string uid = u"stale";
        bool isWrite = true;
        EXPECT_EQ(ParseLockDescription(c.text, object, uid, isWrite), c.ok) << c.name;
        if (c.ok) {
            EXPECT_EQ(object, c.object) << c.name;
            EXPECT_EQ(uid, c.uid) << c.name;
            EXPECT_EQ(isWrite, c.isWrite) << c.name;
        } else {
            EXPECT_FALSE(isWrite) << c.name;
        }
    }
}

struct LinkCase {
    const char* name;
    std::u16string text;
    bool ok;
    std::uint32_t taskId;
    std::int32_t cookie;
};

TEST(XmlEvents, ParseLockLinkCases) {
    const LinkCase cases[] = {
        {"plain", u"<LockLink uid=\"8\"><Cookie>4711</Cookie></LockLink>", true, 8, 4711},
        {"no uid", u"<LockLink><Cookie>4711</Cookie></LockLink>", true, 0, 4711},
        {"cookie abc", u"<LockLink uid=\"8\"><Cookie>abc</Cookie></LockLink>", true, 8, 0},
        {"cookie 12abc", u"<LockLink uid=\"8\"><Cookie>12abc</Cookie></LockLink>", true, 8, 12},
        {"cookie too big", u"<LockLink uid=\"8\"><Cookie>3000000000</Cookie></LockLink>", true, 8,
         2147483647},
        {"cookie too small", u"<LockLink uid=\"8\"><Cookie>-3000000000</Cookie></LockLink>", true,
         8, INT32_MIN},
        {"cookie blanks and sign", u"<LockLink uid=\"8\"><Cookie>  -42</Cookie></LockLink>", true,
         8, -42},
        {"missing cookie keeps task id", u"<LockLink uid=\"9\"></LockLink>", false, 9, 0},
        {"empty cookie keeps task id", u"<LockLink uid=\"9\"><Cookie/></LockLink>", false, 9, 0},
        {"uid negative wraps", u"<LockLink uid=\"-1\"><Cookie>1</Cookie></LockLink>", true,
         4294967295u, 1},
        {"uid clamps", u"<LockLink uid=\"99999999999\"><Cookie>1</Cookie></LockLink>", true,
         4294967295u, 1},
        {"uid blanks and plus", u"<LockLink uid=\" +17x\"><Cookie>1</Cookie></LockLink>", true, 17,
         1},
        {"declaration first",
         u"<?xml version=\"1.0\"?><!-- c --><LockLink uid=\"3\"><Cookie>5</Cookie></LockLink>",
         true, 3, 5},
        {"wrong root", u"<LockStatus uid=\"3\"><Cookie>5</Cookie></LockStatus>", false, 0, 0},
    };
    for (const auto& c : cases) {
        std::uint32_t taskId = 77;
        std::int32_t cookie = 77;
        EXPECT_EQ(ParseLockLink(c.text, taskId, cookie), c.ok) << c.name;
        EXPECT_EQ(taskId, c.taskId) << c.name;
        EXPECT_EQ(cookie, c.cookie) << c.name;
    }
}

TEST(XmlEvents, ParseLockStatusCases) {
    struct Case {
        std::u16string text;
        bool ok;
        std::uint32_t taskId;
        bool locked;
        bool failed;
    };
    const Case cases[] = {
        {u"<LockStatus uid=\"4\"><Status>locked</Status></LockStatus>", true, 4, true, false},
        {u"<LockStatus uid=\"4\"><Status>failed</Status></LockStatus>", true, 4, false, true},
        {u"<LockStatus uid=\"4\"><Status>Locked</Status></LockStatus>", true, 4, false, false},
        {u"<LockStatus uid=\"4\"><Status>unlocked</Status></LockStatus>", true, 4, false, false},
        {u"<LockStatus uid=\"4\"></LockStatus>", false, 4, false, true},
        {u"<lockstatus uid=\"4\"><Status>locked</Status></lockstatus>", false, 0, false, true},
        {u"<!-- c --><LockStatus uid=\"4\"><Status><![CDATA[locked]]></Status></LockStatus>", true,
         4, true, false},
    };
    for (const auto& c : cases) {
        std::uint32_t taskId = 77;
        bool locked = true;
        bool failed = false;
        EXPECT_EQ(ParseLockStatus(c.text, taskId, locked, failed), c.ok)
            << platform::Narrow(c.text);
        EXPECT_EQ(taskId, c.taskId) << platform::Narrow(c.text);
        EXPECT_EQ(locked, c.locked) << platform::Narrow(c.text);
        EXPECT_EQ(failed, c.failed) << platform::Narrow(c.text);
    }
}

TEST(XmlEvents, NumberReadings) {
    EXPECT_EQ(ReadUnsignedDecimal("4294967295"), 4294967295u);
    EXPECT_EQ(ReadUnsignedDecimal("4294967296"), 4294967295u);
    EXPECT_EQ(ReadUnsignedDecimal("-4294967295"), 1u);
    EXPECT_EQ(ReadUnsignedDecimal("-0"), 0u);
    EXPECT_EQ(ReadUnsignedDecimal(""), 0u);
    EXPECT_EQ(ReadUnsignedDecimal("\t\n 12 3"), 12u);
    EXPECT_EQ(ReadUnsignedDecimal("000000000000000000000042"), 42u);
    EXPECT_EQ(ReadSignedDecimal("2147483647"), 2147483647);
    EXPECT_EQ(ReadSignedDecimal("2147483648"), 2147483647);
    EXPECT_EQ(ReadSignedDecimal("-2147483648"), INT32_MIN);
    EXPECT_EQ(ReadSignedDecimal("-2147483649"), INT32_MIN);
    EXPECT_EQ(ReadSignedDecimal("99999999999999999999999"), 2147483647);
    EXPECT_EQ(ReadSignedDecimal("- 5"), 0);
}

TEST(ObjectLink, JoinAndSplit) {
    EXPECT_EQ(JoinObjectLink(u"Duzaduza Databases", u"Databases"), "Duzaduza Databases/Databases");
    EXPECT_EQ(JoinObjectLink(u"", u"B"), "");
    EXPECT_EQ(JoinObjectLink(u"A", u""), "");
    std::u16string object = u"x";
    std::u16string uid = u"y";
    EXPECT_FALSE(SplitObjectLink("", object, uid));
    EXPECT_EQ(object, u"");
    EXPECT_EQ(uid, u"");
    EXPECT_TRUE(SplitObjectLink("/A", object, uid) == false);
    EXPECT_TRUE(SplitObjectLink("//B", object, uid));
    EXPECT_EQ(object, u"");
    EXPECT_EQ(uid, u"B");
}

}  // namespace
