#include "dde/ItemText.h"
#include "support/PolishLocale.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

struct NumberCase {
    double value;
    const char* text;
};

// Frame values are integers times 0.1, as the decoder makes them.
const NumberCase numberTable[] = {
    { 10 * 0.1, "0.9" }, { 9 * 0.1, "0.8" }, { 0 * 0.1, "-0.1" }, { 234 * 0.1, "23.4" },
    { 456 * 0.1, "45.6" }, { 10132 * 0.1, "1013.2" }, { -123 * 0.1, "-12.3" },
    { 13 * 0.1, "1.3" }, // 1.3 - 0.05 is exactly 1.25: the half goes away from zero
    { -13 * 0.1, "-1.3" }, { 0.1, "0.1" }, { 99.99, "99.9" }, { 9.96, "9.9" }, { 10.0, "9.9" },
    { 10.01, "10.0" }, { 999.96, "999.9" }, { 1000.0, "1000.0" }, // 999.95 is a hair above the half
    { 0.05, "0.0" }, { 0.04, "-0.0" }, // a printf-style negative zero
};

void ExpectNumberTable()
{
    for (const auto& c : numberTable)
        EXPECT_EQ(NumberText(c.value), c.text) << "value " << c.value;
}

} // namespace

TEST(NumberText, CutsTowardZeroAndRoundsExactHalvesAway)
{
    ExpectNumberTable();
}

TEST(NumberText, IgnoresADecimalCommaLocale)
{
    // A missing locale would hide the one proof that a decimal comma never
    // reaches the bus: a failure, not a skip (./check installs 'locales').
    ASSERT_TRUE(testlocale::UsePolishLocale())
        << "no Polish locale can be made (install 'locales')";
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    EXPECT_STREQ(probe, "1,5"); // the locale really is in force
    ExpectNumberTable();
    EXPECT_EQ(
        ItemText(TopicPressure, ItemMeasurement, { 10132 * 0.1, false, false, 5 }), "1013.2 hPa");
    std::setlocale(LC_ALL, "C");
    ::unsetenv("LOCPATH");
}

TEST(ItemText, NumberUnitAndStatusPerTopic)
{
    const PanelReading ok { 234 * 0.1, false, false, 3 };
    EXPECT_EQ(ItemText(TopicTemperature, ItemResult, ok), "23.4");
    EXPECT_EQ(ItemText(TopicTemperature, ItemMeasurement, ok), "23.4 °C");
    EXPECT_EQ(ItemText(TopicHumidity, ItemMeasurement, ok), "23.4 %");
    EXPECT_EQ(ItemText(TopicPressure, ItemMeasurement, ok), "23.4 hPa");
    EXPECT_EQ(ItemText(TopicTemperature, ItemStatus, ok), "Pomiar OK");

    const PanelReading blinking { 234 * 0.1, false, true, 3 };
    const PanelReading empty { 0, true, false, 3 };
    for (int topic = 0; topic < 3; ++topic) {
        EXPECT_EQ(ItemText(topic, ItemStatus, blinking), "Błąd pomiaru");
        EXPECT_EQ(ItemText(topic, ItemStatus, empty), "Błąd pomiaru");
    }
    EXPECT_EQ(ItemText(TopicTemperature, 3, ok), "");
    EXPECT_EQ(ItemText(3, ItemResult, ok), "");
}

TEST(ItemText, TopicNamesCarryTheSerialNumber)
{
    EXPECT_EQ(TopicName(TopicTemperature, 4660), "Temperatura#4660");
    EXPECT_EQ(TopicName(TopicHumidity, 4660), "Wilgotność#4660");
    EXPECT_EQ(TopicName(TopicPressure, 65535), "Ciśnienie#65535");
    EXPECT_EQ(TopicName(3, 1), "");
}
