#include "platform/posix/utf8.h"

#include <gtest/gtest.h>

namespace {

using platform::posix::Utf16ToUtf8;
using platform::posix::Utf8ToUtf16;

TEST(PosixUtf8, RoundTripsAllPlanes) {
    const std::u16string text = u"A\u00E9\u0141\u20AC\U0001F6A2z";
    EXPECT_EQ(Utf16ToUtf8(text), "A\xC3\xA9\xC5\x81\xE2\x82\xAC\xF0\x9F\x9A\xA2z");
    EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
}

TEST(PosixUtf8, MalformedInputBecomesReplacementCharacters) {
    EXPECT_EQ(Utf8ToUtf16("a\xFF"
                          "b"),
              u"a\uFFFDb");
    EXPECT_EQ(Utf8ToUtf16("\xC3"), u"\uFFFD");          // cut short
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD");      // overlong
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD");  // encoded surrogate
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xD800') + u"x"), "\xEF\xBF\xBDx");
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xDC00')), "\xEF\xBF\xBD");
}

}  // namespace
