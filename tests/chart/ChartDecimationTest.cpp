// What the chart draws: min/max per pixel column, breaks, range figures.
#include "chart/ChartDecimation.h"
#include "chart/ChartSeries.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

struct Extremes {
    double min = 1e300, max = -1e300;
    std::size_t breaks = 0;
};

Extremes extremes(const std::vector<chart::Point>& points)
{
    Extremes e;
    for (const auto& p : points) {
        if (std::isnan(p.value)) {
            ++e.breaks;
            continue;
        }
        e.min = std::min(e.min, p.value);
        e.max = std::max(e.max, p.value);
    }
    return e;
}

} // namespace

TEST(ChartDecimation, AOneRecordSpikeStaysVisibleAtEveryZoom)
{
    constexpr std::size_t n = 200000;
    std::vector<std::int64_t> times(n);
    std::vector<float> values(n);
    for (std::size_t i = 0; i < n; ++i) {
        times[i] = 1000 + static_cast<std::int64_t>(i);
        values[i] = 20.0F + static_cast<float>(i % 7) * 0.1F;
    }
    values[123457] = 99.0F;
    values[123458] = -40.0F;
    const double spike = 1000 + 123457;

    for (int columns : { 1, 3, 640, 1920, 100000 }) {
        for (double span : { 5.0, 60.0, 3600.0, 86400.0, 1e6 }) {
            for (double shift : { 0.0, 0.37, 0.5, 0.99 }) {
                const double from = spike - span * shift;
                const auto points = chart::Decimate(times, values, from, from + span, columns, 3);
                const Extremes e = extremes(points);
                EXPECT_EQ(e.max, 99.0) << columns << " " << span << " " << shift;
                EXPECT_EQ(e.min, -40.0) << columns << " " << span << " " << shift;
                EXPECT_EQ(e.breaks, 0U);
                // Bounded by the width, not by the records.
                EXPECT_LE(points.size(), 4 * static_cast<std::size_t>(columns) + 8);
                EXPECT_TRUE(std::is_sorted(points.begin(), points.end(),
                    [](const auto& a, const auto& b) { return a.time < b.time; }));
            }
        }
    }
}

TEST(ChartDecimation, BlockFiguresGiveWhatEveryRecordGives)
{
    // Invalid values, silences and a clock put back, at block edges and
    // inside blocks.
    ChartSeries series;
    std::int64_t t = 5000;
    for (std::size_t i = 0; i < 300000; ++i) {
        t += i % 7919 == 0 ? 600 : (i % 4099 == 0 ? 0 : 1);
        Readings r;
        r.temperature
            = { std::sin(static_cast<double>(i) / 900) * 10 + static_cast<double>(i % 17) * 0.1,
                  i % 3001 != 5 && i % 65536 != 0 };
        r.humidity = { static_cast<double>(i % 101), true };
        series.Append(t, r);
    }
    series.Append(t - 30, Readings {});
    series.SortIfNeeded();
    const double first = static_cast<double>(series.times().front());
    const double last = static_cast<double>(series.times().back());
    const auto same = [](const std::vector<chart::Point>& a, const std::vector<chart::Point>& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
            return x.time == y.time
                && (x.value == y.value || (std::isnan(x.value) && std::isnan(y.value)));
        });
    };
    for (int q : { 0, 1, 2 }) {
        for (int columns : { 1, 50, 1280 }) {
            for (double from : { first - 10, first + 12345.5, last - 3000 }) {
                for (double to : { last + 10, from + 9000, from + 70 }) {
                    SCOPED_TRACE(
                        testing::Message() << q << " " << columns << " " << from << " " << to);
                    const auto& v = series.values(q);
                    EXPECT_TRUE(same(chart::Decimate(series.times(), v, from, to, columns, 3),
                        chart::Decimate(
                            series.times(), v, from, to, columns, 3, &series.summary(q))));
                    const chart::RangeStats a = chart::Stats(series.times(), v, from, to);
                    const chart::RangeStats b
                        = chart::Stats(series.times(), v, from, to, &series.summary(q));
                    EXPECT_EQ(std::tie(a.count, a.minimum, a.minimumTime, a.maximum, a.maximumTime),
                        std::tie(b.count, b.minimum, b.minimumTime, b.maximum, b.maximumTime));
                    EXPECT_NEAR(a.mean, b.mean, 1e-9);
                }
            }
        }
    }
}

TEST(ChartDecimation, InvalidValuesAndLongStepsBreakTheLineOnce)
{
    // 0..9 every second, "???" at 4 and 5, then a silence of a minute.
    std::vector<std::int64_t> times { 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 70, 71 };
    std::vector<float> values { 1, 2, 3, 4, kNaN, kNaN, 7, 8, 9, 10, 11, 12 };
    const auto points = chart::Decimate(times, values, 0, 71, 1000, 3);
    std::vector<double> seen;
    seen.reserve(points.size());
    for (const auto& p : points)
        seen.push_back(std::isnan(p.value) ? -1 : p.value);
    EXPECT_EQ(seen, (std::vector<double> { 1, 2, 3, 4, -1, 7, 8, 9, 10, -1, 11, 12 }));

    // The same at one column: the break is still drawn between the pieces.
    EXPECT_EQ(extremes(chart::Decimate(times, values, 0, 71, 1, 3)).breaks, 2U);
    // Nothing at all outside the records; one neighbour on each side inside.
    EXPECT_TRUE(chart::Decimate(times, values, 0, 71, 0, 3).empty());
    const auto edge = chart::Decimate(times, values, 20, 30, 100, 100);
    ASSERT_EQ(edge.size(), 2U);
    EXPECT_EQ(edge[0].value, 10);
    EXPECT_EQ(edge[1].value, 11);
}

TEST(ChartDecimation, RangeFiguresSkipInvalidValues)
{
    std::vector<std::int64_t> times { 10, 20, 30, 40, 50 };
    std::vector<float> values { 5, kNaN, -2, 9, 100 };
    const chart::RangeStats s = chart::Stats(times, values, 10, 40);
    EXPECT_EQ(s.count, 3U);
    EXPECT_EQ(s.minimum, -2);
    EXPECT_EQ(s.minimumTime, 30);
    EXPECT_EQ(s.maximum, 9);
    EXPECT_EQ(s.maximumTime, 40);
    EXPECT_DOUBLE_EQ(s.mean, 4);
    EXPECT_EQ(chart::Stats(times, values, 21, 29).count, 0U);
}

TEST(ChartSeries, WallClockTimesAndOrderAcrossAClockChange)
{
    const LocalTime t { 2026, 3, 29, 2, 30, 0 };
    EXPECT_EQ(WallSeconds({ 1970, 1, 1, 0, 0, 0 }), 0);
    EXPECT_EQ(
        WallSeconds({ 2000, 3, 1, 0, 0, 0 }) - WallSeconds({ 2000, 2, 28, 0, 0, 0 }), 2 * 86400);
    const LocalTime back = FromWallSeconds(WallSeconds(t));
    EXPECT_EQ(std::tie(back.year, back.month, back.day, back.hour, back.minute, back.second),
        std::tie(t.year, t.month, t.day, t.hour, t.minute, t.second));

    ChartSeries s;
    Readings r;
    r.temperature = { 1, true };
    s.Append(100, r);
    r.temperature = { 3, true };
    s.Append(300, r);
    r.temperature = { 2, true };
    s.Append(200, r); // the clock was put back
    s.SortIfNeeded();
    EXPECT_EQ(s.times(), (std::vector<std::int64_t> { 100, 200, 300 }));
    EXPECT_EQ(s.values(0), (std::vector<float> { 1, 2, 3 }));
    EXPECT_TRUE(std::isnan(s.values(1)[0]));
}
