#include "recording/RecordingDialogRules.h"

#include <gtest/gtest.h>

using namespace recording_dialog;

TEST(RecordingDialogRules, CommentControlsNeedTheReportAndTheCommentBox)
{
    for (int bits = 0; bits < 8; ++bits) {
        const bool report = (bits & 1) != 0;
        const bool comment = (bits & 2) != 0;
        const bool binary = (bits & 4) != 0;
        EXPECT_EQ(
            EnableGroups(report, comment, binary), (Enables { report, report && comment, binary }))
            << bits;
    }
}

TEST(RecordingDialogRules, IntervalShowsAsATimeOfDayWithinThePickersRange)
{
    EXPECT_EQ(IntervalToClock(90), (ClockTime { 0, 1, 30 }));
    EXPECT_EQ(IntervalToClock(1), (ClockTime { 0, 0, 1 }));
    EXPECT_EQ(IntervalToClock(3 * 3600 + 25 * 60 + 7), (ClockTime { 3, 25, 7 }));
    EXPECT_EQ(IntervalToClock(86399), (ClockTime { 23, 59, 59 }));
    // Only a hand-edited settings file holds these.
    EXPECT_EQ(IntervalToClock(86400), (ClockTime { 23, 59, 59 }));
    EXPECT_EQ(IntervalToClock(1000000), (ClockTime { 23, 59, 59 }));
    EXPECT_EQ(IntervalToClock(0), (ClockTime { 0, 0, 0 }));
    EXPECT_EQ(IntervalToClock(-90), (ClockTime { 0, 0, 0 }));
}

TEST(RecordingDialogRules, ConfirmedIntervalIsNeverZero)
{
    EXPECT_EQ(IntervalFromClock(true, { 0, 1, 30 }), 90);
    EXPECT_EQ(IntervalFromClock(true, { 23, 59, 59 }), 86399);
    EXPECT_EQ(IntervalFromClock(true, { 0, 0, 0 }), 1);
    EXPECT_EQ(IntervalFromClock(false, { 0, 1, 30 }), 1);
}

TEST(RecordingDialogRules, OnlyANameWithoutExtensionGetsOne)
{
    EXPECT_EQ(PatternExtension("*.csv"), "csv");
    EXPECT_EQ(PatternExtension("*.*"), "");
    EXPECT_EQ(PatternExtension("*.txt;*.csv"), "");
    EXPECT_EQ(PatternExtension("*"), "");

    EXPECT_EQ(WithExtension("/home/o/pomiary", "csv"), "/home/o/pomiary.csv");
    EXPECT_EQ(WithExtension("pomiary", "txt"), "pomiary.txt");
    EXPECT_EQ(WithExtension("/home/o/pomiary.dat", "csv"), "/home/o/pomiary.dat");
    EXPECT_EQ(WithExtension("/home/o/pomiary.TXT", "csv"), "/home/o/pomiary.TXT");
    // A dot in a folder's name or leading a hidden file's name is no extension.
    EXPECT_EQ(WithExtension("/home/o/v1.2/pomiary", "qmg"), "/home/o/v1.2/pomiary.qmg");
    EXPECT_EQ(WithExtension("/home/o/.pomiary", "qmg"), "/home/o/.pomiary.qmg");
    EXPECT_EQ(WithExtension("/home/o/pomiary", ""), "/home/o/pomiary");
}
