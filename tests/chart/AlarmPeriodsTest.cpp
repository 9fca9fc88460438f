// The alarm log as periods: pairing, meters, damage, a log read in pieces.
#include "chart/AlarmPeriods.h"
#include "chart/ChartSeries.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// "08:15:03 4660 TEMP_HIGH begin" → a line of the log on 2026-12-09.
std::string line(const std::string& time, long serial, const std::string& kind,
    const std::string& type, const std::string& value = "25.6", const std::string& limit = "25")
{
    return "2026-12-09 " + time + "\t" + std::to_string(serial) + "\t" + kind + "\t" + type + "\t"
        + value + "\t" + limit + "\n";
}

std::int64_t at(int hour, int minute, int second)
{
    return WallSeconds({ 2026, 12, 9, hour, minute, second });
}

} // namespace

TEST(AlarmPeriods, TurnTheLogIntoPeriods)
{
    using K = AlarmKind;
    const std::string high = line("08:00:00", 4660, "TEMP_HIGH", "begin")
        + line("08:05:00", 4660, "TEMP_HIGH", "ack") + line("08:10:00", 4660, "TEMP_HIGH", "end");
    struct Case {
        const char* what;
        std::string log;
        std::optional<long> serial;
        std::vector<AlarmPeriod> periods;
    };
    const std::vector<Case> cases = {
        { "begin and end, an acknowledgement between", high, 4660,
            { { K::TemperatureHigh, 4660, at(8, 0, 0), at(8, 10, 0), false } } },
        { "another meter's alarms left out",
            high + line("08:01:00", 77, "RH_LOW", "begin") + line("08:02:00", 77, "RH_LOW", "end"),
            4660, { { K::TemperatureHigh, 4660, at(8, 0, 0), at(8, 10, 0), false } } },
        { "every meter's without a serial number",
            high + line("08:01:00", 77, "RH_LOW", "begin") + line("08:02:00", 77, "RH_LOW", "end"),
            std::nullopt,
            { { K::TemperatureHigh, 4660, at(8, 0, 0), at(8, 10, 0), false },
                { K::HumidityLow, 77, at(8, 1, 0), at(8, 2, 0), false } } },
        { "a begin without an end runs to the log's last line, of any meter",
            line("08:00:00", 4660, "LINK_LOST", "begin", "-", "-")
                + line("09:30:00", 77, "METER_ERROR", "begin", "-", "-"),
            4660, { { K::LinkLost, 4660, at(8, 0, 0), at(9, 30, 0), true } } },
        { "one meter's alarms kept apart by kind",
            line("08:00:00", 4660, "RH_HIGH", "begin")
                + line("08:01:00", 4660, "DEWPOINT_SPREAD", "begin")
                + line("08:02:00", 4660, "RH_HIGH", "end")
                + line("08:03:00", 4660, "DEWPOINT_SPREAD", "end"),
            4660,
            { { K::HumidityHigh, 4660, at(8, 0, 0), at(8, 2, 0), false },
                { K::Condensation, 4660, at(8, 1, 0), at(8, 3, 0), false } } },
        { "the same kind on two meters kept apart",
            line("08:00:00", 1, "TEMP_LOW", "begin") + line("08:01:00", 2, "TEMP_LOW", "begin")
                + line("08:02:00", 1, "TEMP_LOW", "end"),
            std::nullopt,
            { { K::TemperatureLow, 1, at(8, 0, 0), at(8, 2, 0), false },
                { K::TemperatureLow, 2, at(8, 1, 0), at(8, 2, 0), true } } },
        { "damaged lines skipped",
            "rubbish\n" + line("08:00:00", 4660, "TEMP_HIGH", "begin")
                + "2026-12-09 08:04:00\t4660\tTEMP_HIGH\tend\t25.6\n" // a field short
                + line("08:05:00", 4660, "NO_SUCH", "end")
                + line("08:06:00", 4660, "TEMP_HIGH", "over") + "\n"
                + line("08:07:00", 4660, "TEMP_HIGH", "end"),
            4660, { { K::TemperatureHigh, 4660, at(8, 0, 0), at(8, 7, 0), false } } },
        { "an end without a begin, a second begin of an alarm on",
            line("07:00:00", 4660, "PRESSURE_LOW", "end")
                + line("08:00:00", 4660, "PRESSURE_LOW", "begin")
                + line("08:30:00", 4660, "PRESSURE_LOW", "begin")
                + line("09:00:00", 4660, "PRESSURE_LOW", "end")
                + line("09:10:00", 4660, "PRESSURE_LOW", "end"),
            4660, { { K::PressureLow, 4660, at(8, 0, 0), at(9, 0, 0), false } } },
        { "an end before its begin (the clock set back) is not turned over",
            line("08:00:00", 4660, "TEMP_HIGH", "begin")
                + line("07:59:00", 4660, "TEMP_HIGH", "end"),
            4660, { { K::TemperatureHigh, 4660, at(8, 0, 0), at(8, 0, 0), false } } },
        { "a last line without its line end",
            line("08:00:00", 4660, "TEMP_HIGH", "begin")
                + "2026-12-09 08:10:00\t4660\tTEMP_HIGH\tend\t-\t25",
            4660, { { K::TemperatureHigh, 4660, at(8, 0, 0), at(8, 10, 0), false } } },
        { "lines with CR LF",
            "2026-12-09 08:00:00\t4660\tTEMP_HIGH\tbegin\t26\t25\r\n"
            "2026-12-09 08:01:00\t4660\tTEMP_HIGH\tend\t24\t25\r\n",
            4660, { { K::TemperatureHigh, 4660, at(8, 0, 0), at(8, 1, 0), false } } },
        { "nothing", "", 4660, {} },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(AlarmPeriodsOfLog(c.log, c.serial), c.periods);
        // The same however the file grew: cut anywhere.
        for (std::size_t cut = 1; cut < c.log.size(); ++cut) {
            AlarmLogReading r;
            r.Feed(std::string_view(c.log).substr(0, cut));
            r.Feed(std::string_view(c.log).substr(cut));
            ASSERT_EQ(r.Periods(c.serial), c.periods) << "cut at " << cut;
        }
    }
}

TEST(AlarmPeriods, CountsDamageAndBoundsALineThatNeverEnds)
{
    AlarmLogReading r;
    std::size_t fed = 0;
    const auto feed = [&](const std::string& bytes) {
        r.Feed(bytes);
        fed += bytes.size();
    };
    feed("rubbish\n" + line("08:00:00", 4660, "TEMP_HIGH", "begin"));
    const std::string noise(100000, 'x'); // a file that is no log, without line ends
    for (int i = 0; i < 10; ++i)
        feed(noise);
    feed("\n" + line("08:10:00", 4660, "TEMP_HIGH", "end"));
    EXPECT_EQ(r.entries(), 2U);
    EXPECT_EQ(r.damaged(), 2U);
    EXPECT_EQ(r.fed(), fed);
    EXPECT_EQ(r.Periods(4660).size(), 1U);
    r.Reset();
    EXPECT_EQ(r.entries(), 0U);
    EXPECT_EQ(r.fed(), 0U);
    EXPECT_TRUE(r.Periods(std::nullopt).empty());
}

TEST(AlarmPeriods, VisibleBands)
{
    using Spans = std::vector<std::pair<double, double>>;
    struct Case {
        const char* what;
        Spans spans;
        Spans bands;
    };
    // Over [100, 200] with pixels 1 wide.
    const std::vector<Case> cases = {
        { "clipped to the range", { { 50, 120 }, { 190, 300 }, { 0, 10 }, { 250, 260 } },
            { { 100, 120 }, { 190, 200 } } },
        { "a moment is a pixel wide", { { 150, 150 } }, { { 149.5, 150.5 } } },
        { "less than a pixel apart merged, out of order",
            { { 160, 170 }, { 130, 140 }, { 140.5, 150 } }, { { 130, 150 }, { 160, 170 } } },
        { "overlapping merged", { { 110, 150 }, { 120, 130 } }, { { 110, 150 } } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(chart::VisibleBands(c.spans, 100, 200, 1), c.bands);
    }
}
