#pragma once

#include "device/Measurement.h"

#include <string>

// What the main window's status line says about the link, the meter's
// reported errors and the recording. Each fragment ends in one blank.
struct StatusLineInput {
    bool linkUp = false;
    Measurement measurement;
    bool recording = false;
    int recordingIntervalSeconds = 0;
    // Fragments of the alarms, each empty or ending in one blank: the dew
    // point after the meter's, the active alarms last.
    std::string dewPoint;
    std::string alarms;
};

std::string BuildStatusLine(const StatusLineInput& input);
