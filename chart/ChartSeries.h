#pragma once

#include "chart/ChartDecimation.h"
#include "recording/Readings.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The readings of one meter (one serial number) as columns: 20 bytes a
// record and the block figures, so a year at 1 s fits in memory. Times are local wall-clock
// seconds (WallSeconds), values NaN where the quantity was not valid.
class ChartSeries {
public:
    static constexpr int kQuantities = 3; // temperature, humidity, pressure
    // A fourth column, kept only on demand: the dew point of temperature and
    // humidity, NaN where either is not valid.
    static constexpr int kDewPoint = 3;
    static constexpr int kColumns = 4;

    void Append(std::int64_t time, const Readings& readings);
    void Clear();
    // Room for `records` without moving the columns as they grow: a copy
    // while growing would hold a column twice. Room not filled costs no memory.
    void Reserve(std::size_t records);
    // Computes the dew point of the records so far and of those to come;
    // false drops the column.
    void KeepDewPoint(bool keep);
    bool keepsDewPoint() const { return keepDewPoint_; }
    // Rows arrive in time order except across a clock change; the plot and
    // the statistics need them sorted.
    void SortIfNeeded();

    std::size_t size() const { return time_.size(); }
    const std::vector<std::int64_t>& times() const { return time_; }
    // Empty for the dew point while it is not kept.
    const std::vector<float>& values(int column) const { return value_[column]; }
    const chart::Summary& summary(int column) const { return summary_[column]; }
    // Steps longer than this break a line: a few typical intervals.
    std::int64_t gapThreshold() const;

private:
    int columns() const { return keepDewPoint_ ? kColumns : kQuantities; }

    std::vector<std::int64_t> time_;
    std::vector<float> value_[kColumns];
    chart::Summary summary_[kColumns];
    bool sorted_ = true;
    bool keepDewPoint_ = false;
};

// Seconds of `t` counted as if it were UTC: the axis then shows the wall
// clock exactly as recorded, whatever the zone and its changes.
std::int64_t WallSeconds(const LocalTime& t);
LocalTime FromWallSeconds(std::int64_t seconds);
