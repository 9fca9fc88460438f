#include "common/ValueFormat.h"
#include "support/PolishLocale.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

std::string shown(double v, int unit, bool showUnit = true)
{
    return FormatPanelValue(v, unit, showUnit, false).text;
}

void expectTheTable()
{
    EXPECT_EQ(shown(21.35, 3), "21.3 °C");
    EXPECT_EQ(shown(21.34, 3), "21.3 °C");
    EXPECT_EQ(shown(21.37, 3), "21.4 °C");
    EXPECT_EQ(shown(-0.004, 3), "0.0 °C");
    EXPECT_EQ(shown(-12.3, 3), "-12.3 °C");
    EXPECT_EQ(shown(1013.27, 5), "1013.3 hPa");
    EXPECT_EQ(shown(45.0, 7), "45.0 %");
    EXPECT_EQ(shown(21.39, 3, false), "21.3");
    EXPECT_EQ(shown(-21.39, 5, false), "-21.3");
    EXPECT_EQ(shown(3.456, 2), "3.46 kLx");
    EXPECT_EQ(shown(12.6, 4), "13 °");
    EXPECT_EQ(shown(399.6, 8), "400 ppm");
    EXPECT_EQ(shown(4.25, 6), "4.2 m/s"); // 4.25 is exact: printf rounds half to even
    const ValueText w = FormatPanelValue(ComputeDisplayValue(10.0, 2, 1), 1, true, false);
    EXPECT_EQ(w.text, "14.7 W/m");
    EXPECT_EQ(w.measureText, "14.7 W/m2");
    EXPECT_TRUE(w.raisedTwo);
}

} // namespace

TEST(ValueFormat, FormatTableWithItsTowardZeroShifts)
{
    expectTheTable();
    EXPECT_EQ(FormatPanelValue(21.356, 3, true, true).text, "21.36 °C");
    EXPECT_EQ(FormatPanelValue(21.356, 3, false, true).text, "21.36");
    for (int unit : { 0, 9, -1, 1000 })
        EXPECT_FALSE(FormatPanelValue(1.0, unit, true, false).drawn) << unit;
}

TEST(ValueFormat, UnitConversionOnlyBetweenWattsAndKilolux)
{
    EXPECT_EQ(ComputeDisplayValue(10.0, 2, 1), 10.0 * 1.47);
    EXPECT_EQ(ComputeDisplayValue(14.7, 1, 2), 14.7 * 0.6802721088435374);
    EXPECT_EQ(ComputeDisplayValue(5.0, 3, 5), 5.0);
    EXPECT_EQ(ComputeDisplayValue(5.0, 7, 7), 5.0);
}

TEST(ValueFormat, DecimalCommaLocaleChangesNothing)
{
    // A Polish desktop writes 1,5; the panels must still show 1.5.
    ASSERT_TRUE(testlocale::UsePolishLocale())
        << "no decimal-comma locale can be made (install 'locales')";
    char buf[16];
    std::snprintf(buf, sizeof buf, "%.1f", 1.5);
    ASSERT_STREQ(buf, "1,5") << "the locale does not use a decimal comma";
    expectTheTable();
    std::setlocale(LC_ALL, "C");
}
