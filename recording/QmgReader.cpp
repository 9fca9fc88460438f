#include "recording/QmgReader.h"

#include "recording/BinaryRecord.h"

#include <charconv>
#include <cstring>

namespace qmg {

namespace {

constexpr std::size_t kStampDigits = 14;
constexpr unsigned char kStoredDollar = 0x100 - '$';
// "%.1f" of the largest double: '-', 309 digits, '.', one decimal.
constexpr std::size_t kMaxValueText = 312;
constexpr std::size_t kMaxSerialText = 11; // "-2147483648"

unsigned char plain(unsigned char stored)
{
    return static_cast<unsigned char>(0x100 - stored);
}

bool isDigit(unsigned char c)
{
    return static_cast<unsigned char>(c - '0') < 10;
}

enum class Parse { Good, Bad, Short };

// Walks the plain bytes of one record, summing them for the check bytes.
class Cursor {
public:
    Cursor(const unsigned char* stored, std::size_t size)
        : p_(stored)
        , n_(size)
    {
    }

    bool atEnd() const { return i_ >= n_; }
    unsigned char peek() const { return plain(p_[i_]); }
    void take(unsigned char c)
    {
        sum_ += c;
        ++i_;
    }
    std::size_t index() const { return i_; }
    std::uint32_t sum() const { return sum_; }

    Parse literal(std::string_view want)
    {
        for (const char w : want) {
            if (atEnd())
                return Parse::Short;
            const unsigned char c = peek();
            if (c != static_cast<unsigned char>(w))
                return Parse::Bad;
            take(c);
        }
        return Parse::Good;
    }

    // The plain text up to the next ',' (taken, not copied). Longer than
    // `cap` is no field the writer makes.
    Parse field(char* text, std::size_t cap, std::size_t& length)
    {
        length = 0;
        for (;;) {
            if (atEnd())
                return Parse::Short;
            const unsigned char c = peek();
            take(c);
            if (c == ',')
                return length == 0 ? Parse::Bad : Parse::Good;
            // Only number bytes: a record cut short by a crash meets the
            // next record's '$' here and is bad at once, not waiting for more.
            if (length == cap || !(isDigit(c) || c == '-' || c == '.'))
                return Parse::Bad;
            text[length++] = static_cast<char>(c);
        }
    }

private:
    const unsigned char* p_;
    std::size_t n_;
    std::size_t i_ = 0;
    std::uint32_t sum_ = 0;
};

// "%d" and "%.1f" texts exactly as printf writes them: no '+', no leading
// zeros, no "-0"; so a good record is exactly what the writer makes of it.
bool canonicalInteger(const char* s, std::size_t n)
{
    std::size_t i = (n > 0 && s[0] == '-') ? 1 : 0;
    if (i == n || !isDigit(static_cast<unsigned char>(s[i])))
        return false;
    if (s[i] == '0')
        return n == i + 1 && i == 0;
    for (; i < n; ++i)
        if (!isDigit(static_cast<unsigned char>(s[i])))
            return false;
    return true;
}

bool canonicalOneDecimal(const char* s, std::size_t n)
{
    if (n < 3 || s[n - 2] != '.' || !isDigit(static_cast<unsigned char>(s[n - 1])))
        return false;
    const std::size_t i = s[0] == '-' ? 1 : 0;
    const std::size_t whole = n - 2;
    if (whole == i)
        return false;
    if (s[i] == '0' && whole != i + 1)
        return false;
    for (std::size_t k = i; k < whole; ++k)
        if (!isDigit(static_cast<unsigned char>(s[k])))
            return false;
    return true;
}

int twoDigits(const unsigned char* d)
{
    return (d[0] - '0') * 10 + (d[1] - '0');
}

Parse group(Cursor& c, ReadRecord& out)
{
    if (Parse r = c.literal("19,"); r != Parse::Good)
        return r;

    char text[kMaxValueText];
    std::size_t n = 0;
    if (Parse r = c.field(text, kMaxSerialText, n); r != Parse::Good)
        return r;
    int serial = 0;
    if (!canonicalInteger(text, n) || std::from_chars(text, text + n, serial).ptr != text + n)
        return Parse::Bad;
    if (out.count > 0 && serial != out.serialNumber)
        return Parse::Bad; // one record, one meter

    if (Parse r = c.field(text, 2, n); r != Parse::Good)
        return r;
    const int code = n == 2 && text[0] == '2' ? 20 + (text[1] - '0') : 0;
    const int previous = out.count > 0 ? out.samples[out.count - 1].code : kTemperature - 1;
    if (code <= previous || code > kPressure)
        return Parse::Bad;

    if (Parse r = c.field(text, kMaxValueText, n); r != Parse::Good)
        return r;
    double value = 0;
    if (!canonicalOneDecimal(text, n)
        || std::from_chars(text, text + n, value, std::chars_format::fixed).ptr != text + n)
        return Parse::Bad;

    if (Parse r = c.literal("1$"); r != Parse::Good)
        return r;
    out.serialNumber = serial;
    out.samples[out.count++] = Sample { code, value };
    return Parse::Good;
}

} // namespace

const Sample* ReadRecord::find(int code) const
{
    for (int i = 0; i < count; ++i)
        if (samples[i].code == code)
            return &samples[i];
    return nullptr;
}

Readings ReadRecord::readings() const
{
    Readings r;
    r.serialNumber = serialNumber;
    for (int i = 0; i < count; ++i) {
        RecordedQuantity& q = samples[i].code == kTemperature ? r.temperature
            : samples[i].code == kHumidity                    ? r.humidity
                                                              : r.pressure;
        q.value = samples[i].value;
        q.valid = true;
    }
    return r;
}

Reader::Reader(std::string_view stored, std::uint64_t offset)
    : data_(reinterpret_cast<const unsigned char*>(stored.data()))
    , size_(stored.size())
    , offset_(offset)
{
}

namespace {

// One record at `start`: Good, Bad, or Short when the bytes end before it does.
Parse parseAt(const unsigned char* data, std::size_t size, std::size_t start, ReadRecord& out)
{
    Cursor c(data + start, size - start);
    unsigned char stamp[kStampDigits];
    for (unsigned char& d : stamp) {
        if (c.atEnd())
            return Parse::Short;
        d = c.peek();
        if (!isDigit(d))
            return Parse::Bad;
        c.take(d);
    }
    if (Parse r = c.literal("$"); r != Parse::Good)
        return r;
    out.time.year = twoDigits(stamp) * 100 + twoDigits(stamp + 2);
    out.time.month = twoDigits(stamp + 4);
    out.time.day = twoDigits(stamp + 6);
    out.time.hour = twoDigits(stamp + 8);
    out.time.minute = twoDigits(stamp + 10);
    out.time.second = twoDigits(stamp + 12);
    out.serialNumber = 0;
    out.count = 0;

    // Groups until the trailer's '@', which no group holds.
    for (;;) {
        if (c.atEnd())
            return Parse::Short;
        if (c.peek() == '@')
            break;
        if (out.count == static_cast<int>(out.samples.size()))
            return Parse::Bad;
        if (Parse r = group(c, out); r != Parse::Good)
            return r;
    }

    const std::size_t at = c.index();
    if (size - start < at + 3)
        return Parse::Short;
    const std::uint32_t sum = c.sum();
    if (plain(data[start + at + 1]) != sum % 253 + 1
        || plain(data[start + at + 2]) != sum % 251 + 1)
        return Parse::Bad;
    out.size = at + 3;
    return Parse::Good;
}

// The first place after `from` where a record starts, or may be starting
// at the end; size when none.
std::size_t nextStartAfter(const unsigned char* data, std::size_t size, std::size_t from)
{
    // A record starts with 14 digits and '$'; elsewhere a '$' closes a
    // group and follows a one-digit field, so look for the '$' first.
    std::size_t i = from + 1 + kStampDigits;
    while (i < size) {
        const void* hit = std::memchr(data + i, kStoredDollar, size - i);
        if (hit == nullptr)
            break;
        const std::size_t dollar = static_cast<const unsigned char*>(hit) - data;
        std::size_t k = 1;
        while (k <= kStampDigits && isDigit(plain(data[dollar - k])))
            ++k;
        if (k > kStampDigits)
            return dollar - kStampDigits;
        // The '$' of a start lies at least 15 bytes past that non-digit.
        i = dollar - k + kStampDigits + 1;
    }
    // Up to 14 digits at the very end may be the first bytes of a record
    // still being written.
    std::size_t tail = size;
    while (tail > from + 1 && size - tail < kStampDigits && isDigit(plain(data[tail - 1])))
        --tail;
    return tail;
}

} // namespace

Reader::Step Reader::Next()
{
    if (pos_ >= size_)
        return Step::End;
    switch (parseAt(data_, size_, pos_, record_)) {
    case Parse::Good:
        record_.offset = offset_ + pos_;
        pos_ += record_.size;
        return Step::Record;
    case Parse::Short:
        return Step::Incomplete;
    case Parse::Bad:
        break;
    }
    // One stretch up to the next record that reads right, or that may yet
    // be completed, so a run of bad records is reported once.
    const std::size_t from = pos_;
    std::size_t at = from;
    ReadRecord scratch;
    do
        at = nextStartAfter(data_, size_, at);
    while (at < size_ && parseAt(data_, size_, at, scratch) == Parse::Bad);
    damage_ = Damage { offset_ + from, at - from };
    pos_ = at;
    return Step::Damage;
}

} // namespace qmg
