#pragma once

// Texts of the recording settings dialog (UTF-8).
namespace texts::recording_dialog {

inline constexpr const char* kNoQuantity = "Wybierz przynajmniej jedną wielkość do zapisu";

inline constexpr const char* kReportChooserTitle = "Wybierz plik raportu";
inline constexpr const char* kTextFilter = "Plik tekstowy (*.txt)";
inline constexpr const char* kTextPattern = "*.txt";
inline constexpr const char* kCsvFilter = "Lista CSV (*.csv)";
inline constexpr const char* kCsvPattern = "*.csv";
inline constexpr const char* kReportExtension = "csv";

inline constexpr const char* kBinaryChooserTitle = "Wybierz plik binarny";
inline constexpr const char* kBinaryFilter = "Plik binarny (*.qmg)";
inline constexpr const char* kBinaryPattern = "*.qmg";
inline constexpr const char* kBinaryExtension = "qmg";

} // namespace texts::recording_dialog
