// Names and texts of the desktop-bus data service. UTF-8.
#pragma once

#include <string_view>

namespace texts::dde {

inline constexpr std::string_view ServiceName = "QM482";
// Topic base names, indexed by topic: temperature, humidity, pressure.
inline constexpr std::string_view TopicBaseNames[3] = { "Temperatura", "Wilgotność", "Ciśnienie" };
// Item names, indexed by item: the number, the number with its unit, the status word.
inline constexpr std::string_view ItemNames[3] = { "Wynik", "Pomiar", "Status" };
// What follows the number in "Pomiar", indexed by topic.
inline constexpr std::string_view UnitSuffixes[3] = { " °C", " %", " hPa" };

inline constexpr std::string_view StatusError = "Błąd pomiaru";
inline constexpr std::string_view StatusOk = "Pomiar OK";

// qm482-dde, the command-line client.
inline constexpr std::string_view ToolUsage
    = "Użycie: qm482-dde topics | get TEMAT POZYCJA | watch TEMAT POZYCJA\n";
inline constexpr std::string_view ToolNoBus = "Brak magistrali sesji D-Bus.\n";
inline constexpr std::string_view ToolNoService
    = "Usługa QM482 nie działa (miernik nie jest podłączony).\n";
inline constexpr std::string_view ToolRefused = "Serwer odrzucił żądanie: ";
inline constexpr std::string_view ToolFailed = "Błąd komunikacji z usługą QM482: ";
inline constexpr std::string_view ToolLost = "Usługa QM482 zniknęła.\n";

} // namespace texts::dde
