#include "recording/ChartDecimation.h"

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

std::vector<Point> Decimate(const std::vector<std::int64_t>& times,
    const std::vector<float>& values, double from, double to, int columns, std::int64_t gap)
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
    for (std::size_t i = begin; i < end; ++i) {
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
    double from, double to)
{
    RangeStats s;
    double sum = 0;
    const std::size_t end = upperIndex(times, to);
    for (std::size_t i = lowerIndex(times, from); i < end; ++i) {
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
