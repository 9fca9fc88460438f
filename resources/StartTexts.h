#pragma once

// Texts of the program's command line and start (UTF-8).
namespace texts::start {

inline constexpr const char* kUsageDescription
    = "Odczyty miernika QM-482 (temperatura, wilgotność, ciśnienie) z portu szeregowego.\n"
      "Drugie uruchomienie z tym samym plikiem ustawień przywołuje okno już działającego "
      "programu.";
inline constexpr const char* kUsageHelp = "Pokazuje tę pomoc.";
inline constexpr const char* kUsageVersion = "Pokazuje wersję programu.";
inline constexpr const char* kUsageConfig
    = "Plik ustawień do użycia zamiast pliku programu (tworzony, gdy go nie ma); "
      "każdy miernik może mieć własny.";
inline constexpr const char* kUsageFileValue = "PLIK";
inline constexpr const char* kUsageTwice = "Opcja --%1 podana więcej niż raz.";
inline constexpr const char* kUsageEmpty = "Opcja --%1 wymaga nazwy pliku.";
// %1 what was given.
inline constexpr const char* kUsageNoArguments = "Nieoczekiwany argument: %1";

// On the terminal; %1 the settings file.
inline constexpr const char* kConfigUnusable
    = "qm482: nie można użyć pliku ustawień %1; program nie zostaje uruchomiony";
inline constexpr const char* kInstanceSilent
    = "qm482: plik ustawień %1 jest używany przez działający program, który nie odpowiada";
inline constexpr const char* kInstanceUnguarded
    = "qm482: brak prywatnego folderu na blokadę; nic nie chroni pliku ustawień %1 "
      "przed drugim programem";

} // namespace texts::start
