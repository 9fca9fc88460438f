#include "resources/DialogTemplates.h"

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
    };
    return all;
}

const std::map<int, std::vector<MenuPopupTemplate>>& menus()
{
    static const std::map<int, std::vector<MenuPopupTemplate>> all = {
        { ids::kMainMenu,
            {
                { "Program", { { 32795, "Uruchom Plotan" }, { 0, "" }, { 32783, "Zamknij" } } },
                { "Widok",
                    { { 32780, "Kolory" }, { 32781, "Czcionki" },
                        { 32772, "Zawsze na wierzchu" } } },
                { "Ustawienia",
                    { { 32771, "Port szeregowy" }, { 32773, "Rejestracja do pliku" },
                        { 32796, "Ustawienia dodatkowe" } } },
                { "Pomoc",
                    { { 32778, "Pomoc" }, { 32797, "Program Varda" }, { 32779, "O programie" } } },
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
