#pragma once

#include "recording/Readings.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

// Reads binary measurement files back: the stored bytes of any length, from
// any offset, never trusting them. A follower of a growing file calls it
// again from position() when more bytes have arrived.
namespace qmg {

struct Sample {
    int code = 0; // 25 temperature, 26 humidity, 27 pressure
    double value = 0;
};

// One record whose layout and check bytes are right.
struct ReadRecord {
    std::uint64_t offset = 0; // in the file
    std::size_t size = 0; // stored bytes, trailer included
    LocalTime time;
    int serialNumber = 0; // 0 when the record holds no quantity
    int count = 0; // samples used, in the order of their codes
    std::array<Sample, 3> samples;

    const Sample* find(int code) const;
    // Back into what the writer was given (values rounded to 0.1).
    Readings readings() const;
};

// Bytes that are no record: from the first bad byte up to the next record
// that reads right (or up to where a record may yet start, at the end).
struct Damage {
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
};

class Reader {
public:
    enum class Step {
        Record, // record() holds the next record
        Damage, // damage() holds the next damaged stretch
        Incomplete, // the bytes from position() on begin a record not yet whole
        End, // every byte is handled
    };

    // `stored` are the file's bytes as stored, starting at file offset
    // `offset`; they must outlive the reader.
    explicit Reader(std::string_view stored, std::uint64_t offset = 0);

    Step Next();

    const ReadRecord& record() const { return record_; }
    const Damage& damage() const { return damage_; }
    // File offset up to which every byte is handled: where to go on from
    // once more bytes are there.
    std::uint64_t position() const { return offset_ + pos_; }

private:
    const unsigned char* data_;
    std::size_t size_;
    std::uint64_t offset_;
    std::size_t pos_ = 0;
    ReadRecord record_;
    Damage damage_;
};

} // namespace qmg
