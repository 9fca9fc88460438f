#pragma once

#include "alarms/AlarmRules.h"
#include "common/PanelReading.h"
#include "recording/Readings.h"

#include <array>
#include <string>
#include <vector>

struct AlarmSettings;
struct MqttSettings;

struct MqttMessage {
    std::string topic;
    std::string payload;
};

// Why the client has no connection, as the dialog's state line tells it.
enum class MqttFailure {
    None,
    Refused, // nothing listens on the port
    Unreachable, // no route, or no answer in time
    UnknownHost,
    NotAuthorised, // user or password rejected
    Tls,
    Lost, // the connection broke
    Other,
};

enum class MqttState { Off, WaitingForMeter, Connecting, Connected, NotConnected };

std::string StateTopic(const std::string& prefix);
std::string AvailabilityTopic(const std::string& prefix);
std::string AlarmTopic(const std::string& prefix);

// The readings of one frame: temperature, humidity, pressure, as the
// panels hold them. A panel showing "???" gives null, never its old value;
// a value is valid when shown and not blinking. The dew point and the
// absolute humidity follow, null unless temperature and humidity are valid.
std::string StatePayload(
    long serialNumber, const LocalTime& time, const std::array<PanelReading, 3>& panels);

// {"active":["TEMP_HIGH","LINK_LOST"]}: the AlarmName of each active alarm,
// in the order given (that of AlarmKind).
std::string AlarmPayload(const std::vector<ActiveAlarm>& active);

// One sensor config per quantity, the dew point and the absolute humidity
// included, all of one device named after the meter.
std::vector<MqttMessage> DiscoveryMessages(const MqttSettings& settings, long serialNumber);
// One message per alarm: a binary_sensor config reading the alarm topic for
// an alarm switched on, an empty payload (which removes a retained config)
// for one switched off.
std::vector<MqttMessage> AlarmDiscoveryMessages(
    const MqttSettings& settings, long serialNumber, const AlarmSettings& alarms);

// "Połączono z host:port", "Brak połączenia: …" and the like, in UTF-8.
std::string MqttStateText(MqttState state, MqttFailure why, const std::string& host, int port);

// Seconds to wait before the next attempt: 1, 2, 4 … up to a minute.
unsigned NextRetrySeconds(unsigned previous);
