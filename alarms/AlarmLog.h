#pragma once

#include "alarms/AlarmRules.h"
#include "recording/Readings.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// One line of the alarm log, tab-separated, ASCII, "\n"-terminated:
//   2026-12-09 08:15:03 <TAB> 4660 <TAB> TEMP_HIGH <TAB> begin <TAB> 25.6 <TAB> 25
// with "-" for a value or limit the alarm has none of.
struct AlarmLogEntry {
    LocalTime time;
    long serialNumber = 0;
    AlarmKind kind = AlarmKind::TemperatureHigh;
    AlarmEventType type = AlarmEventType::Begin;
    std::optional<double> value;
    std::optional<double> limit;
};

std::string FormatAlarmLogLine(const AlarmLogEntry& entry);
// None for a line that is not one (a torn last line, a hand edit).
std::optional<AlarmLogEntry> ParseAlarmLogLine(std::string_view line);

// A value as the log and the command's environment give it: at most two
// decimals, "." whatever the locale.
std::string FormatAlarmNumber(double value);

// The program and its arguments of COMMAND, split as a shell would split
// words (blanks, '…' and "…" quotes, backslash), without running one.
// Empty for an empty or unbalanced line.
std::vector<std::string> SplitCommandLine(std::string_view line);

// What the command finds in its environment (QM482_SERIAL, QM482_ALARM,
// QM482_STATE, QM482_VALUE, QM482_LIMIT, QM482_TIME).
std::vector<std::pair<std::string, std::string>> AlarmCommandEnvironment(const AlarmLogEntry& e);
