#pragma once

#include "chart/ChartSeries.h"
#include "chart/FollowedContent.h"
#include "recording/ReportParser.h"

#include <cstdint>
#include <limits>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// A recording being read into chart series, one per serial number: a binary
// measurement file or a text report, fed whole or piece by piece as it
// grows. Damage is counted and skipped, never fatal.
class ChartRecording : public FollowedContent {
public:
    enum class Kind { Binary, Report };

    explicit ChartRecording(Kind kind);
    // By the name's ending: ".qmg" is binary, anything else a report.
    static Kind KindOf(std::string_view path);

    // The bytes that follow those fed so far. Keeps an unfinished record or
    // line until the rest arrives.
    void Feed(std::string_view bytes) override;
    // Back to an empty recording, as for a file that was emptied or replaced.
    void Reset() override;
    // The size of the file about to be fed, so a meter's series takes room
    // for as many records as it could hold at once.
    void ExpectBytes(std::uint64_t bytes) { expectedBytes_ = bytes; }
    // The dew point column in every series, those still to come included.
    void KeepDewPoint(bool keep);

    Kind kind() const { return kind_; }
    const std::map<int, ChartSeries>& series() const { return series_; }
    std::map<int, ChartSeries>& series() { return series_; }
    std::size_t records() const { return records_; }
    // Damaged stretches of a binary file, unreadable rows of a report.
    std::size_t damaged() const;
    // Where the damaged stretches of a binary file are: the first kListed
    // of them, with the times of the records on either side.
    struct DamagedStretch {
        static constexpr std::int64_t kNone = std::numeric_limits<std::int64_t>::min();
        static constexpr std::size_t kListed = 500;
        std::uint64_t offset = 0;
        std::uint64_t size = 0;
        std::int64_t after = kNone; // wall time of the record before
        std::int64_t before = kNone; // of the record after
    };
    const std::vector<DamagedStretch>& damagedStretches() const { return stretches_; }
    // Bytes taken from the file so far, the unfinished tail included.
    std::uint64_t fed() const override { return fed_; }

private:
    void Add(const LocalTime& time, const Readings& readings);
    void FeedBinary();
    void FeedReport();

    Kind kind_;
    std::map<int, ChartSeries> series_;
    std::string pending_; // bytes not yet taken, from file offset pendingOffset_
    std::uint64_t pendingOffset_ = 0;
    std::uint64_t fed_ = 0;
    std::uint64_t lastDamageEnd_ = 0;
    std::size_t records_ = 0;
    std::size_t damage_ = 0;
    std::vector<DamagedStretch> stretches_;
    std::int64_t lastTime_ = DamagedStretch::kNone;
    bool lastListed_ = false; // the latest stretch is stretches_.back()
    bool awaitingRecord_ = false; // stretches_.back() has no record after it yet
    bool keepDewPoint_ = false;
    std::uint64_t expectedBytes_ = 0;
    report::Parser parser_;
};
