#pragma once

#include "alarms/AlarmRules.h"

#include <optional>
#include <string>
#include <vector>

// "temperatura powyżej 25.0 °C": an alarm as a person reads it.
std::string AlarmDescription(const ActiveAlarm& alarm);
// The status line's last fragment, empty without alarms:
// "Alarm: temperatura powyżej 25.0 °C, błąd miernika. ".
std::string AlarmStatusFragment(const std::vector<ActiveAlarm>& active);
// "Punkt rosy 12.3 °C. ", empty without a dew point.
std::string DewPointFragment(std::optional<double> dewPoint);

struct NotificationText {
    std::string summary;
    std::string body;
};
NotificationText AlarmNotification(long serialNumber, const ActiveAlarm& alarm);

// The quantity an alarm watches: 0 temperature, 1 humidity, 2 pressure;
// -1 for the alarms of the whole meter. Condensation belongs to humidity.
int AlarmPanel(AlarmKind kind);
