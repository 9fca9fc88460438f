#include "common/MeterName.h"

#include <algorithm>

namespace {

// More digits than any serial number has: such a topic names no meter, and
// the bus name made from it stays well inside the bus's 255 bytes.
constexpr size_t kMaxDigits = 19;

} // namespace

std::string MeterServerName(long serialNumber)
{
    return std::string(kMeterNamePrefix) + std::to_string(serialNumber);
}

std::optional<std::string> MeterServerNameOfTopic(std::string_view topic)
{
    const size_t hash = topic.rfind('#');
    if (hash == std::string_view::npos)
        return std::nullopt;
    const std::string_view digits = topic.substr(hash + 1);
    if (digits.empty() || digits.size() > kMaxDigits
        || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return std::string(kMeterNamePrefix) + std::string(digits);
}
