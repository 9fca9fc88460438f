// Any bytes through the report reader: it takes only whole lines, never more
// than it was given, and a file read as it grew (a first part, then the rest
// from where the reader stopped) gives the same rows as one reading of all.
#include "recording/ReportParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

struct Rows : report::Parser::Sink {
    std::vector<report::ParsedRow> rows;
    void Row(const report::ParsedRow& row) override { rows.push_back(row); }
};

bool same(const report::ParsedRow& a, const report::ParsedRow& b)
{
    auto q = [](const RecordedQuantity& x, const RecordedQuantity& y) {
        return x.valid == y.valid
            && (!x.valid || std::memcmp(&x.value, &y.value, sizeof x.value) == 0);
    };
    return std::memcmp(&a.time, &b.time, sizeof a.time) == 0
        && a.readings.serialNumber == b.readings.serialNumber
        && q(a.readings.temperature, b.readings.temperature)
        && q(a.readings.humidity, b.readings.humidity)
        && q(a.readings.pressure, b.readings.pressure);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    const std::string_view data(reinterpret_cast<const char*>(bytes), size);
    report::Parser whole;
    Rows all;
    const std::size_t taken = whole.Feed(data, all);
    check(taken <= size);
    // What is left is one line not yet ended.
    check(data.substr(taken).find('\n') == std::string_view::npos);

    const std::size_t cut = size == 0 ? 0 : (bytes[0] * 257U + bytes[size - 1]) % (size + 1);
    report::Parser growing;
    Rows followed;
    const std::size_t first = growing.Feed(data.substr(0, cut), followed);
    check(first <= cut);
    const std::size_t second = growing.Feed(data.substr(first), followed);
    check(first + second == taken);
    check(growing.badRows() == whole.badRows());
    check(followed.rows.size() == all.rows.size());
    for (std::size_t i = 0; i < all.rows.size(); ++i)
        check(same(followed.rows[i], all.rows[i]));
    return 0;
}
