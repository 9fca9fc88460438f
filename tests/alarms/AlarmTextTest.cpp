#include "alarms/AlarmText.h"
#include "alarms/AlarmLog.h"

#include "support/PolishLocale.h"

#include <gtest/gtest.h>

#include <clocale>

namespace {

TEST(AlarmText, StatusFragmentNamesEveryAlarm)
{
    // A desktop in Polish must still get "25.0", as the panels show it.
    ASSERT_TRUE(testlocale::UsePolishLocale());
    EXPECT_EQ(AlarmStatusFragment({}), "");
    const std::vector<ActiveAlarm> active = {
        { AlarmKind::TemperatureHigh, 25.6, 25.0, false, 0 },
        { AlarmKind::HumidityLow, 20.0, 30.0, true, 0 },
        { AlarmKind::LinkLost, std::nullopt, std::nullopt, false, 0 },
    };
    EXPECT_EQ(AlarmStatusFragment(active),
        "Alarm: temperatura powyżej 25.0 °C, wilgotność poniżej 30.0 % (potwierdzony), "
        "brak komunikacji z miernikiem. ");
    const NotificationText n = AlarmNotification(4660, active[0]);
    EXPECT_EQ(n.summary, "QM-482 nr 4660: alarm");
    EXPECT_EQ(n.body, "Temperatura 25.6 °C, powyżej progu 25.0 °C.");
    EXPECT_EQ(DewPointFragment(12.345), "Punkt rosy 12.3 °C. ");
    EXPECT_EQ(DewPointFragment(-0.04), "Punkt rosy 0.0 °C. ");
    std::setlocale(LC_ALL, "C");
}

TEST(AlarmLog, LinesRoundTripAndDamagedOnesAreRefused)
{
    AlarmLogEntry e;
    e.time = { 2026, 12, 9, 8, 15, 3 };
    e.serialNumber = 4660;
    e.kind = AlarmKind::Condensation;
    e.type = AlarmEventType::Begin;
    e.value = 1.2345;
    e.limit = 2.0;
    const std::string line = FormatAlarmLogLine(e);
    EXPECT_EQ(line, "2026-12-09 08:15:03\t4660\tDEWPOINT_SPREAD\tbegin\t1.23\t2\n");
    const auto back = ParseAlarmLogLine(line);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->kind, e.kind);
    EXPECT_EQ(back->time.second, 3);
    EXPECT_EQ(*back->value, 1.23);

    e.kind = AlarmKind::LinkLost;
    e.type = AlarmEventType::Acknowledge;
    e.value.reset();
    e.limit.reset();
    EXPECT_TRUE(ParseAlarmLogLine(FormatAlarmLogLine(e)));
    for (const char* bad : { "", "2026-12-09 08:15:03\t4660\tTEMP_HIGH\tbegin\t25.6",
             "2026-12-09 08:15:03\t4660\tTEMP_HOT\tbegin\t25.6\t25",
             "2026-12-09 08:15:03\t46x0\tTEMP_HIGH\tbegin\t25.6\t25",
             "2026-13-09 08:15:03\t4660\tTEMP_HIGH\tbegin\t25.6\t25",
             "2026-12-09 08:15:03\t4660\tTEMP_HIGH\tbegin\t25,6\t25",
             "2026-12-09 08:15\t4660\tTEMP_HIGH\tend\t25.6\t25" })
        EXPECT_FALSE(ParseAlarmLogLine(bad)) << bad;
}

TEST(AlarmLog, CommandLineAndEnvironment)
{
    using W = std::vector<std::string>;
    EXPECT_EQ(SplitCommandLine("  /bin/sms  -t 'kierownik zmiany' \"a \\\"b\\\"\" c\\ d "),
        (W { "/bin/sms", "-t", "kierownik zmiany", "a \"b\"", "c d" }));
    EXPECT_EQ(SplitCommandLine("x ''"), (W { "x", "" }));
    EXPECT_TRUE(SplitCommandLine("a 'unbalanced").empty());
    EXPECT_TRUE(SplitCommandLine("   ").empty());

    AlarmLogEntry e;
    e.time = { 2026, 1, 2, 3, 4, 5 };
    e.serialNumber = 17;
    e.kind = AlarmKind::PressureLow;
    e.type = AlarmEventType::End;
    e.value = 990.04;
    e.limit = 990;
    const auto env = AlarmCommandEnvironment(e);
    const decltype(env) expected = { { "QM482_SERIAL", "17" }, { "QM482_ALARM", "PRESSURE_LOW" },
        { "QM482_STATE", "end" }, { "QM482_VALUE", "990.04" }, { "QM482_LIMIT", "990" },
        { "QM482_TIME", "2026-01-02T03:04:05" } };
    EXPECT_EQ(env, expected);
}

} // namespace
