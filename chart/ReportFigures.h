#pragma once

#include "chart/ChartDecimation.h"
#include "chart/ChartSeries.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The figures of a period report: each local calendar day's minimum,
// maximum and mean with their times, the stretches without records, all
// taken from the series' block figures, so a year costs about what its
// chart costs. Times are wall-clock seconds (WallSeconds).
namespace chart {

inline constexpr std::int64_t kDaySeconds = 86400;

// The local day holding wall time `t`, as the wall time of its midnight.
std::int64_t DayOf(std::int64_t t);

struct DayFigures {
    std::int64_t day = 0; // its midnight
    std::size_t records = 0; // every record of the day, valid or not
    RangeStats quantity[ChartSeries::kColumns]; // the dew point only when kept
};

// One row per day of [from, to] that holds a record, then the same over the
// whole period as a last row (its `day` the period's first).
std::vector<DayFigures> DailyFigures(const ChartSeries& series, std::int64_t from, std::int64_t to);

// The real seconds since the epoch of a wall time of this machine's zone;
// in a repeated hour the earlier of the two.
std::int64_t LocalWallToEpoch(std::int64_t wall);
using WallToEpoch = std::int64_t (*)(std::int64_t);

struct Gap {
    std::int64_t last = 0; // the record before
    std::int64_t next = 0; // the record after
};

struct Gaps {
    static constexpr std::size_t kListed = 500;
    std::vector<Gap> listed; // the first kListed, in time order
    std::size_t count = 0;
};

// Steps between records of [from, to] longer than `threshold` real seconds:
// a change of the clock to summer time is no gap, nor the repeated hour in
// autumn. Whole blocks without a long step are passed by their figures.
Gaps FindGaps(const ChartSeries& series, std::int64_t from, std::int64_t to, std::int64_t threshold,
    WallToEpoch toEpoch = LocalWallToEpoch);

// The daily table as CSV (";" between fields, "," in numbers, a line a
// day and one for the whole period), per meter of `series`.
struct SeriesOfMeter {
    int serialNumber = 0;
    const ChartSeries* series = nullptr;
};
std::string DailyCsv(const std::vector<SeriesOfMeter>& meters, std::int64_t from, std::int64_t to);

} // namespace chart
