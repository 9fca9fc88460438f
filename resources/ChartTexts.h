#pragma once

// Texts of the chart viewer (UTF-8).
namespace texts::chart {

// The three plots, top to bottom: title and unit.
inline constexpr const char* kQuantityTitles[3] = { "Temperatura", "Wilgotność", "Ciśnienie" };
inline constexpr const char* kQuantityUnits[3] = { "°C", "%", "hPa" };
inline constexpr const char* kTimeAxis = "Czas lokalny";
// The optional fourth plot.
inline constexpr const char* kDewPointTitle = "Punkt rosy";
inline constexpr const char* kDewPointUnit = "°C";
// A limit line's label: %1 the limit, %2 the unit.
inline constexpr const char* kUpperLimit = "górny próg %1 %2";
inline constexpr const char* kLowerLimit = "dolny próg %1 %2";
// %1 the meter's serial number.
inline constexpr const char* kSerial = "QM-482 nr %1";
inline constexpr const char* kNoSerial = "bez numeru";

inline constexpr const char* kFileMenu = "&Plik";
inline constexpr const char* kOpen = "&Otwórz...";
inline constexpr const char* kOpenAlarmLog = "Otwórz &dziennik alarmów...";
inline constexpr const char* kExportChart = "Eksportuj &wykres...";
inline constexpr const char* kExportCsv = "Eksportuj widoczny zakres do &CSV...";
inline constexpr const char* kQuit = "&Zakończ";
inline constexpr const char* kViewMenu = "&Widok";
inline constexpr const char* kViewBar = "Widok";
inline constexpr const char* kStatsBar = "Zakres";
inline constexpr const char* kLastHour = "Ostatnia godzina";
inline constexpr const char* kLastDay = "Ostatni dzień";
inline constexpr const char* kLastWeek = "Ostatni tydzień";
inline constexpr const char* kWhole = "Całość";
inline constexpr const char* kDewPointView = "&Punkt rosy";

inline constexpr const char* kNothingOpen = "Otwórz plik pomiarów lub raport (albo upuść go tutaj)";
// %1 records read, %2 damaged stretches or rows.
inline constexpr const char* kRecords = "Rekordy: %1   Uszkodzone: %2";
inline constexpr const char* kNoValues = "brak wartości w widocznym zakresie";
// %1 minimum, %2 unit, %3 its time, %4 maximum, %5 its time, %6 mean.
inline constexpr const char* kRangeFigures = "min %1 %2 (%3), maks. %4 %2 (%5), średnia %6 %2";
// %1 the file.
inline constexpr const char* kCannotOpen = "Nie można otworzyć pliku %1";
inline constexpr const char* kCannotSave = "Nie można zapisać pliku %1";

inline constexpr const char* kOpenTitle = "Otwórz rejestrację";
inline constexpr const char* kOpenAlarmLogTitle = "Otwórz dziennik alarmów";
inline constexpr const char* kAlarmLogs = "Dzienniki alarmów (*.log *.txt)";
inline constexpr const char* kMeasurementFiles = "Pliki pomiarów (*.qmg)";
inline constexpr const char* kReports = "Raporty (*.txt *.csv)";
inline constexpr const char* kAllFiles = "Wszystkie pliki (*)";
inline constexpr const char* kExportRangeTitle = "Eksportuj widoczny zakres";
inline constexpr const char* kCsvFiles = "Lista CSV (*.csv)";
inline constexpr const char* kExportChartTitle = "Eksportuj wykres";
inline constexpr const char* kPngFiles = "Obraz PNG (*.png)";
inline constexpr const char* kSvgFiles = "Rysunek SVG (*.svg)";
// The first line of an exported range.
inline constexpr const char* kCsvHeader
    = "Data i Godzina,Numer seryjny,Temperatura °C,Wilgotność %,Ciśnienie hPa\r\n";

// The command line. %1 an option's name.
inline constexpr const char* kUsageDescription
    = "Wykresy rejestracji QM482 (plik pomiarów lub raport) z progami i okresami alarmów.";
inline constexpr const char* kUsageHelp = "Pokazuje tę pomoc.";
inline constexpr const char* kUsageVersion = "Pokazuje wersję programu.";
inline constexpr const char* kUsageSettings
    = "Progi alarmów z tego pliku ustawień zamiast z pliku ustawień programu.";
inline constexpr const char* kUsageAlarms = "Okresy alarmów z tego dziennika alarmów.";
inline constexpr const char* kUsageDewPoint = "Pokazuje wykres punktu rosy.";
inline constexpr const char* kUsageFileValue = "PLIK";
inline constexpr const char* kUsageRecording = "Plik pomiarów (.qmg) lub raport do otwarcia.";
inline constexpr const char* kUsageTwice = "Opcja --%1 podana więcej niż raz.";
inline constexpr const char* kUsageEmpty = "Opcja --%1 wymaga nazwy pliku.";
inline constexpr const char* kUsageOneFile = "Można otworzyć tylko jeden plik.";
// On the terminal when the file given with --settings cannot be read; %1 the file.
inline constexpr const char* kSettingsUnreadable
    = "qm482-chart: nie można odczytać pliku ustawień %1; progi alarmów nie są rysowane";

} // namespace texts::chart
