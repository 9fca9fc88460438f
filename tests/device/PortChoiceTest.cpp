#include "device/PortChoice.h"

#include <gtest/gtest.h>

using namespace port_choice;
using Lines = std::vector<std::string>;

TEST(PortChoice, ListTextBecomesDisplayLines)
{
    EXPECT_EQ(DisplayLines("COM1\nCOM5:USB Serial Port\n\nCOM7:a:b\nCOM9"),
        (Lines { "COM1", "COM5 (USB Serial Port)", "COM7 (a:b)" }));
    EXPECT_TRUE(DisplayLines("").empty());
}

TEST(PortChoice, PreselectionMatchesTheWholeNumberOnly)
{
    const Lines lines { "COM1 (Communications Port)", "COM10 (USB Serial Port)", "COM12" };
    EXPECT_EQ(PreselectedIndex(lines, 1), 0);
    EXPECT_EQ(PreselectedIndex(lines, 10), 1);
    EXPECT_EQ(PreselectedIndex(lines, 12), 2);
    EXPECT_EQ(PreselectedIndex(Lines { "COM12 (x)" }, 1), -1) << "COM12 must not select COM1";
    EXPECT_EQ(PreselectedIndex(Lines { "COM1x" }, 1), -1);
    EXPECT_EQ(PreselectedIndex(lines, 0), -1);
    EXPECT_EQ(PreselectedIndex(lines, 3), -1);
}

TEST(PortChoice, OkReadsTheNumberAfterTheFirstThreeCharacters)
{
    EXPECT_EQ(ChosenPort("COM12 (USB Serial Port)"), 12);
    EXPECT_EQ(ChosenPort("  COM3"), 3);
    EXPECT_EQ(ChosenPort(""), 0);
    EXPECT_EQ(ChosenPort("COM"), 0);
    EXPECT_EQ(ChosenPort("   COM"), 0);
    EXPECT_EQ(ChosenPort("COM0"), 0);
    EXPECT_EQ(ChosenPort("COM-4"), 0);
    EXPECT_EQ(ChosenPort("COMx"), 0);
    EXPECT_EQ(ChosenPort("COM99999999999"), 0);
}

TEST(PortChoice, StatusTextNamesThePortInUse)
{
    EXPECT_EQ(StatusText(0), "Aktualnie żaden port nie jest używany");
    EXPECT_EQ(StatusText(7), "Aktualnie używany port: COM7");
}
