#include "chart/AlarmPeriods.h"

#include "alarms/AlarmLog.h"
#include "chart/ChartSeries.h"

#include <algorithm>
#include <map>

namespace {

// Far beyond the longest line the program writes; more is not a log.
constexpr std::size_t kLongestLine = 512;

} // namespace

std::optional<AlarmLogReading::Entry> AlarmLogReading::Read(std::string_view line)
{
    const std::optional<AlarmLogEntry> e = ParseAlarmLogLine(line);
    if (!e)
        return std::nullopt;
    return Entry { WallSeconds(e->time), e->serialNumber, e->kind, e->type };
}

void AlarmLogReading::Take(std::string_view line)
{
    if (const std::optional<Entry> e = Read(line))
        entries_.push_back(*e);
    else if (!line.empty() && line != "\n" && line != "\r\n")
        ++damaged_;
}

void AlarmLogReading::Feed(std::string_view bytes)
{
    fed_ += bytes.size();
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        const std::string_view piece = bytes.substr(0, end == bytes.npos ? bytes.size() : end + 1);
        bytes.remove_prefix(piece.size());
        const bool whole = piece.back() == '\n';
        if (skipping_) {
            skipping_ = !whole;
            continue;
        }
        if (pending_.size() + piece.size() > kLongestLine) {
            ++damaged_;
            pending_.clear();
            skipping_ = !whole;
            continue;
        }
        if (!whole) {
            pending_.append(piece);
        } else if (pending_.empty()) {
            Take(piece);
        } else {
            pending_.append(piece);
            Take(pending_);
            pending_.clear();
        }
    }
}

void AlarmLogReading::Reset()
{
    entries_.clear();
    pending_.clear();
    skipping_ = false;
    fed_ = 0;
    damaged_ = 0;
}

std::vector<AlarmPeriod> AlarmLogReading::Periods(std::optional<long> serialNumber) const
{
    std::vector<Entry> all = entries_;
    if (!skipping_ && !pending_.empty())
        if (const std::optional<Entry> tail = Read(pending_))
            all.push_back(*tail);
    std::vector<AlarmPeriod> periods;
    if (all.empty())
        return periods;
    // Each alarm's current period, by meter and kind.
    std::map<std::pair<long, AlarmKind>, std::size_t> on;
    std::int64_t logEnd = all.front().time;
    for (const Entry& e : all) {
        logEnd = std::max(logEnd, e.time);
        if (serialNumber && e.serialNumber != *serialNumber)
            continue;
        const auto key = std::make_pair(e.serialNumber, e.kind);
        const auto it = on.find(key);
        if (e.type == AlarmEventType::Begin && it == on.end()) {
            on.emplace(key, periods.size());
            periods.push_back({ e.kind, e.serialNumber, e.time, e.time, true });
        } else if (e.type == AlarmEventType::End && it != on.end()) {
            AlarmPeriod& p = periods[it->second];
            // A clock set back between the two must not turn the span over.
            p.end = std::max(p.begin, e.time);
            p.open = false;
            on.erase(it);
        }
    }
    for (const auto& [key, index] : on)
        periods[index].end = std::max(periods[index].begin, logEnd);
    return periods;
}

std::vector<AlarmPeriod> AlarmPeriodsOfLog(std::string_view log, std::optional<long> serialNumber)
{
    AlarmLogReading reading;
    reading.Feed(log);
    return reading.Periods(serialNumber);
}

namespace chart {

std::vector<std::pair<double, double>> VisibleBands(
    std::vector<std::pair<double, double>> spans, double from, double to, double pixel)
{
    std::vector<std::pair<double, double>> bands;
    if (!(to > from) || !(pixel > 0))
        return bands;
    std::sort(spans.begin(), spans.end());
    for (auto [begin, end] : spans) {
        if (end < begin)
            std::swap(begin, end);
        if (end - begin < pixel) {
            const double middle = (begin + end) / 2;
            begin = middle - pixel / 2;
            end = middle + pixel / 2;
        }
        if (end < from || begin > to)
            continue;
        begin = std::max(begin, from);
        end = std::min(end, to);
        if (!bands.empty() && begin <= bands.back().second + pixel) {
            bands.back().first = std::min(bands.back().first, begin);
            bands.back().second = std::max(bands.back().second, end);
        } else {
            bands.emplace_back(begin, end);
        }
    }
    return bands;
}

} // namespace chart
