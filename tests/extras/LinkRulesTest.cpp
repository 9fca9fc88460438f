#include "extras/LinkRules.h"
#include "extras/CompanionSearch.h"

#include <gtest/gtest.h>

#include <set>

using namespace link_rules;

TEST(FitToText, CentredShrinksAroundItsCentreLeftKeepsItsLeftEdgeRightItsRight)
{
    const Rect r { 10, 20, 111, 40 }; // 101 wide, 20 high
    // Half of 101 - 40 = 61 is 30 (toward zero) on each side.
    const Rect c = FitToText(r, 40, 13, HAlign::Centre, false);
    EXPECT_EQ(c.left, 40);
    EXPECT_EQ(c.right, 81);
    EXPECT_EQ(c.top, 20);
    EXPECT_EQ(c.bottom, 33);
    const Rect l = FitToText(r, 40, 13, HAlign::Left, false);
    EXPECT_EQ(l.left, 10);
    EXPECT_EQ(l.right, 50);
    const Rect rt = FitToText(r, 40, 13, HAlign::Right, false);
    EXPECT_EQ(rt.left, 71);
    EXPECT_EQ(rt.right, 111);
    // Centre image: both edges move vertically; a wider text grows both sides.
    const Rect v = FitToText(r, 131, 13, HAlign::Centre, true);
    EXPECT_EQ(v.top, 23);
    EXPECT_EQ(v.bottom, 37);
    EXPECT_EQ(v.left, -5);
    EXPECT_EQ(v.right, 126);
}

TEST(OpenErrorText, KnownNumbersHaveTheirTextOthersAreUnknown)
{
    EXPECT_EQ(OpenErrorText(26), "Unable to open hyperlink:\n\nA sharing violation occurred. ");
    EXPECT_EQ(OpenErrorText(1), "Unable to open hyperlink:\n\nUnknown Error (1) occurred.");
    EXPECT_EQ(OpenErrorText(-7), "Unable to open hyperlink:\n\nUnknown Error (-7) occurred.");
}

TEST(BrowserArgv, TargetIsOneArgumentAndALongCommandIsRefusedNotCut)
{
    const std::string target = "https://x.example.org/a b;\"c\" '$(touch x)'";
    EXPECT_EQ(BrowserArgv("x-www-browser", target),
        (std::vector<std::string> { "x-www-browser", target }));
    EXPECT_EQ(BrowserArgv("web-viewer  --new-window %s --safe", target),
        (std::vector<std::string> { "web-viewer", "--new-window", target, "--safe" }));
    const std::string command = "browser";
    const std::string fits(kMaxCommandLine - command.size() - 1, 'a');
    EXPECT_EQ(BrowserArgv(command, fits).size(), 2U);
    EXPECT_TRUE(BrowserArgv(command, fits + "a").empty());
}

TEST(CompanionSearch, WineWithTheExeThenNativeThenTheChartViewerOnTheRecordedFile)
{
    std::set<std::string> files;
    std::set<std::string> programs;
    CompanionSearch s;
    s.programDirectory = "/opt/qm";
    s.pathDirectories = { "/usr/bin", "" };
    s.recordedFile = "/data/a.qmg";
    s.isFile = [&](const std::string& p) { return files.count(p) + programs.count(p) > 0; };
    s.isExecutable = [&](const std::string& p) { return programs.count(p) > 0; };

    EXPECT_TRUE(s.launches().empty());

    // Plotan.exe without wine is no launch; the chart viewer beside the program is.
    files = { "./Plotan.exe" };
    programs = { "/opt/qm/qm482-chart" };
    EXPECT_EQ(s.launches(),
        (std::vector<std::vector<std::string>> { { "/opt/qm/qm482-chart", "/data/a.qmg" } }));

    programs = { "/usr/bin/wine", "/opt/qm/Plotan", "/opt/qm/qm482-chart" };
    files = { "/opt/qm/Plotan.exe", "./Plotan.exe" };
    s.recordedFile.clear();
    EXPECT_EQ(s.launches(),
        (std::vector<std::vector<std::string>> { { "/usr/bin/wine", "/opt/qm/Plotan.exe" },
            { "/opt/qm/Plotan" }, { "/opt/qm/qm482-chart" } }));

    // An empty PATH entry is the current folder.
    programs = { "./Plotan" };
    EXPECT_EQ(s.launches(), (std::vector<std::vector<std::string>> { { "./Plotan" } }));
}
