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

    void Append(std::int64_t time, const Readings& readings);
    void Clear();
    // Rows arrive in time order except across a clock change; the plot and
    // the statistics need them sorted.
    void SortIfNeeded();

    std::size_t size() const { return time_.size(); }
    const std::vector<std::int64_t>& times() const { return time_; }
    const std::vector<float>& values(int quantity) const { return value_[quantity]; }
    const chart::Summary& summary(int quantity) const { return summary_[quantity]; }
    // Steps longer than this break a line: a few typical intervals.
    std::int64_t gapThreshold() const;

private:
    std::vector<std::int64_t> time_;
    std::vector<float> value_[kQuantities];
    chart::Summary summary_[kQuantities];
    bool sorted_ = true;
};

// Seconds of `t` counted as if it were UTC: the axis then shows the wall
// clock exactly as recorded, whatever the zone and its changes.
std::int64_t WallSeconds(const LocalTime& t);
LocalTime FromWallSeconds(std::int64_t seconds);
