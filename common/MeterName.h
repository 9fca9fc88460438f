// Every running instance serves one meter. Besides the service's bus name,
// which the instances share, each owns a name of its own made from its
// meter's serial number: "Meter4660" under org.qm482.QM482.
#pragma once

#include <optional>
#include <string>
#include <string_view>

inline constexpr std::string_view kMeterNamePrefix = "Meter";

// "Meter" and the serial number in decimal, as the topics carry it.
std::string MeterServerName(long serialNumber);

// The server name of the meter a topic belongs to ("Temperatura#4660" gives
// "Meter4660"): the digits after the topic's last '#'. Nothing when the topic
// carries no serial number there.
std::optional<std::string> MeterServerNameOfTopic(std::string_view topic);
