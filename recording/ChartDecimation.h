#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// What a plot draws for one quantity of one series over a time range: at
// most the first and the extreme points of each pixel column, so a redraw
// costs the same at any zoom and a one-record spike is never lost.
namespace chart {

struct Point {
    double time;
    double value; // NaN: the line breaks here
};

// `times` sorted; `values` NaN where not valid. Points of the records in
// [from, to] and of one record on either side (so lines reach the edges),
// `columns` pixel columns wide. A step longer than `gap` or an invalid
// value breaks the line.
std::vector<Point> Decimate(const std::vector<std::int64_t>& times,
    const std::vector<float>& values, double from, double to, int columns, std::int64_t gap);

struct RangeStats {
    std::size_t count = 0; // valid values in the range
    double minimum = 0;
    std::int64_t minimumTime = 0;
    double maximum = 0;
    std::int64_t maximumTime = 0;
    double mean = 0;
};

// Over the records with time in [from, to].
RangeStats Stats(const std::vector<std::int64_t>& times, const std::vector<float>& values,
    double from, double to);

} // namespace chart
