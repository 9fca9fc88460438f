#include "common/DdeName.h"
#include "common/MeterName.h"

#include <gtest/gtest.h>

TEST(DdeName, FoldsAsciiAndPolishLetters)
{
    const char* pairs[][2] = {
        { "WYNIK", "wynik" },
        { "Ą", "ą" },
        { "Ć", "ć" },
        { "Ę", "ę" },
        { "Ł", "ł" },
        { "Ń", "ń" },
        { "Ó", "ó" },
        { "Ś", "ś" },
        { "Ź", "ź" },
        { "Ż", "ż" },
        { "CIŚNIENIE#4660", "ciśnienie#4660" },
        { "WILGOTNOŚĆ#1", "Wilgotność#1" },
    };
    for (const auto& [upper, lower] : pairs) {
        EXPECT_TRUE(SameDdeName(upper, lower)) << upper;
        EXPECT_EQ(FoldDdeName(upper), FoldDdeName(lower)) << upper;
    }
}

TEST(DdeName, KeepsDifferentLettersApart)
{
    EXPECT_FALSE(SameDdeName("Ł", "L"));
    EXPECT_FALSE(SameDdeName("ż", "ź"));
    EXPECT_FALSE(SameDdeName("Temperatura", "Temperatura#4660"));
    EXPECT_FALSE(SameDdeName("#", "\x03"));
}

TEST(DdeName, InvalidUtf8IsComparedAsBytes)
{
    // An overlong "A" must not pass for "a", nor a cut sequence for anything.
    EXPECT_FALSE(SameDdeName("\xC1\x81", "a"));
    EXPECT_EQ(FoldDdeName("\xC5"), "\xC5");
    EXPECT_EQ(FoldDdeName("X\xC5"), "x\xC5");
}

TEST(MeterName, TopicsNameTheirMeterByTheDigitsAfterTheLastHash)
{
    EXPECT_EQ(MeterServerName(4660), "Meter4660");
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        { "Temperatura#4660", "Meter4660" },
        { "A#B#17", "Meter17" },
        { "Wilgotność#04660", "Meter04660" }, // as written: the server refuses it too
        { "Temperatura", std::nullopt },
        { "Temperatura#12a", std::nullopt },
        { "Temperatura#-1", std::nullopt },
        { "Temperatura#12345678901234567890", std::nullopt },
    };
    for (const auto& [topic, name] : cases)
        EXPECT_EQ(MeterServerNameOfTopic(topic), name) << topic;
}
