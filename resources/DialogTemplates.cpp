#include "resources/DialogTemplates.h"

#include "resources/CommandIds.h"

#include <map>

namespace resources {

namespace {

using K = ControlKind;
using namespace style;

const std::map<int, DialogTemplate>& dialogs()
{
    static const std::map<int, DialogTemplate> all = {
        { ids::kMainDialog,
            { ids::kMainDialog, "QM482", 320, 284, "MS Sans Serif", 8, true, ids::kMainMenu,
                {
                    { 1002, K::Edit, "", 7, 7, 306, 14, kBorder | kReadOnly | kAutoHScroll },
                    { 1003, K::Static, "", 7, 26, 306, 34, kTabStop },
                    { 1005, K::Static, "", 7, 142, 306, 34 },
                    { 1007, K::Static, "", 7, 186, 306, 34 },
                } } },
        { ids::kPortDialog,
            { ids::kPortDialog, "Porty", 214, 87, "MS Sans Serif", 8, false, 0,
                {
                    { 65535, K::Static, "Wybierz port:", 14, 21, 49, 8 },
                    { 1000, K::ComboDropList, "", 70, 19, 131, 83, kVScroll | kTabStop },
                    { 1001, K::StaticCentred, "", 7, 44, 199, 8 },
                    { 65535, K::SunkenRule, "", 7, 59, 200, 1 },
                    { 1, K::DefaultPushButton, "OK", 48, 66, 50, 14, kTabStop },
                    { 2, K::PushButton, "Anuluj", 115, 66, 50, 14, kTabStop },
                } } },
        { ids::kWaitDialog,
            { ids::kWaitDialog, "", 150, 82, "MS Shell Dlg", 8, false, 0,
                {
                    { 1112, K::Picture, "wait", 7, 7, 38, 67 },
                    { 1238, K::StaticCentred, "Proszę czekać", 49, 30, 83, 8 },
                    { 1028, K::PushButton, "Anuluj", 64, 61, 50, 14, kTabStop },
                } } },
        { ids::kColoursDialog,
            { ids::kColoursDialog, "Kolory", 194, 106, "MS Sans Serif", 8, false, 0,
                {
                    { 1, K::DefaultPushButton, "OK", 34, 85, 50, 14, kTabStop },
                    { 2, K::PushButton, "Anuluj", 110, 85, 50, 14, kTabStop },
                    { 65535, K::Static, "Tło", 93, 7, 12, 8 },
                    { 65535, K::Static, "Tekst", 142, 7, 19, 8 },
                    { 65535, K::Static, "Temperatura", 15, 23, 41, 8 },
                    { 65535, K::Static, "Wilg. względna", 15, 40, 49, 8 },
                    { 65535, K::Static, "Ciśnienie", 15, 57, 29, 8 },
                    { 1040, K::Static, "", 73, 21, 51, 14, kNotify },
                    { 1042, K::Static, "", 73, 38, 51, 14, kNotify },
                    { 1044, K::Static, "", 73, 55, 51, 14, kNotify },
                    { 1046, K::Static, "", 127, 21, 51, 14, kNotify },
                    { 1048, K::Static, "", 127, 38, 51, 14, kNotify },
                    { 1050, K::Static, "", 127, 55, 51, 14, kNotify },
                    { 65535, K::SunkenRule, "", 7, 76, 180, 1 },
                } } },
        { ids::kFontsDialog,
            { ids::kFontsDialog, "Czcionki", 245, 143, "MS Sans Serif", 8, false, 0,
                {
                    { 1, K::DefaultPushButton, "OK", 53, 122, 50, 14, kTabStop },
                    { 2, K::PushButton, "Anuluj", 141, 122, 50, 14, kTabStop },
                    { 1039, K::StaticCentred, "0123456789.", 68, 7, 170, 30,
                        kNotify | kCentreVertical },
                    { 1042, K::StaticCentred, "0123456789.", 68, 40, 170, 30,
                        kNotify | kCentreVertical },
                    { 1044, K::StaticCentred, "0123456789.", 68, 73, 170, 30,
                        kNotify | kCentreVertical },
                    { 65535, K::Static, "Temperatura", 7, 17, 41, 8 },
                    { 65535, K::Static, "Wilg. względna", 7, 50, 49, 8 },
                    { 65535, K::Static, "Ciśnienie", 7, 83, 29, 8 },
                    { 65535, K::SunkenRule, "", 7, 113, 231, 1 },
                } } },
        // Recording.
        { ids::kRecordingDialog,
            { ids::kRecordingDialog, "Rejestracja do pliku", 276, 290, "MS Sans Serif", 8, false, 0,
                {
                    { 1052, K::Static, "Interwał rejestracji", 15, 15, 58, 8 },
                    { 1045, K::TimePicker, "", 87, 12, 54, 15, kTabStop },
                    { 65535, K::GroupBox, "", 7, 31, 262, 173 },
                    { 1026, K::CheckBox, "Rejestruj wyniki pomiarów", 15, 43, 97, 10, kTabStop },
                    { 1048, K::Static, "W pliku", 15, 60, 25, 8 },
                    { 1036, K::Edit, "", 49, 58, 189, 13, kBorder | kAutoHScroll | kTabStop },
                    { 1038, K::PushButton, "...", 244, 58, 17, 13, kTabStop },
                    { 1051, K::Static, "Separator kolumn", 15, 80, 56, 8 },
                    { 1123, K::RadioButton, "Tabulator", 77, 80, 46, 10, kGroup | kTabStop },
                    { 1124, K::RadioButton, "Przecinek", 142, 80, 47, 10, kTabStop },
                    { 1125, K::RadioButton, "Średnik", 205, 80, 40, 10, kTabStop },
                    { 1046, K::CheckBox, "Temperatura", 15, 100, 56, 10, kTabStop },
                    { 1008, K::CheckBox, "Wilgotność względna", 108, 100, 83, 10, kTabStop },
                    { 1007, K::CheckBox, "Ciśnienie", 218, 100, 44, 10, kTabStop },
                    { 1115, K::CheckBox, "Dodaj komentarz przy rozpoczęciu rejestracji:", 15, 129,
                        157, 10, kTabStop },
                    { 1116, K::Edit, "", 15, 146, 245, 33,
                        kMultiLine | kBorder | kAutoHScroll | kTabStop },
                    { 1117, K::CheckBox, "Dodaj numer seryjny urządzenia do komentarza", 15, 187,
                        164, 10, kTabStop },
                    { 65535, K::GroupBox, "", 7, 207, 262, 51 },
                    { 1027, K::CheckBox,
                        "Rejestruj do pliku binarnego (używany przez program Plotan)", 15, 219, 198,
                        10, kTabStop },
                    { 1053, K::Static, "W pliku", 15, 236, 25, 8 },
                    { 1039, K::Edit, "", 49, 234, 189, 13, kBorder | kAutoHScroll | kTabStop },
                    { 1040, K::PushButton, "...", 244, 234, 17, 13, kTabStop },
                    { 1, K::DefaultPushButton, "OK", 64, 269, 50, 14, kTabStop },
                    { 2, K::PushButton, "Anuluj", 161, 269, 50, 14, kTabStop },
                } } },
        // Auxiliary windows. The pictures are named in text: "icon", "logo".
        { ids::kAboutDialog,
            { ids::kAboutDialog, "O programie", 240, 110, "MS Sans Serif", 8, false, 0,
                {
                    { 65535, K::Picture, "icon", 20, 13, 20, 20 },
                    { 65535, K::Static, "QM482 Wersja 3.07", 52, 13, 115, 8 },
                    { 65535, K::Static, "Autor: zespół programistów Orlent", 52, 26, 119, 8 },
                    { 1, K::DefaultPushButton, "OK", 173, 16, 50, 14, kTabStop },
                    { 1112, K::Picture, "logo", 20, 46, 79, 53, kNotify },
                    { 65535, K::Static,
                        "Orlent Przyrządy Pomiarowe sp. z o.o.\nul. Przykładowa 12\n00-000 "
                        "Miasteczko\ntel. (00) 000 00 00\nfax (00) 000 00 01",
                        107, 48, 121, 40 },
                    { 1113, K::Static, "email: biuro@orlent.example.com", 107, 90, 77, 8 },
                } } },
        { ids::kPromoDialog,
            { ids::kPromoDialog, "Orlent - promocja Varda", 355, 290, "MS Sans Serif", 8, false, 0,
                {
                    { 1, K::DefaultPushButton, "Zamknij", 298, 269, 50, 14, kTabStop },
                    { 1076, K::Edit, "", 2, 2, 351, 258, kMultiLine | kReadOnly | kVScroll },
                    { 1130, K::Static, "Kliknij, aby uzyskać więcej informacji w internecie", 11,
                        271, 245, 8 },
                } } },
        { ids::kExtraSettingsDialog,
            { ids::kExtraSettingsDialog, "Ustawienia dodatkowe", 230, 70, "MS Sans Serif", 8, false,
                0,
                {
                    { 1, K::DefaultPushButton, "OK", 47, 49, 50, 14, kTabStop },
                    { 2, K::PushButton, "Anuluj", 132, 49, 50, 14, kTabStop },
                    { 1131, K::CheckBox,
                        "Nie pokazu informacji o oprogramowaniu Varda przy starcie", 15, 18, 208,
                        10, kTabStop },
                    { 65535, K::SunkenRule, "", 7, 41, 216, 1 },
                } } },
        // Publishing to an MQTT broker.
        { ids::kMqttDialog,
            { ids::kMqttDialog, "Publikowanie MQTT", 262, 228, "MS Sans Serif", 8, false, 0,
                {
                    { 1201, K::CheckBox, "Publikuj pomiary na serwerze MQTT", 7, 7, 160, 10,
                        kTabStop },
                    { 65535, K::Static, "Serwer", 7, 25, 80, 8 },
                    { 1202, K::Edit, "", 90, 23, 100, 13, kBorder | kAutoHScroll | kTabStop },
                    { 65535, K::Static, "Port", 196, 25, 18, 8 },
                    { 1203, K::Edit, "", 216, 23, 39, 13, kBorder | kAutoHScroll | kTabStop },
                    { 65535, K::Static, "Identyfikator klienta", 7, 43, 80, 8 },
                    { 1204, K::Edit, "", 90, 41, 165, 13, kBorder | kAutoHScroll | kTabStop },
                    { 65535, K::Static, "Użytkownik", 7, 61, 80, 8 },
                    { 1205, K::Edit, "", 90, 59, 165, 13, kBorder | kAutoHScroll | kTabStop },
                    { 65535, K::Static, "Hasło", 7, 79, 80, 8 },
                    { 1206, K::Edit, "", 90, 77, 165, 13, kBorder | kAutoHScroll | kTabStop },
                    { 1207, K::CheckBox, "Połączenie szyfrowane (TLS)", 7, 97, 120, 10, kTabStop },
                    { 65535, K::Static, "Plik CA", 7, 115, 80, 8 },
                    { 1208, K::Edit, "", 90, 113, 165, 13, kBorder | kAutoHScroll | kTabStop },
                    { 65535, K::Static, "Prefiks tematów", 7, 133, 80, 8 },
                    { 1209, K::Edit, "", 90, 131, 165, 13, kBorder | kAutoHScroll | kTabStop },
                    { 1210, K::CheckBox, "Wykrywanie w Home Assistant", 7, 151, 120, 10, kTabStop },
                    { 65535, K::Static, "Prefiks wykrywania", 7, 169, 80, 8 },
                    { 1211, K::Edit, "", 90, 167, 165, 13, kBorder | kAutoHScroll | kTabStop },
                    { 65535, K::SunkenRule, "", 7, 186, 248, 1 },
                    { 65535, K::Static, "Stan:", 7, 192, 22, 8 },
                    { 1212, K::Static, "", 32, 192, 223, 8 },
                    { 1, K::DefaultPushButton, "OK", 70, 207, 50, 14, kTabStop },
                    { 2, K::PushButton, "Anuluj", 142, 207, 50, 14, kTabStop },
                } } },
        // Alarms: three groups of limits, the other conditions, what an alarm does.
        { ids::kAlarmDialog,
            { ids::kAlarmDialog, "Alarmy", 290, 268, "MS Sans Serif", 8, false, 0,
                {
                    { 65535, K::GroupBox, "Temperatura [°C]", 7, 5, 276, 31 },
                    { 1301, K::CheckBox, "powyżej", 15, 19, 40, 10, kTabStop },
                    { 1302, K::Edit, "", 57, 17, 38, 13, kBorder | kAutoHScroll | kTabStop },
                    { 1303, K::CheckBox, "poniżej", 109, 19, 40, 10, kTabStop },
                    { 1304, K::Edit, "", 151, 17, 38, 13, kBorder | kAutoHScroll | kTabStop },
                    { 65535, K::Static, "histereza", 203, 19, 34, 8 },
                    { 1305, K::Edit, "", 239, 17, 38, 13, kBorder | kAutoHScroll | kTabStop },
                    { 65535, K::GroupBox, "Wilgotność względna [%]", 7, 40, 276, 31 },
                    { 1311, K::CheckBox, "powyżej", 15, 54, 40, 10, kTabStop },
                    { 1312, K::Edit, "", 57, 52, 38, 13, kBorder | kAutoHScroll | kTabStop },
                    { 1313, K::CheckBox, "poniżej", 109, 54, 40, 10, kTabStop },
                    { 1314, K::Edit, "", 151, 52, 38, 13, kBorder | kAutoHScroll | kTabStop },
                    { 65535, K::Static, "histereza", 203, 54, 34, 8 },
                    { 1315, K::Edit, "", 239, 52, 38, 13, kBorder | kAutoHScroll | kTabStop },
                    { 65535, K::GroupBox, "Ciśnienie [hPa]", 7, 75, 276, 31 },
                    { 1321, K::CheckBox, "powyżej", 15, 89, 40, 10, kTabStop },
                    { 1322, K::Edit, "", 57, 87, 38, 13, kBorder | kAutoHScroll | kTabStop },
                    { 1323, K::CheckBox, "poniżej", 109, 89, 40, 10, kTabStop },
                    { 1324, K::Edit, "", 151, 87, 38, 13, kBorder | kAutoHScroll | kTabStop },
                    { 65535, K::Static, "histereza", 203, 89, 34, 8 },
                    { 1325, K::Edit, "", 239, 87, 38, 13, kBorder | kAutoHScroll | kTabStop },
                    { 1331, K::CheckBox, "Ryzyko kondensacji: temperatura bliżej punktu rosy niż",
                        7, 114, 200, 10, kTabStop },
                    { 1332, K::Edit, "", 209, 112, 38, 13, kBorder | kAutoHScroll | kTabStop },
                    { 65535, K::Static, "°C", 251, 114, 12, 8 },
                    { 65535, K::Static, "Opóźnienie alarmu", 7, 132, 120, 8 },
                    { 1333, K::Edit, "", 209, 130, 38, 13, kBorder | kAutoHScroll | kTabStop },
                    { 65535, K::Static, "s", 251, 132, 12, 8 },
                    { 1334, K::CheckBox, "Brak komunikacji dłużej niż", 7, 150, 120, 10, kTabStop },
                    { 1335, K::Edit, "", 209, 148, 38, 13, kBorder | kAutoHScroll | kTabStop },
                    { 65535, K::Static, "s", 251, 150, 12, 8 },
                    { 1336, K::CheckBox, "Błąd miernika", 7, 166, 120, 10, kTabStop },
                    { 1337, K::CheckBox, "Powiadomienie na pulpicie", 7, 184, 105, 10, kTabStop },
                    { 1338, K::CheckBox, "Dźwięk", 120, 184, 45, 10, kTabStop },
                    { 1339, K::CheckBox, "Pokazuj punkt rosy", 175, 184, 90, 10, kTabStop },
                    { 65535, K::Static, "Polecenie", 7, 204, 60, 8 },
                    { 1340, K::Edit, "", 70, 202, 213, 13, kBorder | kAutoHScroll | kTabStop },
                    { 65535, K::Static, "Dziennik alarmów", 7, 222, 60, 8 },
                    { 1341, K::Edit, "", 70, 220, 213, 13, kBorder | kAutoHScroll | kTabStop },
                    { 65535, K::SunkenRule, "", 7, 240, 276, 1 },
                    { 1, K::DefaultPushButton, "OK", 88, 247, 50, 14, kTabStop },
                    { 2, K::PushButton, "Anuluj", 152, 247, 50, 14, kTabStop },
                } } },
    };
    return all;
}

const std::map<int, std::vector<MenuPopupTemplate>>& menus()
{
    static const std::map<int, std::vector<MenuPopupTemplate>> all = {
        { ids::kMainMenu,
            {
                { "Program",
                    { { ::ids::ID_RUN_PLOTAN, "Uruchom Plotan" }, { 0, "" },
                        { ::ids::ID_ACKNOWLEDGE_ALARMS, "Potwierdź alarmy" }, { 0, "" },
                        { ::ids::ID_CLOSE, "Zamknij" } } },
                { "Widok",
                    { { ::ids::ID_COLOURS, "Kolory" }, { ::ids::ID_FONTS, "Czcionki" },
                        { ::ids::ID_TOPMOST, "Zawsze na wierzchu" } } },
                { "Ustawienia",
                    { { ::ids::ID_SERIAL_PORT, "Port szeregowy" },
                        { ::ids::ID_RECORDING, "Rejestracja do pliku" },
                        { ::ids::ID_MORE_SETTINGS, "Ustawienia dodatkowe" },
                        { ::ids::ID_MQTT, "Publikowanie MQTT" }, { ::ids::ID_ALARMS, "Alarmy" } } },
                { "Pomoc",
                    { { ::ids::ID_HELP, "Pomoc" }, { ::ids::ID_PROMOTION, "Program Varda" },
                        { ::ids::ID_ABOUT, "O programie" } } },
            } },
    };
    return all;
}

} // namespace

const DialogTemplate* FindDialog(int id)
{
    const auto it = dialogs().find(id);
    return it == dialogs().end() ? nullptr : &it->second;
}

const std::vector<MenuPopupTemplate>* FindMenu(int id)
{
    const auto it = menus().find(id);
    return it == menus().end() ? nullptr : &it->second;
}

std::string_view String(int id)
{
    switch (id) {
    case ids::kAboutString:
        return "&About QM482...";
    default:
        return {};
    }
}

} // namespace resources
