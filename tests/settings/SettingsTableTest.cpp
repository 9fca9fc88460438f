#include "settings/SettingsTable.h"
#include "FakeMembers.h"
#include "settings/PosixFileLayer.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

const std::string kGolden = QM482_GOLDEN_DIR;
constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// A store on the settings file of a folder, opened as the program opens it.
class SettingsRun {
public:
    explicit SettingsRun(const TempDir& dir)
        : files_(Inputs(dir))
        , ini_(4, files_)
    {
        opened = ini_.Open(kSettingsFileName, true, true, true, false);
    }
    IniFile& ini() { return ini_; }
    bool opened = false;

private:
    static SettingsLocation::Inputs Inputs(const TempDir& dir)
    {
        std::filesystem::create_directories(dir / "bin");
        WriteFile(dir / "bin/qm482", "");
        std::filesystem::create_symlink(dir / "bin/qm482", dir / "exe");
        SettingsLocation::Inputs inputs;
        inputs.exeLink = dir / "exe";
        return inputs;
    }
    PosixFileLayer files_;
    IniFile ini_;
};

TEST(SettingsTable, FirstRunWritesAllKeysInTableOrder)
{
    TempDir dir;
    std::string path = dir / "bin/qm480cfg.ini";
    FakeMembers members;
    {
        SettingsRun run(dir);
        ASSERT_TRUE(run.opened);
        EXPECT_EQ(ReadFile(path), ""); // created empty at start
        ASSERT_TRUE(LoadSettings(run.ini(), members));
        EXPECT_EQ(members.intValue[SettingId::FILE_INTERVAL], 60);
        EXPECT_EQ(members.textValue[SettingId::FONT_NAME_RH], "Arial");
        EXPECT_EQ(members.unsignedValue[SettingId::BACKGROUND_TEMP], 16770250U);
        ASSERT_TRUE(SaveSettings(run.ini(), members, kWidth, kHeight));
    }
    EXPECT_EQ(ReadFile(path), ReadFile(kGolden + "/first_run.expected.ini"));
}

TEST(SettingsTable, UnchangedRunDoesNotRewrite)
{
    TempDir dir;
    std::string path = dir / "bin/qm480cfg.ini";
    std::filesystem::create_directories(dir / "bin");
    WriteFile(path, ReadFile(kGolden + "/first_run.expected.ini"));
    AgeFile(path);
    FakeMembers members;
    {
        SettingsRun run(dir);
        ASSERT_TRUE(LoadSettings(run.ini(), members));
        ASSERT_TRUE(SaveSettings(run.ini(), members, kWidth, kHeight));
        EXPECT_FALSE(run.ini().dirty());
    }
    EXPECT_EQ(ModificationTime(path), 946684800);
}

TEST(SettingsTable, ReadsFileValuesAndFontFieldRules)
{
    TempDir dir;
    std::string path = dir / "bin/qm480cfg.ini";
    std::filesystem::create_directories(dir / "bin");
    const std::string longName = "Very Long Font Face Name Beyond Thirty-One";
    WriteFile(path,
        "[general]\nport_nr=3\n[Temp]\nFONT_ITALIC_TEMP=257\nfont_name_temp=" + longName
            + "\nFONT_ITALIC_RH=1\n[LOG]\nFILE_NAME=/home/op/pomiar ;x\nFILE_LOG=\n");
    FakeMembers members;
    members.intValue[SettingId::FILE_INTERVAL] = 1;
    {
        SettingsRun run(dir);
        ASSERT_TRUE(LoadSettings(run.ini(), members));
        EXPECT_EQ(members.intValue[SettingId::PORT_NR], 3);
        EXPECT_EQ(members.intValue[SettingId::FONT_ITALIC_TEMP], 1);
        EXPECT_EQ(members.textValue[SettingId::FONT_NAME_TEMP], longName.substr(0, 31));
        // FONT_ITALIC_RH sits in the wrong section: the default applies.
        EXPECT_EQ(members.intValue[SettingId::FONT_ITALIC_RH], 0);
        EXPECT_EQ(members.textValue[SettingId::FILE_NAME], "/home/op/pomiar ");
        EXPECT_EQ(members.intValue[SettingId::FILE_LOG], 0);
        EXPECT_EQ(members.intValue[SettingId::FILE_INTERVAL], 60);
        EXPECT_EQ(members.intValue[SettingId::SHOW_ADV], 1);
        members.intValue[SettingId::FONT_ITALIC_PRESSURE] = -1;
        ASSERT_TRUE(SaveSettings(run.ini(), members, kWidth, kHeight));
    }
    PosixFileLayer files;
    IniFile ini(4, files);
    ASSERT_TRUE(ini.Load(path, false, false, true, false));
    EXPECT_EQ(ini.GetString("TEMP", "FONT_ITALIC_TEMP", ""), "1");
    EXPECT_EQ(ini.GetString("TEMP", "FONT_NAME_TEMP", ""), longName.substr(0, 31));
    EXPECT_EQ(ini.GetString("PRESSURE", "FONT_ITALIC_PRESSURE", ""), "255");
    EXPECT_EQ(ini.GetString("GENERAL", "PORT_NR", ""), "3");
}

TEST(SettingsTable, FaceNameNeverSplitsACharacter)
{
    std::string name(30, 'a');
    EXPECT_EQ(FaceNameField(name + "ż"), name + "ż");
    EXPECT_EQ(FaceNameField(name + "żź"), name + "ż");
    EXPECT_EQ(FaceNameField(""), "");
}

TEST(SettingsTable, RectangleIsPulledBackOntoTheScreen)
{
    struct Case {
        WindowRect in;
        WindowRect out;
    };
    const Case cases[] = {
        { { 300, 100, kWidth + 200, 500 }, { 100, 100, kWidth, 500 } },
        { { 100, 100, kWidth + 200, 500 }, { 0, 100, kWidth, 500 } },
        { { -50, 100, 600, 500 }, { 0, 100, 600, 500 } },
        { { -5, -5, 600, 500 }, { -5, -5, 600, 500 } },
        { { 100, 100, kWidth + 10, kHeight + 10 }, { 100, 100, kWidth + 10, kHeight + 10 } },
        { { 100, 900, 700, kHeight + 300 }, { 100, 600, 700, kHeight } },
        // Moved left past the edge: the left side is then set to 0.
        { { -100, 0, kWidth + 500, 400 }, { 0, 0, kWidth, 400 } },
        { { -100, -600, 500, kHeight + 100 }, { 0, 0, 500, kHeight } },
        { { INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX }, { 0, 0, kWidth, kHeight } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
            << c.in.left << "," << c.in.top << "," << c.in.right << "," << c.in.bottom);
        EXPECT_EQ(PullBackOntoScreen(c.in, kWidth, kHeight), c.out);
    }
}

TEST(SettingsTable, SaveWritesPulledBackRectangleAndStoresItBack)
{
    TempDir dir;
    FakeMembers members;
    {
        SettingsRun run(dir);
        ASSERT_TRUE(LoadSettings(run.ini(), members));
        members.intValue[SettingId::WINDOW_LEFT] = 300;
        members.intValue[SettingId::WINDOW_RIGHT] = kWidth + 200;
        ASSERT_TRUE(SaveSettings(run.ini(), members, kWidth, kHeight));
        EXPECT_EQ(run.ini().GetInt("GENERAL", "WINDOW_RIGHT", 0), kWidth);
        EXPECT_EQ(run.ini().GetInt("GENERAL", "WINDOW_LEFT", 0), 100);
    }
    EXPECT_EQ(members.intValue[SettingId::WINDOW_RIGHT], kWidth);
    EXPECT_EQ(members.intValue[SettingId::WINDOW_LEFT], 100);
}

TEST(SettingsTable, FailureEndsThePhase)
{
    TempDir dir;
    FakeMembers members;
    members.intValue[SettingId::FILE_INTERVAL] = 1;
    members.failAt = SettingId::FILE_LOG;
    SettingsRun run(dir);
    EXPECT_FALSE(LoadSettings(run.ini(), members));
    EXPECT_EQ(members.intValue[SettingId::PORT_NR], 0);
    EXPECT_EQ(members.intValue[SettingId::WINDOW_RIGHT], 700);
    EXPECT_EQ(members.intValue[SettingId::FILE_INTERVAL], 1); // not reached

    EXPECT_FALSE(SaveSettings(run.ini(), members, kWidth, kHeight));
    EXPECT_EQ(run.ini().GetString("LOG", "FILE_NAME_BIN", "none"), "");
    EXPECT_EQ(run.ini().GetString("LOG", "FILE_INTERVAL", "none"), "none");
}

TEST(SettingsTable, NothingIsReadWhenTheStoreDidNotOpen)
{
    PosixFileLayer files;
    IniFile ini(4, files);
    FakeMembers members;
    members.intValue[SettingId::FILE_INTERVAL] = 1;
    EXPECT_FALSE(LoadSettings(ini, members));
    EXPECT_EQ(members.intValue[SettingId::FILE_INTERVAL], 1);
}

} // namespace
