#include "chart/ChartDecimation.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace chart {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::size_t lowerIndex(const std::vector<std::int64_t>& times, double t)
{
    return static_cast<std::size_t>(
        std::lower_bound(times.begin(), times.end(), t,
            [](std::int64_t a, double b) { return static_cast<double>(a) < b; })
        - times.begin());
}

std::size_t upperIndex(const std::vector<std::int64_t>& times, double t)
{
    return static_cast<std::size_t>(
        std::upper_bound(times.begin(), times.end(), t,
            [](double a, std::int64_t b) { return a < static_cast<double>(b); })
        - times.begin());
}

// The points of one pixel column: its first, minimum, maximum and last
// records, in time order, each once. First and last keep the line between
// columns where it really goes.
class Column {
public:
    void Add(std::size_t i, float v)
    {
        if (count_ == 0) {
            first_ = last_ = min_ = max_ = i;
        } else {
            last_ = i;
            if (v < minValue_)
                min_ = i;
            if (v > maxValue_)
                max_ = i;
        }
        if (count_ == 0 || v < minValue_)
            minValue_ = v;
        if (count_ == 0 || v > maxValue_)
            maxValue_ = v;
        ++count_;
    }

    void AddBlock(std::size_t first, std::size_t last, const Block& b)
    {
        if (count_ == 0) {
            first_ = first;
            min_ = b.minimumIndex;
            max_ = b.maximumIndex;
            minValue_ = b.minimum;
            maxValue_ = b.maximum;
        } else {
            if (b.minimum < minValue_) {
                min_ = b.minimumIndex;
                minValue_ = b.minimum;
            }
            if (b.maximum > maxValue_) {
                max_ = b.maximumIndex;
                maxValue_ = b.maximum;
            }
        }
        last_ = last;
        count_ += b.count;
    }

    void Flush(const std::vector<std::int64_t>& times, const std::vector<float>& values,
        std::vector<Point>& out)
    {
        if (count_ == 0)
            return;
        std::size_t idx[4] = { first_, min_, max_, last_ };
        std::sort(idx, idx + 4);
        const std::size_t* end = std::unique(idx, idx + 4);
        for (const std::size_t* i = idx; i != end; ++i)
            out.push_back({ static_cast<double>(times[*i]), values[*i] });
        count_ = 0;
    }

private:
    std::size_t count_ = 0;
    std::size_t first_ = 0, last_ = 0, min_ = 0, max_ = 0;
    float minValue_ = 0, maxValue_ = 0;
};

} // namespace

void Summary::Add(std::size_t index, std::int64_t step, float value)
{
    const std::size_t b = index / kBlockSize;
    if (b == blocks.size()) {
        blocks.emplace_back();
        longestStep.push_back(0);
    } else if (index % kBlockSize != 0) {
        longestStep[b] = std::max(longestStep[b], step);
    }
    Block& block = blocks[b];
    if (std::isnan(value)) {
        block.invalid = true;
        return;
    }
    const auto at = static_cast<std::uint32_t>(index);
    if (block.count == 0 || value < block.minimum) {
        block.minimum = value;
        block.minimumIndex = at;
    }
    if (block.count == 0 || value > block.maximum) {
        block.maximum = value;
        block.maximumIndex = at;
    }
    block.sum += value;
    ++block.count;
}

void Summary::Clear()
{
    blocks.clear();
    longestStep.clear();
}

std::vector<Point> Decimate(const std::vector<std::int64_t>& times,
    const std::vector<float>& values, double from, double to, int columns, std::int64_t gap,
    const Summary* summary)
{
    std::vector<Point> out;
    if (times.empty() || columns <= 0 || !(to > from))
        return out;
    std::size_t begin = lowerIndex(times, from);
    std::size_t end = upperIndex(times, to);
    if (begin > 0)
        --begin;
    if (end < times.size())
        ++end;
    out.reserve(4 * static_cast<std::size_t>(columns) + 8);

    const double width = (to - from) / columns;
    Column column;
    long current = std::numeric_limits<long>::min();
    bool broken = true; // nothing drawn yet: no break point needed
    constexpr std::size_t kBlock = Summary::kBlockSize;
    const auto columnOf = [&](std::size_t i) {
        return static_cast<long>(std::floor((static_cast<double>(times[i]) - from) / width));
    };
    for (std::size_t i = begin; i < end; ++i) {
        // A whole block inside one column, with nothing that breaks the
        // line, is taken by its figures.
        if (summary != nullptr && i % kBlock == 0 && i + kBlock <= end
            && i / kBlock < summary->blocks.size()) {
            const Block& b = summary->blocks[i / kBlock];
            const std::size_t last = i + kBlock - 1;
            if (!b.invalid && summary->longestStep[i / kBlock] <= gap
                && (i == begin || times[i] - times[i - 1] <= gap)
                && columnOf(i) == columnOf(last)) {
                if (columnOf(i) != current) {
                    column.Flush(times, values, out);
                    current = columnOf(i);
                }
                column.AddBlock(i, last, b);
                broken = false;
                i = last;
                continue;
            }
        }
        const float v = values[i];
        const bool stepTooLong = i > begin && times[i] - times[i - 1] > gap;
        if (std::isnan(v) || stepTooLong) {
            column.Flush(times, values, out);
            if (!broken) {
                out.push_back({ static_cast<double>(times[i]), kNaN });
                broken = true;
            }
            if (std::isnan(v))
                continue;
        }
        const auto c
            = static_cast<long>(std::floor((static_cast<double>(times[i]) - from) / width));
        if (c != current) {
            column.Flush(times, values, out);
            current = c;
        }
        column.Add(i, v);
        broken = false;
    }
    column.Flush(times, values, out);
    return out;
}

RangeStats Stats(const std::vector<std::int64_t>& times, const std::vector<float>& values,
    double from, double to, const Summary* summary)
{
    RangeStats s;
    double sum = 0;
    constexpr std::size_t kBlock = Summary::kBlockSize;
    const std::size_t end = upperIndex(times, to);
    for (std::size_t i = lowerIndex(times, from); i < end; ++i) {
        if (summary != nullptr && i % kBlock == 0 && i + kBlock <= end
            && i / kBlock < summary->blocks.size()) {
            const Block& b = summary->blocks[i / kBlock];
            if (b.count != 0) {
                if (s.count == 0 || b.minimum < s.minimum) {
                    s.minimum = b.minimum;
                    s.minimumTime = times[b.minimumIndex];
                }
                if (s.count == 0 || b.maximum > s.maximum) {
                    s.maximum = b.maximum;
                    s.maximumTime = times[b.maximumIndex];
                }
                sum += b.sum;
                s.count += b.count;
            }
            i += kBlock - 1;
            continue;
        }
        const float v = values[i];
        if (std::isnan(v))
            continue;
        if (s.count == 0 || v < s.minimum) {
            s.minimum = v;
            s.minimumTime = times[i];
        }
        if (s.count == 0 || v > s.maximum) {
            s.maximum = v;
            s.maximumTime = times[i];
        }
        sum += v;
        ++s.count;
    }
    if (s.count != 0)
        s.mean = sum / static_cast<double>(s.count);
    return s;
}

} // namespace chart
