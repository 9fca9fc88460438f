#include "recording/RecordingDialogRules.h"

#include <algorithm>

namespace recording_dialog {

namespace {

constexpr int kLongestInterval = 24 * 3600 - 1;

} // namespace

Enables EnableGroups(bool reportChecked, bool commentChecked, bool binaryChecked)
{
    return { reportChecked, reportChecked && commentChecked, binaryChecked };
}

ClockTime IntervalToClock(int seconds)
{
    const int s = std::clamp(seconds, 0, kLongestInterval);
    return { s / 3600, s / 60 % 60, s % 60 };
}

int IntervalFromClock(bool valid, const ClockTime& time)
{
    const int seconds = valid ? time.hour * 3600 + time.minute * 60 + time.second : 0;
    return seconds == 0 ? 1 : seconds;
}

std::string PatternExtension(std::string_view pattern)
{
    if (pattern.size() < 3 || pattern.substr(0, 2) != "*."
        || pattern.find_first_of("*?.;", 2) != std::string_view::npos)
        return {};
    return std::string(pattern.substr(2));
}

std::string WithExtension(std::string path, std::string_view extension)
{
    const std::size_t slash = path.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = path.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot > nameStart;
    if (!hasExtension && !extension.empty()) {
        path += '.';
        path += extension;
    }
    return path;
}

} // namespace recording_dialog
