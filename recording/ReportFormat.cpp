#include "recording/ReportFormat.h"

#include "common/ValueFormat.h"
#include "platform/Cp1250.h"

#include <cstdio>

namespace report {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

// The titles as the file holds them, in Windows-1250.
constexpr std::string_view kDateTitle = "Data i Godzina";
constexpr std::string_view kTemperatureTitle = "Temperatura \xB0"
                                               "C";
constexpr std::string_view kHumidityTitle = "Wilgotno\x9C\xE6 %";
constexpr std::string_view kPressureTitle = "Ci\x9Cnienie hPa";

char separator(int format)
{
    switch (format) {
    case 1:
        return ',';
    case 2:
        return ';';
    default:
        // 0, and anything a hand-edited settings file holds.
        return '\t';
    }
}

// Only ever compared for equality. Unsigned arithmetic: hand-edited flags
// may be any integer, and the code must not overflow.
int columnCode(const RecordingSettings& s)
{
    return static_cast<int>(16U * static_cast<unsigned>(s.columnTemperature)
        + 4U * static_cast<unsigned>(s.columnHumidity)
        + 2U * static_cast<unsigned>(s.columnPressure));
}

void appendValue(std::string& out, const RecordedQuantity& q)
{
    out += q.valid ? FormatFixed(q.value, 1) : "???";
}

} // namespace

std::string Row(const RecordingSettings& settings, const LocalTime& time, const Readings& readings,
    int& writtenColumns)
{
    const char sep = separator(settings.separatorFormat);
    std::string out;

    const int code = columnCode(settings);
    if (code != writtenColumns) {
        writtenColumns = code;
        out += kDateTitle;
        if (settings.columnTemperature != 0)
            (out += sep) += kTemperatureTitle;
        if (settings.columnHumidity != 0)
            (out += sep) += kHumidityTitle;
        if (settings.columnPressure != 0)
            (out += sep) += kPressureTitle;
        out += kLineEnd;
    }

    // Wide enough for any int in every field, so nothing is ever cut.
    char date[96];
    std::snprintf(date, sizeof date, "%04d.%02d.%02d %02d:%02d:%02d", time.year, time.month,
        time.day, time.hour, time.minute, time.second);
    out += date;
    out += sep;

    // The separator goes between values only; with no column the row ends
    // right after the one separator that follows the date.
    bool first = true;
    const auto column = [&](int present, const RecordedQuantity& q) {
        if (present == 0)
            return;
        if (!first)
            out += sep;
        first = false;
        appendValue(out, q);
    };
    column(settings.columnTemperature, readings.temperature);
    column(settings.columnHumidity, readings.humidity);
    column(settings.columnPressure, readings.pressure);
    out += kLineEnd;
    return out;
}

std::string CommentBlock(
    bool appended, std::string_view commentUtf8, bool withSerialNumber, int serialNumber)
{
    std::string out;
    if (appended)
        out += kLineEnd;
    if (!commentUtf8.empty()) {
        // A line break typed as LF, CR LF or a lone CR is written as CR LF;
        // neither byte occurs inside a UTF-8 sequence, so this is safe
        // before the conversion.
        std::string lines;
        lines.reserve(commentUtf8.size() + 8);
        for (std::size_t i = 0; i < commentUtf8.size(); ++i) {
            const char c = commentUtf8[i];
            if (c == '\r') {
                if (i + 1 < commentUtf8.size() && commentUtf8[i + 1] == '\n')
                    ++i;
                lines += kLineEnd;
            } else if (c == '\n') {
                lines += kLineEnd;
            } else {
                lines += c;
            }
        }
        out += cp1250::FromUtf8(lines);
        out += kLineEnd;
    }
    if (withSerialNumber) {
        if (serialNumber >= 1)
            out += "QM-482 nr " + std::to_string(serialNumber);
        else
            out += "QM-482 nr ???";
        out += kLineEnd;
    }
    return out;
}

} // namespace report
