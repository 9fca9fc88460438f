#include "platform/Cp1250.h"

#include <gtest/gtest.h>

TEST(Cp1250, PolishLettersAndTheDegreeSignRoundTrip)
{
    const std::string polish = "ąćęłńóśźż ĄĆĘŁŃÓŚŹŻ °C";
    const std::string bytes = cp1250::FromUtf8(polish);
    EXPECT_EQ(bytes,
        "\xB9\xE6\xEA\xB3\xF1\xF3\x9C\x9F\xBF \xA5\xC6\xCA\xA3\xD1\xD3\x8C\x8F\xAF \xB0"
        "C");
    EXPECT_EQ(cp1250::ToUtf8(bytes), polish);
    EXPECT_EQ(cp1250::FromUtf8("Wilgotność"), "Wilgotno\x9C\xE6");
}

TEST(Cp1250, EveryAssignedByteRoundTripsAndTheRestIsMarked)
{
    for (int b = 0x80; b <= 0xFF; ++b) {
        const std::string one(1, static_cast<char>(b));
        const std::string utf8 = cp1250::ToUtf8(one);
        if (b == 0x81 || b == 0x83 || b == 0x88 || b == 0x90 || b == 0x98) {
            EXPECT_EQ(utf8, "\xEF\xBF\xBD") << b;
            continue;
        }
        EXPECT_EQ(cp1250::FromUtf8(utf8), one) << b;
    }
}

TEST(Cp1250, UnmappableAndMalformedInputBecomesQuestionMarks)
{
    EXPECT_EQ(cp1250::FromUtf8("日本"), "??");
    EXPECT_EQ(cp1250::FromUtf8("a\xC3"), "a?"); // cut sequence
    EXPECT_EQ(cp1250::FromUtf8("\xC0\xB0"), "?"); // overlong: not a degree sign
    EXPECT_EQ(cp1250::FromUtf8("\xED\xA0\x80x"), "?x"); // a surrogate
    EXPECT_EQ(cp1250::FromUtf8("plain ASCII"), "plain ASCII");
}
