#include "recording/ReportParser.h"

#include <charconv>

namespace report {

namespace {

constexpr std::string_view kDateTitle = "Data i Godzina";
constexpr std::string_view kSerialLine = "QM-482 nr ";
constexpr std::size_t kDateLength = 19; // "2009.10.05 12:30:00"

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

bool digits(std::string_view text, std::size_t at, std::size_t count, int& value)
{
    value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

bool parseValue(std::string_view text, RecordedQuantity& q)
{
    if (text == "???") {
        q = {};
        return true;
    }
    // The writer uses "%.01f": a "." whatever the locale, so from_chars,
    // which ignores the locale, reads it exactly.
    const char* end = text.data() + text.size();
    double value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
    if (ec != std::errc() || ptr != end || text.empty())
        return false;
    q.value = value;
    q.valid = true;
    return true;
}

} // namespace

bool ParseRowTime(std::string_view text, LocalTime& t)
{
    if (text.size() < kDateLength || text[4] != '.' || text[7] != '.' || text[10] != ' '
        || text[13] != ':' || text[16] != ':')
        return false;
    return digits(text, 0, 4, t.year) && digits(text, 5, 2, t.month) && digits(text, 8, 2, t.day)
        && digits(text, 11, 2, t.hour) && digits(text, 14, 2, t.minute)
        && digits(text, 17, 2, t.second) && t.month >= 1 && t.month <= 12 && t.day >= 1
        && t.day <= 31 && t.hour <= 23 && t.minute <= 59 && t.second <= 60;
}

std::size_t Parser::Feed(std::string_view bytes, Sink& sink)
{
    std::size_t taken = 0;
    while (taken < bytes.size()) {
        const std::size_t end = bytes.find('\n', taken);
        if (end == std::string_view::npos)
            break;
        std::string_view text = bytes.substr(taken, end - taken);
        if (!text.empty() && text.back() == '\r')
            text.remove_suffix(1);
        line(text, sink);
        taken = end + 1;
    }
    return taken;
}

void Parser::line(std::string_view text, Sink& sink)
{
    if (startsWith(text, kDateTitle)) {
        if (header(text))
            return;
    }
    if (startsWith(text, kSerialLine)) {
        int number = 0;
        const std::string_view rest = text.substr(kSerialLine.size());
        const auto [ptr, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), number);
        serialNumber_ = (ec == std::errc() && ptr == rest.data() + rest.size()) ? number : 0;
        return;
    }
    LocalTime time;
    if (ParseRowTime(text, time)) {
        // A comment may begin with a date too; a row goes on with the
        // separator or ends right after the date.
        if (text.size() == kDateLength || text[kDateLength] == separator_
            || text[kDateLength] == '\t' || text[kDateLength] == ',' || text[kDateLength] == ';') {
            dataRow(text, time, sink);
            return;
        }
    }
    // Anything else is a comment line: the user's text, an empty line.
}

bool Parser::header(std::string_view text)
{
    // "Data i Godzina" alone, or followed by the separator and one to three
    // titles. The titles are told apart by their first letters, which are
    // the same in Windows-1250 and UTF-8.
    if (text.size() == kDateTitle.size()) {
        haveHeader_ = true;
        columnCount_ = 0;
        return true;
    }
    const char sep = text[kDateTitle.size()];
    if (sep != '\t' && sep != ',' && sep != ';')
        return false;
    int count = 0;
    Quantity columns[kMaxColumns] = {};
    std::size_t at = kDateTitle.size();
    while (at < text.size() && text[at] == sep) {
        const std::size_t next = text.find(sep, at + 1);
        const std::string_view title = text.substr(
            at + 1, next == std::string_view::npos ? std::string_view::npos : next - at - 1);
        if (count == kMaxColumns)
            return false;
        if (startsWith(title, "Temperatura"))
            columns[count++] = kTemperature;
        else if (startsWith(title, "Wilgotno"))
            columns[count++] = kHumidity;
        else if (startsWith(title, "Ci"))
            columns[count++] = kPressure;
        else
            return false;
        at = next == std::string_view::npos ? text.size() : next;
    }
    haveHeader_ = true;
    separator_ = sep;
    columnCount_ = count;
    for (int i = 0; i < count; ++i)
        columns_[i] = columns[i];
    return true;
}

void Parser::dataRow(std::string_view text, const LocalTime& time, Sink& sink)
{
    ParsedRow row;
    row.time = time;
    row.readings.serialNumber = serialNumber_;
    if (!haveHeader_) {
        ++badRows_;
        return;
    }
    // With no column the row is the date and one separator.
    std::string_view rest = text.substr(kDateLength);
    if (columnCount_ == 0) {
        if (rest.size() > 1)
            ++badRows_;
        else
            sink.Row(row);
        return;
    }
    if (rest.empty() || rest[0] != separator_) {
        ++badRows_;
        return;
    }
    rest.remove_prefix(1);
    for (int i = 0; i < columnCount_; ++i) {
        const std::size_t next = rest.find(separator_);
        const bool last = i + 1 == columnCount_;
        if (last != (next == std::string_view::npos)) {
            ++badRows_;
            return;
        }
        RecordedQuantity* q = columns_[i] == kTemperature ? &row.readings.temperature
            : columns_[i] == kHumidity                    ? &row.readings.humidity
                                                          : &row.readings.pressure;
        if (!parseValue(rest.substr(0, next), *q)) {
            ++badRows_;
            return;
        }
        rest = last ? std::string_view() : rest.substr(next + 1);
    }
    sink.Row(row);
}

} // namespace report
