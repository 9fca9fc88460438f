#pragma once

#include <string>

class IniFile;

// The limits of one quantity, in the meter's own unit.
struct LimitSettings {
    bool highOn = false;
    double high = 0.0;
    bool lowOn = false;
    double low = 0.0;
    double hysteresis = 0.0; // >= 0
    bool operator==(const LimitSettings&) const = default;
};

// What the user set in "Alarmy". The section is only in the settings file
// once the dialog was confirmed, so a program without alarms writes the
// same file as before.
struct AlarmSettings {
    bool configured = false; // found in the file or confirmed in the dialog
    LimitSettings temperature { false, 25.0, false, 15.0, 0.5 }; // °C
    LimitSettings humidity { false, 60.0, false, 30.0, 2.0 }; // %
    LimitSettings pressure { false, 1040.0, false, 980.0, 1.0 }; // hPa
    bool dewPointSpreadOn = false;
    double dewPointSpread = 2.0; // °C between temperature and dew point
    int delaySeconds = 0; // a condition must hold this long before its alarm
    bool linkLostOn = false;
    int linkLostDelaySeconds = 30;
    bool meterErrorOn = false;
    bool notify = true;
    bool sound = true;
    bool showDewPoint = false; // the dew point in the status line
    std::string command; // program and arguments, no shell
    std::string logFile;

    bool operator==(const AlarmSettings&) const = default;
};

inline constexpr const char* kAlarmSection = "ALARMS";

// Reads the section when the file has one; otherwise `settings` keeps its
// defaults and stays unconfigured. Numbers are read with "." whatever the
// locale; one that cannot be read keeps its default, a negative hysteresis
// or delay becomes 0.
void LoadAlarmSettings(const IniFile& ini, AlarmSettings& settings);
// Writes the section, only for configured settings.
void SaveAlarmSettings(IniFile& ini, const AlarmSettings& settings);

// Whether any alarm is switched on.
bool AnyAlarmOn(const AlarmSettings& settings);

enum class AlarmSettingsFault {
    None,
    TemperatureLowAboveHigh,
    HumidityLowAboveHigh,
    PressureLowAboveHigh,
    NegativeHysteresis,
    NegativeDelay,
    NegativeSpread,
};
// The first thing the dialog must refuse, or None.
AlarmSettingsFault ValidateAlarmSettings(const AlarmSettings& settings);

// "12.5" for the file and the dialog: "." and no more digits than needed.
std::string FormatSettingNumber(double value);
// Reads "12.5" or "12,5" (a person types the comma); false for anything else.
bool ParseSettingNumber(const std::string& text, double& value);
