#include "recording/BinaryRecord.h"

#include "common/ValueFormat.h"

#include <cstdio>

namespace qmg {

namespace {

void appendGroup(std::string& out, int serialNumber, int code, const RecordedQuantity& q)
{
    if (!q.valid)
        return;
    out += "19,";
    out += std::to_string(serialNumber);
    out += ',';
    out += std::to_string(code);
    out += ',';
    out += FormatFixed(q.value, 1);
    out += ",1$";
}

} // namespace

std::string Record(const LocalTime& time, const Readings& readings)
{
    // Wide enough for any int in every field, so nothing is ever cut.
    char stamp[96];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d%02d$", time.year, time.month, time.day,
        time.hour, time.minute, time.second);
    std::string out = stamp;
    appendGroup(out, readings.serialNumber, kTemperature, readings.temperature);
    appendGroup(out, readings.serialNumber, kHumidity, readings.humidity);
    appendGroup(out, readings.serialNumber, kPressure, readings.pressure);

    unsigned long sum = 0;
    for (const char c : out)
        sum += static_cast<unsigned char>(c);
    out += '@';
    out += static_cast<char>(sum % 253 + 1);
    out += static_cast<char>(sum % 251 + 1);

    // Stored negated: no stored byte is 0 and the file is not plain text.
    for (char& c : out)
        c = static_cast<char>(-static_cast<unsigned char>(c));
    return out;
}

} // namespace qmg
