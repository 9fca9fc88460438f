#pragma once

#include "alarms/AlarmSettings.h"

#include <string>

// The alarm limits the chart draws, read from the program's settings file
// without ever writing it: a file the user may only read serves as well,
// and no folder is made for a file that is not there.
namespace chart {

// Where the program keeps its settings file, found as the program finds it
// (the chart is installed beside it); empty when there is no such place.
std::string ProgramSettingsPath();

enum class SettingsRead { Loaded, Missing, Unreadable };
// Fills `settings` from the [ALARMS] section of `path`; they stay
// unconfigured when the file has none.
SettingsRead LoadAlarmSettingsFrom(const std::string& path, AlarmSettings& settings);

} // namespace chart
