#pragma once

#include <string>

// The recording settings and state the main window owns. The settings are
// kept as read from the settings file (not validated); the recording
// control and its dialog decide what they accept.
struct RecordingSettings {
    std::string reportFileName; // FILE_NAME
    std::string binaryFileName; // FILE_NAME_BIN
    int reportEnabled = 0; // FILE_LOG
    int binaryEnabled = 0; // FILE_LOG_BIN
    int separatorFormat = 0; // FILE_SEP_FORMAT: 0 tab, 1 comma, 2 semicolon
    int intervalSeconds = 1; // FILE_INTERVAL; 60 comes from the settings defaults
    int columnTemperature = 1; // FILE_TEMP
    int columnHumidity = 1; // FILE_RH
    int columnPressure = 1; // FILE_PRESSURE
    int writeComment = 0; // FILE_CHECK_COMMENT
    int commentSerialNumber = 0; // FILE_CHECK_COMMENT_SN
};

struct RecordingState {

    RecordingSettings settings;
    unsigned recordTimer = 0; // non-zero while the interval timer runs
    int writtenColumns = -1;
    std::string recordingComment;

    bool recording() const { return recordTimer != 0; }
};
