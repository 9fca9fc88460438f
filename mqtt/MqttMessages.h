#pragma once

#include "common/PanelReading.h"
#include "recording/Readings.h"

#include <array>
#include <string>
#include <vector>

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

// The readings of one frame: temperature, humidity, pressure, as the
// panels hold them. A panel showing "???" gives null, never its old value;
// a value is valid when shown and not blinking.
std::string StatePayload(
    long serialNumber, const LocalTime& time, const std::array<PanelReading, 3>& panels);

// One sensor config per quantity, all of one device named after the meter.
std::vector<MqttMessage> DiscoveryMessages(const MqttSettings& settings, long serialNumber);

// "Połączono z host:port", "Brak połączenia: …" and the like, in UTF-8.
std::string MqttStateText(MqttState state, MqttFailure why, const std::string& host, int port);

// Seconds to wait before the next attempt: 1, 2, 4 … up to a minute.
unsigned NextRetrySeconds(unsigned previous);
