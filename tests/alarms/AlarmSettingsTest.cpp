#include "alarms/AlarmSettings.h"

#include "settings/IniFile.h"
#include "settings/PosixFileLayer.h"
#include "support/PolishLocale.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <clocale>

namespace {

AlarmSettings Loaded(const std::string& content)
{
    TempDir dir;
    WriteFile(dir / "q.ini", content);
    PosixFileLayer files;
    IniFile ini(4, files);
    EXPECT_TRUE(ini.Load(dir / "q.ini", false, false, true, false));
    AlarmSettings s;
    LoadAlarmSettings(ini, s);
    return s;
}

TEST(AlarmSettings, AFileWithoutTheSectionStaysByteForByte)
{
    TempDir dir;
    const std::string path = dir / "q.ini";
    const std::string content = "[GENERAL]\r\nPORT=3\r\n";
    WriteFile(path, content);
    PosixFileLayer files;
    {
        IniFile ini(4, files);
        ASSERT_TRUE(ini.Load(path, true, false, true, false));
        AlarmSettings s;
        LoadAlarmSettings(ini, s);
        EXPECT_FALSE(s.configured);
        EXPECT_FALSE(AnyAlarmOn(s));
        SaveAlarmSettings(ini, s);
    }
    EXPECT_EQ(ReadFile(path), content);
}

TEST(AlarmSettings, RoundTripWithPointsWhateverTheLocale)
{
    // A comma locale must not turn "25.5" into "25,5" on the way out.
    ASSERT_TRUE(testlocale::UsePolishLocale());
    AlarmSettings s;
    s.configured = true;
    s.temperature = { true, 25.5, true, -3.25, 0.5 };
    s.humidity = { false, 70, true, 30, 2 };
    s.pressure = { true, 1040.5, false, 980, 1.5 };
    s.dewPointSpreadOn = true;
    s.dewPointSpread = 1.5;
    s.delaySeconds = 120;
    s.linkLostOn = true;
    s.linkLostDelaySeconds = 45;
    s.meterErrorOn = true;
    s.notify = false;
    s.command = "/usr/local/bin/sms \"kierownik zmiany\"";
    s.logFile = "/var/log/qm482/alarmy.log";
    TempDir dir;
    const std::string path = dir / "q.ini";
    WriteFile(path, "");
    PosixFileLayer files;
    {
        IniFile ini(4, files);
        ASSERT_TRUE(ini.Load(path, true, false, true, false));
        SaveAlarmSettings(ini, s);
    }
    const std::string written = ReadFile(path);
    EXPECT_NE(written.find("TEMP_HIGH=25.5"), std::string::npos) << written;
    EXPECT_NE(written.find("TEMP_LOW=-3.25"), std::string::npos) << written;
    EXPECT_EQ(Loaded(written), s);
    std::setlocale(LC_ALL, "C");
}

TEST(AlarmSettings, HandEditsThatCannotBeReadKeepTheirDefaults)
{
    const AlarmSettings d;
    const AlarmSettings s = Loaded("[alarms]\nTEMP_HIGH_ON=1\nTEMP_HIGH=25,5\nTEMP_LOW=cold\n"
                                   "RH_HYST=-4\nDELAY=-10\nPRESSURE_HIGH=1e999\n"
                                   "DEWPOINT_SPREAD= 3 \n");
    EXPECT_TRUE(s.configured);
    EXPECT_TRUE(s.temperature.highOn);
    EXPECT_EQ(s.temperature.high, 25.5);
    EXPECT_EQ(s.temperature.low, d.temperature.low);
    EXPECT_EQ(s.humidity.hysteresis, 0.0);
    EXPECT_EQ(s.delaySeconds, 0);
    EXPECT_EQ(s.pressure.high, d.pressure.high);
    EXPECT_EQ(s.dewPointSpread, 3.0);
}

TEST(AlarmSettings, Validation)
{
    AlarmSettings s;
    EXPECT_EQ(ValidateAlarmSettings(s), AlarmSettingsFault::None);
    s.humidity = { true, 40, true, 50, 1 };
    EXPECT_EQ(ValidateAlarmSettings(s), AlarmSettingsFault::HumidityLowAboveHigh);
    s.humidity.highOn = false; // only both on can contradict each other
    EXPECT_EQ(ValidateAlarmSettings(s), AlarmSettingsFault::None);
    s.pressure.hysteresis = -1;
    EXPECT_EQ(ValidateAlarmSettings(s), AlarmSettingsFault::NegativeHysteresis);
}

} // namespace
