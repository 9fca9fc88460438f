#pragma once

// Texts of the about box, the promotion window, the additional settings,
// help and the companion program (UTF-8). The maker is fictional; its
// addresses lie in the reserved example domains.
namespace texts::aux {

inline constexpr const char* kProgramVersion = "QM482 Wersja 3.07";
inline constexpr const char* kAuthorLine = "Autor: zespół programistów Orlent";
inline constexpr const char* kMakerBlock = "Orlent Przyrządy Pomiarowe sp. z o.o.\n"
                                           "ul. Przykładowa 12\n"
                                           "00-000 Miasteczko\n"
                                           "tel. (00) 000 00 00\n"
                                           "fax (00) 000 00 01";
inline constexpr const char* kMakerMail = "biuro@orlent.example.com";
inline constexpr const char* kMailPrefix = "email: ";
inline constexpr const char* kMakerPage = "https://www.orlent.example.com/";
inline constexpr const char* kVardaPage = "https://www.orlent.example.com/varda/";

inline constexpr const char* kPromoMoreInfo = "Kliknij, aby uzyskać więcej informacji w internecie";
inline constexpr const char* kHideAtStart
    = "Nie pokazu informacji o oprogramowaniu Varda przy starcie";

inline constexpr const char* kCompanionMissing = "Nie można odnaleźć programu Plotan.exe";
inline constexpr const char* kHelpFailed = "Failed to launch help.";
inline constexpr const char* kHelpCaption = "QM482 - Pomoc";

} // namespace texts::aux
