#include <gtest/gtest.h>

#include "platform/text.h"

namespace {

struct NarrowCase {
    std::u16string wide;
    std::string narrow;
};

TEST(TextConversion, NarrowKeepsTheLowByteOfEachUnit) {
    const NarrowCase cases[] = {
        {u"", ""},
        {u"Duzaduza Databases/Databases", "Duzaduza Databases/Databases"},
        {u"caf\u00E9", "caf\xE9"},
        {u"\uFFE9", "\xE9"},
        {u"\u0141", "\x41"},  // U+0141 loses its high byte: no code page is consulted
        {std::u16string(1, u'\0') + u"a", std::string(1, '\0') + "a"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::Narrow(c.wide), c.narrow);
    }
}

TEST(TextConversion, WidenSignExtendsEachByte) {
    EXPECT_EQ(platform::Widen("Abc"), u"Abc");
    EXPECT_EQ(platform::Widen("\xE9"), u"\uFFE9");
    EXPECT_EQ(platform::Widen("\x7F\x80\xFF"), u"\u007F\uFF80\uFFFF");
    EXPECT_EQ(platform::Widen(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
}

TEST(TextConversion, RoundTripOfAllBytes) {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    EXPECT_EQ(platform::Narrow(platform::Widen(all)), all);
}

TEST(TextConversion, DecimalNumbers) {
    EXPECT_EQ(platform::ToU16Decimal(0), u"0");
    EXPECT_EQ(platform::ToU16Decimal(4294967295ull), u"4294967295");
}

}  // namespace
