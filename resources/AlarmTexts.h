#pragma once

// Texts of the alarms: the status line, the panels, the notification, the
// dialog's boxes (UTF-8).
namespace texts::alarm {

// The status line's last fragment: "Alarm: " and each alarm, ", " between.
inline constexpr const char* kStatusPrefix = "Alarm: ";
inline constexpr const char* kStatusSeparator = ", ";
inline constexpr const char* kStatusEnd = ". ";
inline constexpr const char* kAcknowledged = " (potwierdzony)";
// An alarm, by its limit.
inline constexpr const char* kTemperatureHigh = "temperatura powyżej %s °C";
inline constexpr const char* kTemperatureLow = "temperatura poniżej %s °C";
inline constexpr const char* kHumidityHigh = "wilgotność powyżej %s %%";
inline constexpr const char* kHumidityLow = "wilgotność poniżej %s %%";
inline constexpr const char* kPressureHigh = "ciśnienie powyżej %s hPa";
inline constexpr const char* kPressureLow = "ciśnienie poniżej %s hPa";
inline constexpr const char* kCondensation = "ryzyko kondensacji (punkt rosy bliżej niż %s °C)";
inline constexpr const char* kLinkLost = "brak komunikacji z miernikiem";
inline constexpr const char* kMeterError = "błąd miernika";
// The panel's accessible description: what it shows (%1), then its alarm (%2).
inline constexpr const char* kPanelAlarm = "%1; alarm: %2";
// Shown in the panel's caption band while it is in alarm.
inline constexpr const char* kPanelBadge = "ALARM";

// The dew point in the status line, when asked for.
inline constexpr const char* kDewPoint = "Punkt rosy %s °C. ";

// The desktop notification.
inline constexpr const char* kNotificationSummary = "QM-482 nr %d: alarm";
inline constexpr const char* kBodyTemperatureHigh = "Temperatura %s °C, powyżej progu %s °C.";
inline constexpr const char* kBodyTemperatureLow = "Temperatura %s °C, poniżej progu %s °C.";
inline constexpr const char* kBodyHumidityHigh = "Wilgotność %s %%, powyżej progu %s %%.";
inline constexpr const char* kBodyHumidityLow = "Wilgotność %s %%, poniżej progu %s %%.";
inline constexpr const char* kBodyPressureHigh = "Ciśnienie %s hPa, powyżej progu %s hPa.";
inline constexpr const char* kBodyPressureLow = "Ciśnienie %s hPa, poniżej progu %s hPa.";
inline constexpr const char* kBodyCondensation
    = "Ryzyko kondensacji: temperatura tylko %s °C nad punktem rosy (próg %s °C).";
inline constexpr const char* kBodyLinkLost = "Brak komunikacji z miernikiem.";
inline constexpr const char* kBodyMeterError = "Miernik zgłasza błąd pomiaru lub kalibracji.";
inline constexpr const char* kBodyAcknowledged = " Alarm potwierdzony.";
inline constexpr const char* kActionAcknowledge = "Potwierdź";

// The dialog's boxes.
inline constexpr const char* kTemperatureLowAboveHigh
    = "Dolny próg temperatury jest wyższy od górnego.";
inline constexpr const char* kHumidityLowAboveHigh
    = "Dolny próg wilgotności jest wyższy od górnego.";
inline constexpr const char* kPressureLowAboveHigh = "Dolny próg ciśnienia jest wyższy od górnego.";
inline constexpr const char* kNegativeHysteresis = "Histereza nie może być ujemna.";
inline constexpr const char* kNegativeDelay = "Czas opóźnienia nie może być ujemny.";
inline constexpr const char* kNegativeSpread = "Różnica do punktu rosy nie może być ujemna.";
inline constexpr const char* kNotANumber = "To nie jest liczba. Wpisz np. 25.5";

// Written to standard error (the user's journal).
inline constexpr const char* kLogWriteFailed = "Nie można zapisać dziennika alarmów %s: %s";
inline constexpr const char* kCommandFailed = "Polecenie alarmu %s nie powiodło się: %s";
// Why, the second part of kCommandFailed.
inline constexpr const char* kCommandUnsplittable = "niedomknięty cudzysłów w poleceniu";
inline constexpr const char* kCommandNotFound = "nie znaleziono programu %s";
inline constexpr const char* kCommandNotStarted = "nie można go uruchomić (%s)";
inline constexpr const char* kCommandExitCode = "zakończyło się kodem %d";
inline constexpr const char* kCommandSignal = "przerwane sygnałem %d (%s)";
inline constexpr const char* kCommandLost = "nie wiadomo, jak się zakończyło";
inline constexpr const char* kCommandTooMany
    = "działa już %d poleceń alarmu, to nie zostało uruchomione";

} // namespace texts::alarm
