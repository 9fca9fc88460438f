#pragma once

// Texts of the broker publishing dialog.
namespace texts::mqtt {
inline constexpr const char* kPrefixPlaceholder = "qm482/<numer seryjny>";
inline constexpr const char* kCaFilePlaceholder = "certyfikaty systemu";
inline constexpr const char* kClientIdPlaceholder = "qm482-<numer seryjny>";
inline constexpr const char* kBadPort = "Podaj numer portu od 1 do 65535.";
inline constexpr const char* kNoHost = "Podaj adres serwera MQTT.";
} // namespace texts::mqtt
