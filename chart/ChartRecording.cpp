#include "chart/ChartRecording.h"

#include "recording/QmgReader.h"

#include <algorithm>
#include <cctype>

ChartRecording::ChartRecording(Kind kind)
    : kind_(kind)
{
}

ChartRecording::Kind ChartRecording::KindOf(std::string_view path)
{
    constexpr std::string_view kBinary = ".qmg";
    if (path.size() < kBinary.size())
        return Kind::Report;
    const std::string_view end = path.substr(path.size() - kBinary.size());
    const bool binary = std::equal(end.begin(), end.end(), kBinary.begin(),
        [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
    return binary ? Kind::Binary : Kind::Report;
}

void ChartRecording::Feed(std::string_view bytes)
{
    pending_.append(bytes);
    fed_ += bytes.size();
    if (kind_ == Kind::Binary)
        FeedBinary();
    else
        FeedReport();
}

void ChartRecording::Reset()
{
    series_.clear();
    pending_.clear();
    pendingOffset_ = 0;
    fed_ = 0;
    lastDamageEnd_ = 0;
    records_ = 0;
    damage_ = 0;
    stretches_.clear();
    lastTime_ = DamagedStretch::kNone;
    lastListed_ = false;
    awaitingRecord_ = false;
    parser_ = report::Parser();
}

void ChartRecording::KeepDewPoint(bool keep)
{
    keepDewPoint_ = keep;
    for (auto& [serial, series] : series_)
        series.KeepDewPoint(keep);
}

std::size_t ChartRecording::damaged() const
{
    return kind_ == Kind::Binary ? damage_ : parser_.badRows();
}

void ChartRecording::Add(const LocalTime& time, const Readings& readings)
{
    auto [it, added] = series_.try_emplace(readings.serialNumber);
    if (added) {
        it->second.KeepDewPoint(keepDewPoint_);
        // The shortest record or row: one quantity, no more.
        constexpr std::uint64_t kShortest = 32;
        if (expectedBytes_ != 0)
            it->second.Reserve(static_cast<std::size_t>(expectedBytes_ / kShortest + 1));
    }
    lastTime_ = WallSeconds(time);
    it->second.Append(lastTime_, readings);
    if (awaitingRecord_) {
        stretches_.back().before = lastTime_;
        awaitingRecord_ = false;
    }
    ++records_;
}

void ChartRecording::FeedBinary()
{
    qmg::Reader reader(pending_, pendingOffset_);
    for (;;) {
        const qmg::Reader::Step step = reader.Next();
        if (step == qmg::Reader::Step::Record) {
            Add(reader.record().time, reader.record().readings());
        } else if (step == qmg::Reader::Step::Damage) {
            // A stretch cut by the end of one piece goes on in the next.
            const qmg::Damage& d = reader.damage();
            if (d.offset != lastDamageEnd_ || damage_ == 0) {
                ++damage_;
                lastListed_ = stretches_.size() < DamagedStretch::kListed;
                if (lastListed_) {
                    stretches_.push_back({ d.offset, d.size, lastTime_, DamagedStretch::kNone });
                    awaitingRecord_ = true;
                }
            } else if (lastListed_) {
                stretches_.back().size += d.size;
            }
            lastDamageEnd_ = reader.damage().offset + reader.damage().size;
        } else {
            break;
        }
    }
    const auto taken = static_cast<std::size_t>(reader.position() - pendingOffset_);
    pending_.erase(0, taken);
    pendingOffset_ = reader.position();
}

void ChartRecording::FeedReport()
{
    struct Sink : report::Parser::Sink {
        ChartRecording* self;
        explicit Sink(ChartRecording* s)
            : self(s)
        {
        }
        void Row(const report::ParsedRow& row) override { self->Add(row.time, row.readings); }
    } sink(this);
    const std::size_t taken = parser_.Feed(pending_, sink);
    pending_.erase(0, taken);
    pendingOffset_ += taken;
}
