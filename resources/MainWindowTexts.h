#pragma once

// Texts of the main window and its status line (UTF-8).
namespace texts::main {

inline constexpr const char* kNoLink = "Brak komunikacji z urządzeniem. ";
inline constexpr const char* kMeterNumber = "QM-482 nr %d. ";
inline constexpr const char* kMeasurementOk = "Pomiar prawidłowy. ";
inline constexpr const char* kTemperatureError = "Błąd wartości temperatury. ";
inline constexpr const char* kHumidityError = "Błąd wartości wilgotności względnej. ";
inline constexpr const char* kPressureError = "Błąd wartości ciśnienia. ";
inline constexpr const char* kCalibrationError = "Błąd kalibracji. ";
inline constexpr const char* kRecordingEvery = "Rejestracja do pliku co %02d:%02d:%02d. ";

inline constexpr const char* kCannotOpenPort = "Nie można otworzyć portu COM%d";
inline constexpr const char* kDdeInitError = "Błąd inicjalizacji DDE!";
// "Zawsze na wierzchu" on a desktop that does not allow it.
inline constexpr const char* kNoTopmost
    = "Ten pulpit nie pozwala programom utrzymywać okna na wierzchu.";

inline constexpr const char* kTemperatureCaption = "Temperatura";
inline constexpr const char* kHumidityCaption = "Wilgotność względna";
inline constexpr const char* kPressureCaption = "Ciśnienie";
// Told to assistive technology while a panel shows "???".
inline constexpr const char* kNoValueShown = "brak pomiaru";
// The status line's name for assistive technology.
inline constexpr const char* kStatusLineName = "Stan";

} // namespace texts::main
