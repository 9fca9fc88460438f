#pragma once

// Texts of the broker publishing dialog.
namespace texts::mqtt {
inline constexpr const char* kPrefixPlaceholder = "qm482/<numer seryjny>";
inline constexpr const char* kCaFilePlaceholder = "certyfikaty systemu";
inline constexpr const char* kClientIdPlaceholder = "qm482-<numer seryjny>";
inline constexpr const char* kBadPort = "Podaj numer portu od 1 do 65535.";
inline constexpr const char* kNoHost = "Podaj adres serwera MQTT.";

// Names of the discovered entities (UTF-8).
inline constexpr const char* kDewPointName = "Punkt rosy";
inline constexpr const char* kAbsoluteHumidityName = "Wilgotność bezwzględna";
// One per alarm, in the order of AlarmKind.
inline constexpr const char* kAlarmNames[] = {
    "Alarm: wysoka temperatura",
    "Alarm: niska temperatura",
    "Alarm: wysoka wilgotność",
    "Alarm: niska wilgotność",
    "Alarm: wysokie ciśnienie",
    "Alarm: niskie ciśnienie",
    "Alarm: ryzyko kondensacji",
    "Alarm: brak komunikacji z miernikiem",
    "Alarm: błąd miernika",
};
} // namespace texts::mqtt
