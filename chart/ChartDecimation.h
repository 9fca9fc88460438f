#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// What a plot draws for one quantity of one series over a time range: at
// most the first and the extreme points of each pixel column, so a redraw
// costs the same at any zoom and a one-record spike is never lost.
namespace chart {

// Figures of consecutive fixed-size blocks of records, kept as records
// arrive, so a range of millions of records costs thousands of steps.
struct Block {
    float minimum = 0;
    float maximum = 0;
    std::uint32_t minimumIndex = 0; // in the whole series
    std::uint32_t maximumIndex = 0;
    double sum = 0;
    std::uint32_t count = 0; // valid values
    bool invalid = false; // holds a value that is not valid
};

struct Summary {
    static constexpr std::size_t kBlockSize = 256;
    std::vector<Block> blocks;
    std::vector<std::int64_t> longestStep; // between records of one block

    void Add(std::size_t index, std::int64_t step, float value);
    void Clear();
};

struct Point {
    double time;
    double value; // NaN: the line breaks here
};

// `times` sorted; `values` NaN where not valid. Points of the records in
// [from, to] and of one record on either side (so lines reach the edges),
// `columns` pixel columns wide. A step longer than `gap` or an invalid
// value breaks the line. `summary`, when given, must describe `values`.
std::vector<Point> Decimate(const std::vector<std::int64_t>& times,
    const std::vector<float>& values, double from, double to, int columns, std::int64_t gap,
    const Summary* summary = nullptr);

struct RangeStats {
    std::size_t count = 0; // valid values in the range
    double minimum = 0;
    std::int64_t minimumTime = 0;
    double maximum = 0;
    std::int64_t maximumTime = 0;
    double mean = 0;
};

// Over the records with time in [from, to]. `summary`, when given, must
// describe `values`; the result is the same, only sooner.
RangeStats Stats(const std::vector<std::int64_t>& times, const std::vector<float>& values,
    double from, double to, const Summary* summary = nullptr);

} // namespace chart
