// The daily figures of a report against a plain count over the records the
// test wrote: a gap, invalid values, a damaged stretch and a day with a
// change of summer time, in the zone the meter's site keeps.
#include "chart/ReportFigures.h"
#include "chart/ChartRecording.h"
#include "common/ValueFormat.h"
#include "recording/BinaryRecord.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

class WarsawTime {
public:
    WarsawTime()
    {
        const char* old = std::getenv("TZ");
        if (old != nullptr)
            old_ = old;
        had_ = old != nullptr;
        ::setenv("TZ", "Europe/Warsaw", 1);
        ::tzset();
    }
    ~WarsawTime()
    {
        if (had_)
            ::setenv("TZ", old_.c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
    WarsawTime(const WarsawTime&) = delete;
    WarsawTime& operator=(const WarsawTime&) = delete;

private:
    std::string old_;
    bool had_ = false;
};

LocalTime localOf(std::time_t t)
{
    std::tm tm {};
    ::localtime_r(&t, &tm);
    return { tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec };
}

struct Expected {
    std::size_t records = 0;
    std::size_t valid[3] = {};
    double minimum[3] = { 1e300, 1e300, 1e300 };
    double maximum[3] = { -1e300, -1e300, -1e300 };
    double sum[3] = {};
    std::set<std::int64_t> minimumTimes[3];
    std::set<std::int64_t> maximumTimes[3];
};

struct Case {
    const char* name;
    std::time_t start; // UTC, a local midnight
    int days;
    std::int64_t clockChangeDay; // the day of 23 or 25 hours
    std::size_t recordsThatDay;
};

} // namespace

TEST(ReportFigures, DaysAgainstAPlainCountAcrossGapsDamageAndClockChanges)
{
    const WarsawTime zone;
    constexpr int kStep = 10;
    const std::vector<Case> cases = {
        // The last Sunday of October 2026: 02:00–03:00 comes twice.
        { "autumn", 1792792800, 3, WallSeconds({ 2026, 10, 25, 0, 0, 0 }), 25 * 360 - 2 * 360 },
        // The last Sunday of March 2026: 02:00–03:00 never comes.
        { "spring", 1774652400, 3, WallSeconds({ 2026, 3, 29, 0, 0, 0 }), 23 * 360 - 2 * 360 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(localOf(c.start).hour, 0);
        std::string bytes;
        std::map<std::int64_t, Expected> days;
        std::vector<chart::Gap> gaps;
        std::int64_t previous = 0;
        std::int64_t beforeDamage = 0;
        std::int64_t afterDamage = 0;
        const int records = c.days * 86400 / kStep + 3600 / kStep;
        for (int i = 0; i < records; ++i) {
            const std::time_t real = c.start + static_cast<std::time_t>(i) * kStep;
            const LocalTime local = localOf(real);
            const std::int64_t wall = WallSeconds(local);
            // The clock-change day loses two hours at noon.
            if (chart::DayOf(wall) == c.clockChangeDay && local.hour >= 12 && local.hour < 14)
                continue;
            Readings r;
            r.serialNumber = 4821;
            r.temperature = { 20 + 5 * std::sin(i * 0.0011) + (i % 7) * 0.01, i % 500 != 3 };
            r.humidity = { 50 - 10 * std::sin(i * 0.0007), !(i >= 9000 && i < 9400) };
            r.pressure = { 1000 + (i % 977) * 0.01, true };
            std::string record = qmg::Record(local, r);
            // A damaged record in the middle of the first day.
            if (i == 4000) {
                record[6] = static_cast<char>(record[6] ^ 0x5a);
                bytes += record;
                beforeDamage = previous;
                continue;
            }
            if (i == 4001)
                afterDamage = wall;
            bytes += record;
            if (previous != 0 && real - previous > 3 * kStep)
                gaps.push_back({ WallSeconds(localOf(previous)), wall });
            previous = real;
            Expected& e = days[chart::DayOf(wall)];
            ++e.records;
            const RecordedQuantity* q[3] = { &r.temperature, &r.humidity, &r.pressure };
            for (int k = 0; k < 3; ++k) {
                if (!q[k]->valid)
                    continue;
                // Stored with one decimal.
                const double v = std::stof(FormatFixed(q[k]->value, 1));
                ++e.valid[k];
                e.sum[k] += v;
                if (v < e.minimum[k])
                    e.minimumTimes[k].clear();
                if (v <= e.minimum[k]) {
                    e.minimum[k] = v;
                    e.minimumTimes[k].insert(wall);
                }
                if (v > e.maximum[k])
                    e.maximumTimes[k].clear();
                if (v >= e.maximum[k]) {
                    e.maximum[k] = v;
                    e.maximumTimes[k].insert(wall);
                }
            }
        }

        ChartRecording recording(ChartRecording::Kind::Binary);
        recording.Feed(bytes);
        ASSERT_EQ(recording.series().size(), 1U);
        ChartSeries& series = recording.series().at(4821);
        series.SortIfNeeded();
        ASSERT_EQ(recording.damaged(), 1U);
        ASSERT_EQ(recording.damagedStretches().size(), 1U);
        EXPECT_EQ(recording.damagedStretches()[0].after, WallSeconds(localOf(beforeDamage)));
        EXPECT_EQ(recording.damagedStretches()[0].before, afterDamage);

        const std::int64_t from = chart::DayOf(series.times().front());
        const std::int64_t to = chart::DayOf(series.times().back()) + chart::kDaySeconds - 1;
        const std::vector<chart::DayFigures> figures = chart::DailyFigures(series, from, to);
        ASSERT_EQ(figures.size(), days.size() + 1);
        Expected whole;
        std::size_t d = 0;
        for (const auto& [day, e] : days) {
            SCOPED_TRACE(day);
            const chart::DayFigures& f = figures[d++];
            EXPECT_EQ(f.day, day);
            EXPECT_EQ(f.records, e.records);
            if (day == c.clockChangeDay) {
                EXPECT_EQ(f.records, c.recordsThatDay);
            }
            whole.records += e.records;
            for (int k = 0; k < 3; ++k) {
                SCOPED_TRACE(k);
                EXPECT_EQ(f.quantity[k].count, e.valid[k]);
                EXPECT_EQ(f.quantity[k].minimum, e.minimum[k]);
                EXPECT_EQ(f.quantity[k].maximum, e.maximum[k]);
                EXPECT_TRUE(e.minimumTimes[k].count(f.quantity[k].minimumTime));
                EXPECT_TRUE(e.maximumTimes[k].count(f.quantity[k].maximumTime));
                EXPECT_NEAR(f.quantity[k].mean, e.sum[k] / static_cast<double>(e.valid[k]), 1e-6);
                whole.valid[k] += e.valid[k];
                whole.sum[k] += e.sum[k];
            }
        }
        const chart::DayFigures& period = figures.back();
        EXPECT_EQ(period.records, whole.records);
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(period.quantity[k].count, whole.valid[k]);
            EXPECT_NEAR(
                period.quantity[k].mean, whole.sum[k] / static_cast<double>(whole.valid[k]), 1e-6);
        }
        // Part of a day: from its noon on.
        const std::vector<chart::DayFigures> half
            = chart::DailyFigures(series, from + 43200, from + chart::kDaySeconds - 1);
        ASSERT_EQ(half.size(), 2U);
        EXPECT_EQ(half[0].records, 4320U);

        // Only the two hours: neither clock change nor the damaged record.
        const chart::Gaps found = chart::FindGaps(series, from, to, series.gapThreshold());
        ASSERT_EQ(gaps.size(), 1U);
        ASSERT_EQ(found.count, 1U);
        EXPECT_EQ(found.listed[0].last, gaps[0].last);
        EXPECT_EQ(found.listed[0].next, gaps[0].next);
    }
}
