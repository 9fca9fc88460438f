#pragma once

// Texts of the alarm settings dialog (UTF-8); its boxes about the limits
// are in AlarmTexts.h.
namespace texts::alarm_dialog {

// A delay is counted in whole seconds.
inline constexpr const char* kNotWholeSeconds = "Podaj liczbę całkowitą sekund, np. 30";

// The edits' names for a screen reader: the group's quantity is part of them.
inline constexpr const char* kTemperatureHigh = "Temperatura powyżej [°C]";
inline constexpr const char* kTemperatureLow = "Temperatura poniżej [°C]";
inline constexpr const char* kTemperatureHysteresis = "Histereza temperatury [°C]";
inline constexpr const char* kHumidityHigh = "Wilgotność względna powyżej [%]";
inline constexpr const char* kHumidityLow = "Wilgotność względna poniżej [%]";
inline constexpr const char* kHumidityHysteresis = "Histereza wilgotności [%]";
inline constexpr const char* kPressureHigh = "Ciśnienie powyżej [hPa]";
inline constexpr const char* kPressureLow = "Ciśnienie poniżej [hPa]";
inline constexpr const char* kPressureHysteresis = "Histereza ciśnienia [hPa]";
inline constexpr const char* kDewPointSpread = "Odległość od punktu rosy [°C]";
inline constexpr const char* kDelay = "Opóźnienie alarmu [s]";
inline constexpr const char* kLinkLostDelay = "Brak komunikacji dłużej niż [s]";
inline constexpr const char* kCommand = "Polecenie";
inline constexpr const char* kLogFile = "Dziennik alarmów";

inline constexpr const char* kCommandPlaceholder = "program i argumenty, np. /usr/bin/logger alarm";
inline constexpr const char* kLogFilePlaceholder = "ścieżka pliku, puste: bez dziennika";

} // namespace texts::alarm_dialog
