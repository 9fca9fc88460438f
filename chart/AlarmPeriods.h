#pragma once

#include "alarms/AlarmRules.h"
#include "chart/FollowedContent.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The alarm log as spans of time in which each alarm was on, for shading
// the plots. Times are wall-clock seconds (WallSeconds), as on the chart.
struct AlarmPeriod {
    AlarmKind kind = AlarmKind::TemperatureHigh;
    long serialNumber = 0;
    std::int64_t begin = 0;
    std::int64_t end = 0;
    bool open = false; // no end in the log: it runs to the log's end
    bool operator==(const AlarmPeriod&) const = default;
};

// The log read as it grows. Keeps what a period needs of each line, so a
// long log costs 24 bytes a line; damaged lines are counted and skipped.
class AlarmLogReading : public FollowedContent {
public:
    void Feed(std::string_view bytes) override;
    void Reset() override;
    std::uint64_t fed() const override { return fed_; }

    std::size_t entries() const { return entries_.size(); }
    std::size_t damaged() const { return damaged_; }

    // Begin … end of one alarm of one meter, in the order they began. Only
    // the entries of `serialNumber` when given. A begin without its end runs
    // to the latest time in the log; a second begin of an alarm already on
    // goes on with the first; an end without a begin and acknowledgements
    // change nothing. A last line without its line end counts if it reads.
    std::vector<AlarmPeriod> Periods(std::optional<long> serialNumber) const;

private:
    struct Entry {
        std::int64_t time;
        long serialNumber;
        AlarmKind kind;
        AlarmEventType type;
    };
    static std::optional<Entry> Read(std::string_view line);
    void Take(std::string_view line);

    std::vector<Entry> entries_;
    std::string pending_; // an unfinished last line
    bool skipping_ = false; // within a line too long to be one
    std::uint64_t fed_ = 0;
    std::size_t damaged_ = 0;
};

// The periods of a whole log's text.
std::vector<AlarmPeriod> AlarmPeriodsOfLog(
    std::string_view log, std::optional<long> serialNumber = std::nullopt);

namespace chart {

// Spans [begin, end] as drawn over [from, to] with pixels `pixel` wide:
// clipped to the range, each at least a pixel wide so a short alarm stays
// visible, and those less than a pixel apart merged, so a zoomed-out view
// of thousands of alarms costs at most one band a pixel pair.
std::vector<std::pair<double, double>> VisibleBands(
    std::vector<std::pair<double, double>> spans, double from, double to, double pixel);

} // namespace chart
