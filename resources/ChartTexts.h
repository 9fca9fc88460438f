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

// The period report (PDF) and its daily table (CSV).
inline constexpr const char* kReportMenu = "&Raport PDF...";
inline constexpr const char* kReportTitleDefault = "Raport warunków";
inline constexpr const char* kReportSaveTitle = "Zapisz raport PDF";
inline constexpr const char* kPdfFiles = "Dokument PDF (*.pdf)";
// %1 the first day, %2 the last.
inline constexpr const char* kReportPeriod = "Okres: %1 – %2";
inline constexpr const char* kReportMeters = "Mierniki: %1";
inline constexpr const char* kReportFiles = "Pliki:";
// %1 the file, %2 its records, %3 its damaged stretches or rows.
inline constexpr const char* kReportFile = "%1 (rekordy: %2, uszkodzone: %3)";
// %1 the date and time, %2 the program and its version.
inline constexpr const char* kReportMade = "Sporządzono: %1, program %2";
inline constexpr const char* kReportLimits = "Progi alarmów według ustawień: %1";
inline constexpr const char* kReportNoLimits = "Progi alarmów: nieznane (brak ustawień)";
inline constexpr const char* kReportNoRecords = "Brak rekordów w tym okresie.";
// %1 the quantity, %2 its unit.
inline constexpr const char* kReportTableTitle = "%1 [%2] – wartości dzienne";
inline constexpr const char* kReportColumns[7]
    = { "Dzień", "Minimum", "o godz.", "Maksimum", "o godz.", "Średnia", "Ważne / rekordy" };
inline constexpr const char* kReportWhole = "Cały okres";
inline constexpr const char* kReportNoValue = "—";
// %1 the longest step that is not a gap, in seconds.
inline constexpr const char* kReportGaps = "Przerwy w zapisie (dłuższe niż %1 s)";
// %1 the last record before, %2 the first after, %3 the length.
inline constexpr const char* kReportGap = "od %1 do %2 (%3)";
inline constexpr const char* kReportNone = "brak";
// %1 how many more are not listed.
inline constexpr const char* kReportMore = "… i jeszcze %1";
inline constexpr const char* kReportDamaged = "Uszkodzone fragmenty plików";
// %1 the file, %2 how many.
inline constexpr const char* kReportDamagedFile = "%1: %2";
// %1 its first byte, %2 its last, %3 its size, %4 the record before, %5 the one after.
inline constexpr const char* kReportDamagedStretch = "bajty %1–%2 (%3 B), między rekordami %4 i %5";
// %1 how many rows of a text report could not be read.
inline constexpr const char* kReportBadRows = "nieczytelne wiersze: %1";
inline constexpr const char* kReportNoRecord = "brak";
inline constexpr const char* kReportAlarms = "Okresy alarmów";
// %1 the alarm, %2 its beginning, %3 its end.
inline constexpr const char* kReportAlarm = "%1: od %2 do %3";
inline constexpr const char* kReportAlarmOpen = "trwa";
inline constexpr const char* kAlarmNames[9]
    = { "temperatura powyżej progu", "temperatura poniżej progu", "wilgotność powyżej progu",
          "wilgotność poniżej progu", "ciśnienie powyżej progu", "ciśnienie poniżej progu",
          "ryzyko kondensacji", "utrata łączności z miernikiem", "błąd miernika" };
// %1 this page, %2 the pages.
inline constexpr const char* kReportPage = "strona %1 z %2";
inline constexpr const char* kDailyCsvHeader
    = "Numer seryjny;Dzień;Rekordy;"
      "Temperatura min °C;godz.;Temperatura maks. °C;godz.;Temperatura średnia °C;ważne;"
      "Wilgotność min %;godz.;Wilgotność maks. %;godz.;Wilgotność średnia %;ważne;"
      "Ciśnienie min hPa;godz.;Ciśnienie maks. hPa;godz.;Ciśnienie średnie hPa;ważne\r\n";
inline constexpr const char* kDailyCsvWhole = "cały okres";
// The command line of reports.
inline constexpr const char* kUsageReport
    = "Zapisuje raport PDF z podanych plików i kończy pracę, bez okna.";
inline constexpr const char* kUsageDailyCsv
    = "Zapisuje tabelę wartości dziennych (CSV) i kończy pracę, bez okna.";
inline constexpr const char* kUsageFrom = "Pierwszy dzień raportu (domyślnie pierwszy rekord).";
inline constexpr const char* kUsageTo = "Ostatni dzień raportu (domyślnie ostatni rekord).";
inline constexpr const char* kUsageDateValue = "RRRR-MM-DD";
inline constexpr const char* kUsageTitle = "Tytuł raportu.";
inline constexpr const char* kUsageTitleValue = "TEKST";
inline constexpr const char* kUsageBadDate = "Opcja --%1: data w postaci RRRR-MM-DD.";
inline constexpr const char* kUsageDatesReversed = "Data --from jest późniejsza niż --to.";
inline constexpr const char* kUsageReportFiles = "Raport wymaga co najmniej jednego pliku.";
inline constexpr const char* kUsageReportOnly = "Opcje --from, --to i --title dotyczą raportu.";
// On the terminal; %1 the file.
inline constexpr const char* kCannotRead = "qm482-chart: nie można odczytać pliku %1";
inline constexpr const char* kCannotWrite = "qm482-chart: nie można zapisać pliku %1";
inline constexpr const char* kNoDisplay
    = "qm482-chart: brak ekranu (DISPLAY i WAYLAND_DISPLAY nie są ustawione)";

} // namespace texts::chart
