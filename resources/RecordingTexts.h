#pragma once

// Texts of recording (UTF-8).
namespace texts::recording {

inline constexpr const char* kReportUnavailable
    = "Wybrany plik rejestracji wyników pomiaru jest niedostępny.";
inline constexpr const char* kBinaryUnavailable = "Wybrany plik binarny jest niedostępny.";
inline constexpr const char* kReportExists
    = "Plik rejestracji pomiarów już istnieje.\r\nWybierz Tak aby dopisywać wyniki do "
      "poprzednich,\r\nwybierz Nie aby skasować poprzednią zawartość pliku.";
inline constexpr const char* kBinaryExists
    = "Plik binarny już istnieje.\r\nWybierz Tak aby dopisywać wyniki do poprzednich,\r\nwybierz "
      "Nie aby skasować poprzednią zawartość pliku.";
// %1 the file, %2 the system's reason in the user's language.
inline constexpr const char* kWriteFailed
    = "Nie można zapisać pomiaru do pliku %1.\n%2\nRejestracja trwa: zapis zostanie ponowiony "
      "przy następnym pomiarze.";
// %1 the file. Shown when rows wait for a disk so long that no more are kept.
inline constexpr const char* kWriteStalled
    = "Dysk od dłuższego czasu nie przyjmuje pomiarów do pliku %1.\nZaległe pomiary czekają na "
      "zapis; następne nie będą rejestrowane, dopóki dysk ich nie przyjmie.";

} // namespace texts::recording
