#pragma once

// Texts of the port and wait dialogs (UTF-8).
namespace texts::port {

inline constexpr const char* kPortInUse = "Aktualnie używany port: COM%d";
inline constexpr const char* kNoPortInUse = "Aktualnie żaden port nie jest używany";
inline constexpr const char* kNoPortChosen = "Nie wybrano żadnego portu.";

} // namespace texts::port
