#include "chart/ChartSeries.h"

#include "alarms/DewPoint.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <optional>

namespace {

float stored(const RecordedQuantity& q)
{
    return q.valid ? static_cast<float>(q.value) : std::numeric_limits<float>::quiet_NaN();
}

float dewPointOf(float temperature, float humidity)
{
    // DewPoint refuses a value that is not a number.
    const std::optional<double> d = DewPoint(temperature, humidity);
    return d ? static_cast<float>(*d) : std::numeric_limits<float>::quiet_NaN();
}

// Days since 1970-01-01 of a proleptic Gregorian date.
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

} // namespace

void ChartSeries::Append(std::int64_t time, const Readings& readings)
{
    if (!time_.empty() && time < time_.back())
        sorted_ = false;
    const std::int64_t step = time_.empty() ? 0 : time - time_.back();
    time_.push_back(time);
    value_[0].push_back(stored(readings.temperature));
    value_[1].push_back(stored(readings.humidity));
    value_[2].push_back(stored(readings.pressure));
    if (keepDewPoint_)
        value_[kDewPoint].push_back(dewPointOf(value_[0].back(), value_[1].back()));
    for (int q = 0; q < columns(); ++q)
        summary_[q].Add(time_.size() - 1, step, value_[q].back());
}

void ChartSeries::Reserve(std::size_t records)
{
    time_.reserve(records);
    for (int q = 0; q < columns(); ++q)
        value_[q].reserve(records);
}

void ChartSeries::KeepDewPoint(bool keep)
{
    if (keep == keepDewPoint_)
        return;
    keepDewPoint_ = keep;
    auto& column = value_[kDewPoint];
    chart::Summary& summary = summary_[kDewPoint];
    column.clear();
    summary.Clear();
    if (!keep) {
        column.shrink_to_fit();
        summary.blocks.shrink_to_fit();
        summary.longestStep.shrink_to_fit();
        return;
    }
    column.reserve(time_.size());
    for (std::size_t i = 0; i < time_.size(); ++i) {
        column.push_back(dewPointOf(value_[0][i], value_[1][i]));
        summary.Add(i, i == 0 ? 0 : time_[i] - time_[i - 1], column.back());
    }
}

void ChartSeries::Clear()
{
    time_.clear();
    for (auto& v : value_)
        v.clear();
    for (auto& s : summary_)
        s.Clear();
    sorted_ = true;
}

void ChartSeries::SortIfNeeded()
{
    if (sorted_)
        return;
    std::vector<std::uint32_t> order(time_.size());
    std::iota(order.begin(), order.end(), 0U);
    std::stable_sort(order.begin(), order.end(),
        [this](std::uint32_t a, std::uint32_t b) { return time_[a] < time_[b]; });
    const auto permute = [&order](auto& column) {
        auto copy = column;
        for (std::size_t i = 0; i < order.size(); ++i)
            column[i] = copy[order[i]];
    };
    permute(time_);
    for (int q = 0; q < columns(); ++q)
        permute(value_[q]);
    for (int q = 0; q < columns(); ++q) {
        summary_[q].Clear();
        for (std::size_t i = 0; i < time_.size(); ++i)
            summary_[q].Add(i, i == 0 ? 0 : time_[i] - time_[i - 1], value_[q][i]);
    }
    sorted_ = true;
}

std::int64_t ChartSeries::gapThreshold() const
{
    // The median step of the latest records stands for the interval.
    constexpr std::size_t kSample = 257;
    constexpr std::int64_t kMinimum = 3;
    std::vector<std::int64_t> steps;
    const std::size_t from = time_.size() > kSample ? time_.size() - kSample : 0;
    for (std::size_t i = from + 1; i < time_.size(); ++i)
        if (time_[i] > time_[i - 1])
            steps.push_back(time_[i] - time_[i - 1]);
    if (steps.empty())
        return kMinimum;
    auto middle = steps.begin() + static_cast<std::ptrdiff_t>(steps.size() / 2);
    std::nth_element(steps.begin(), middle, steps.end());
    return std::max(kMinimum, 3 * *middle);
}

std::int64_t WallSeconds(const LocalTime& t)
{
    return daysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day))
        * 86400
        + t.hour * 3600 + t.minute * 60 + t.second;
}

LocalTime FromWallSeconds(std::int64_t s)
{
    std::int64_t days = s / 86400;
    std::int64_t rest = s % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    // Inverse of daysFromCivil.
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto doe = static_cast<unsigned>(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    LocalTime t;
    t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    t.year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (t.month <= 2 ? 1 : 0));
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>(rest / 60 % 60);
    t.second = static_cast<int>(rest % 60);
    return t;
}
