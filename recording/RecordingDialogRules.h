#pragma once

#include <array>
#include <string>
#include <string_view>

// What the recording settings dialog decides without a screen: which
// controls are enabled, how the interval shows as a time of day, and the
// extension a chosen file name gets.
namespace recording_dialog {

// Controls enabled with "Rejestruj wyniki pomiarów" (1026).
inline constexpr std::array<int, 11> kReportGroup
    = { 1038, 1123, 1124, 1125, 1036, 1048, 1051, 1046, 1008, 1007, 1115 };
// Controls enabled with 1026 and the comment box 1115 both checked.
inline constexpr std::array<int, 2> kCommentGroup = { 1116, 1117 };
// Controls enabled with the binary file box 1027.
inline constexpr std::array<int, 3> kBinaryGroup = { 1053, 1039, 1040 };

struct Enables {
    bool report;
    bool comment;
    bool binary;
    bool operator==(const Enables&) const = default;
};

Enables EnableGroups(bool reportChecked, bool commentChecked, bool binaryChecked);

struct ClockTime {
    int hour;
    int minute;
    int second;
    bool operator==(const ClockTime&) const = default;
};

// The interval as the time picker shows it. A picker holds a time of day
// only: a day or more (a hand-edited settings file) shows as the longest
// it can, 23:59:59, and less than a second as 00:00:00.
ClockTime IntervalToClock(int seconds);

// The interval a picker confirms: its time in seconds, the date ignored;
// no valid time or 00:00:00 gives 1 s, the shortest interval.
int IntervalFromClock(bool valid, const ClockTime& time);

// "txt" for a filter pattern "*.txt"; empty when the pattern names no
// single extension.
std::string PatternExtension(std::string_view pattern);

// `path` with "." + extension appended when its file name has none. A dot
// leading the file name (a hidden file) is not an extension.
std::string WithExtension(std::string path, std::string_view extension);

} // namespace recording_dialog
