#include "chart/ReportFigures.h"

#include "common/ValueFormat.h"
#include "resources/ChartTexts.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace chart {

namespace {

std::size_t firstAtOrAfter(const std::vector<std::int64_t>& times, std::int64_t t)
{
    return static_cast<std::size_t>(
        std::lower_bound(times.begin(), times.end(), t) - times.begin());
}

std::size_t firstAfter(const std::vector<std::int64_t>& times, std::int64_t t)
{
    return static_cast<std::size_t>(
        std::upper_bound(times.begin(), times.end(), t) - times.begin());
}

DayFigures figuresOf(const ChartSeries& series, std::int64_t from, std::int64_t to)
{
    DayFigures d;
    d.day = DayOf(from);
    const auto& times = series.times();
    d.records = firstAfter(times, to) - firstAtOrAfter(times, from);
    const int columns = series.keepsDewPoint() ? ChartSeries::kColumns : ChartSeries::kQuantities;
    for (int q = 0; q < columns; ++q)
        d.quantity[q] = Stats(times, series.values(q), static_cast<double>(from),
            static_cast<double>(to), &series.summary(q));
    return d;
}

// A decimal comma: the table goes to spreadsheets set up for Polish.
std::string number(double v, int decimals)
{
    std::string s = FormatFixed(v, decimals);
    std::replace(s.begin(), s.end(), '.', ',');
    return s;
}

std::string dateText(std::int64_t wall)
{
    const LocalTime t = FromWallSeconds(wall);
    char out[32];
    std::snprintf(out, sizeof out, "%04d-%02d-%02d", t.year, t.month, t.day);
    return out;
}

std::string clockText(std::int64_t wall)
{
    const LocalTime t = FromWallSeconds(wall);
    char out[32];
    std::snprintf(out, sizeof out, "%02d:%02d:%02d", t.hour, t.minute, t.second);
    return out;
}

} // namespace

std::int64_t DayOf(std::int64_t t)
{
    const std::int64_t rest = ((t % kDaySeconds) + kDaySeconds) % kDaySeconds;
    return t - rest;
}

std::vector<DayFigures> DailyFigures(const ChartSeries& series, std::int64_t from, std::int64_t to)
{
    std::vector<DayFigures> days;
    const auto& times = series.times();
    std::size_t i = firstAtOrAfter(times, from);
    const std::size_t end = firstAfter(times, to);
    // Day by day over the days that hold records: an empty month costs a
    // search, not thirty rows.
    while (i < end) {
        const std::int64_t day = DayOf(times[i]);
        const std::int64_t last = std::min(to, day + kDaySeconds - 1);
        days.push_back(figuresOf(series, std::max(from, day), last));
        i = firstAfter(times, last);
    }
    days.push_back(figuresOf(series, from, to));
    return days;
}

std::int64_t LocalWallToEpoch(std::int64_t wall)
{
    const LocalTime t = FromWallSeconds(wall);
    std::tm tm {};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
    tm.tm_isdst = -1;
    const std::time_t epoch = std::mktime(&tm);
    return epoch == static_cast<std::time_t>(-1) ? wall : static_cast<std::int64_t>(epoch);
}

Gaps FindGaps(const ChartSeries& series, std::int64_t from, std::int64_t to, std::int64_t threshold,
    WallToEpoch toEpoch)
{
    Gaps gaps;
    const auto& times = series.times();
    const std::size_t begin = firstAtOrAfter(times, from);
    const std::size_t end = firstAfter(times, to);
    const Summary& summary = series.summary(0);
    constexpr std::size_t kBlock = Summary::kBlockSize;
    for (std::size_t i = begin + 1; i < end; ++i) {
        const std::int64_t step = times[i] - times[i - 1];
        // The wall clock runs an hour ahead of real time across the change
        // to summer time, never behind: a short wall step is a short step.
        if (step > threshold && toEpoch(times[i]) - toEpoch(times[i - 1]) > threshold) {
            if (gaps.listed.size() < Gaps::kListed)
                gaps.listed.push_back({ times[i - 1], times[i] });
            ++gaps.count;
        }
        // The rest of a block whose steps are all short, taken at once.
        const std::size_t b = i / kBlock;
        if (i % kBlock == 0 && b < summary.longestStep.size() && i + kBlock <= end
            && summary.longestStep[b] <= threshold)
            i += kBlock - 1;
    }
    return gaps;
}

std::string DailyCsv(const std::vector<SeriesOfMeter>& meters, std::int64_t from, std::int64_t to)
{
    std::string out = texts::chart::kDailyCsvHeader;
    for (const SeriesOfMeter& m : meters) {
        const std::vector<DayFigures> days = DailyFigures(*m.series, from, to);
        for (std::size_t d = 0; d < days.size(); ++d) {
            const DayFigures& day = days[d];
            const bool whole = d + 1 == days.size();
            out += std::to_string(m.serialNumber) + ';';
            out += whole ? std::string(texts::chart::kDailyCsvWhole) : dateText(day.day);
            out += ';' + std::to_string(day.records);
            for (int q = 0; q < ChartSeries::kQuantities; ++q) {
                const RangeStats& s = day.quantity[q];
                if (s.count == 0) {
                    out += ";;;;;;0";
                    continue;
                }
                // The whole period spans days: its times carry their date.
                const auto when = [&](std::int64_t t) {
                    return whole ? dateText(t) + ' ' + clockText(t) : clockText(t);
                };
                out += ';' + number(s.minimum, 1) + ';' + when(s.minimumTime);
                out += ';' + number(s.maximum, 1) + ';' + when(s.maximumTime);
                out += ';' + number(s.mean, 2) + ';' + std::to_string(s.count);
            }
            out += "\r\n";
        }
    }
    return out;
}

} // namespace chart
