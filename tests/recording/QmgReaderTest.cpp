// Reading binary measurement files back: what the writer wrote, damage
// found at its offset with reading going on, and a record still being
// written left for later.
#include "recording/QmgReader.h"
#include "recording/BinaryRecord.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

struct Item {
    qmg::Reader::Step step;
    std::uint64_t offset;
    std::uint64_t size;
    bool operator==(const Item&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Item& i)
{
    return os << "{step " << static_cast<int>(i.step) << ", offset " << i.offset << ", size "
              << i.size << "}";
}

// Every step up to End or Incomplete (that one with the resume position).
std::vector<Item> steps(std::string_view stored, std::uint64_t offset = 0)
{
    qmg::Reader reader(stored, offset);
    std::vector<Item> out;
    for (;;) {
        const auto step = reader.Next();
        switch (step) {
        case qmg::Reader::Step::Record:
            out.push_back({ step, reader.record().offset, reader.record().size });
            break;
        case qmg::Reader::Step::Damage:
            out.push_back({ step, reader.damage().offset, reader.damage().size });
            break;
        case qmg::Reader::Step::Incomplete:
            out.push_back({ step, reader.position(), 0 });
            return out;
        case qmg::Reader::Step::End:
            EXPECT_EQ(reader.position(), offset + stored.size());
            return out;
        }
    }
}

Readings sample(int serial, double t, double rh, double p, int validMask)
{
    return { serial, { t, (validMask & 1) != 0 }, { rh, (validMask & 2) != 0 },
        { p, (validMask & 4) != 0 } };
}

// Five different records one after another, and where each starts.
std::string fiveRecords(std::vector<std::size_t>& starts)
{
    std::string file;
    for (int i = 0; i < 5; ++i) {
        starts.push_back(file.size());
        file += qmg::Record({ 2024, 2, 29, 23, 59, i }, sample(4660, 20.0 + i, 40.5, 990.1 - i, 7));
    }
    starts.push_back(file.size());
    return file;
}

constexpr auto kRecord = qmg::Reader::Step::Record;
constexpr auto kDamage = qmg::Reader::Step::Damage;
constexpr auto kIncomplete = qmg::Reader::Step::Incomplete;

} // namespace

TEST(QmgReader, ReadsBackWhatTheWriterWrote)
{
    const double values[] = { 0.0, -0.04, 0.05, -5.3, 21.55, 99.95, -40.0, 1013.25, 1200.0, -273.15,
        123456789.0, 1e15 };
    const int serials[] = { 1234, 0, -1, 1, INT_MAX, INT_MIN };
    std::string file;
    std::vector<std::pair<LocalTime, Readings>> written;
    int n = 0;
    for (double v : values) {
        for (int serial : serials) {
            for (int mask = 0; mask < 8; ++mask, ++n) {
                const LocalTime t { 1999 + n % 9000, 1 + n % 12, 1 + n % 31, n % 24, n % 60,
                    (n * 7) % 60 };
                const Readings r = sample(serial, v, 100.0 - v, 1000.0 + v, mask);
                written.emplace_back(t, r);
                file += qmg::Record(t, r);
            }
        }
    }

    qmg::Reader reader(file, 1000);
    std::uint64_t expectedOffset = 1000;
    for (const auto& [time, in] : written) {
        ASSERT_EQ(reader.Next(), kRecord) << "at " << expectedOffset;
        const qmg::ReadRecord& r = reader.record();
        EXPECT_EQ(r.offset, expectedOffset);
        expectedOffset += r.size;
        // Written again from what was read, the record is the same bytes:
        // the time, the serial number and each quantity with its code and
        // its value to one decimal.
        EXPECT_EQ(qmg::Record(r.time, r.readings()), qmg::Record(time, in));
        EXPECT_EQ(qmg::Record(time, in), file.substr(r.offset - 1000, r.size));
    }
    EXPECT_EQ(reader.Next(), qmg::Reader::Step::End);
    EXPECT_EQ(reader.position(), 1000 + file.size());
}

TEST(QmgReader, AnyChangedByteDamagesOnlyItsRecord)
{
    std::vector<std::size_t> s;
    const std::string file = fiveRecords(s);
    const std::size_t begin = s[2];
    const std::size_t length = s[3] - s[2];
    const std::vector<Item> expected = { { kRecord, s[0], s[1] - s[0] },
        { kRecord, s[1], s[2] - s[1] }, { kDamage, begin, length }, { kRecord, s[3], s[4] - s[3] },
        { kRecord, s[4], s[5] - s[4] } };
    for (std::size_t i = begin; i < begin + length; ++i) {
        // Neighbouring values, the top bit, and the stored marks and a digit.
        for (const int plain : { 1, 0x80, int { '$' }, int { '@' }, int { ',' }, int { '5' } }) {
            std::string damaged = file;
            const auto b = static_cast<unsigned char>(damaged[i]);
            const auto replacement = plain == 1 || plain == 0x80
                ? static_cast<unsigned char>(b ^ plain)
                : static_cast<unsigned char>(0x100 - plain);
            if (replacement == b)
                continue;
            damaged[i] = static_cast<char>(replacement);
            EXPECT_EQ(steps(damaged), expected) << "byte " << i << " made " << int(replacement);
        }
    }

    // A run of bad records and garbage is one stretch; a damaged first or
    // last record is found as well.
    std::string run = file;
    run[s[1] + 3] ^= 1;
    run[s[2] + 5] ^= 1;
    run[s[3] + 20] ^= 1;
    run.insert(s[2], "\x01\x02garbage");
    EXPECT_EQ(steps(run),
        (std::vector<Item> { { kRecord, 0, s[1] }, { kDamage, s[1], s[4] + 9 - s[1] },
            { kRecord, s[4] + 9, s[5] - s[4] } }));
    std::string ends = file;
    ends[0] ^= 1;
    ends[s[5] - 2] ^= 1;
    EXPECT_EQ(steps(ends),
        (std::vector<Item> { { kDamage, 0, s[1] }, { kRecord, s[1], s[2] - s[1] },
            { kRecord, s[2], s[3] - s[2] }, { kRecord, s[3], s[4] - s[3] },
            { kDamage, s[4], s[5] - s[4] } }));
}

TEST(QmgReader, ARecordStillBeingWrittenIsIncompleteAndReadOnceWhole)
{
    std::vector<std::size_t> s;
    std::string file = fiveRecords(s);
    file += qmg::Record({ 2024, 3, 1, 0, 0, 0 }, sample(0, 0, 0, 0, 0)); // no quantity: 18 bytes
    s.push_back(file.size());
    for (std::size_t last : { std::size_t { 4 }, std::size_t { 5 } }) {
        for (std::size_t cut = s[last] + 1; cut < s[last + 1]; ++cut) {
            // A follower has read the whole records so far ...
            const std::string_view grown(file.data(), cut);
            std::vector<Item> got = steps(grown);
            ASSERT_EQ(got.size(), last + 1) << "cut at " << cut;
            EXPECT_EQ(got.back(), (Item { kIncomplete, s[last], 0 })) << "cut at " << cut;
            // ... and goes on from where it stopped once the rest is there.
            const std::string_view rest = std::string_view(file).substr(s[last]);
            EXPECT_EQ(steps(rest.substr(0, s[last + 1] - s[last]), s[last]),
                (std::vector<Item> { { kRecord, s[last], s[last + 1] - s[last] } }));
        }
    }
    // Damage right before a record that is still being written.
    std::string tail = file.substr(0, s[6] - 1);
    tail[s[4] + 2] ^= 1;
    EXPECT_EQ(steps(std::string_view(tail).substr(s[4]), s[4]),
        (std::vector<Item> { { kDamage, s[4], s[5] - s[4] }, { kIncomplete, s[5], 0 } }));
    // A record cut short by a crash, then the next run's first record (one
    // without commas): damage and a record, not a record being written.
    const std::string crashed = file.substr(s[4], 30) + file.substr(s[5]);
    EXPECT_EQ(steps(crashed, s[4]),
        (std::vector<Item> { { kDamage, s[4], 30 }, { kRecord, s[4] + 30, s[6] - s[5] } }));
}
