#pragma once

#include <string_view>
#include <vector>

// The program's dialog templates, menu and strings as data. Positions are
// in dialog units; the builder turns them into widgets.
namespace resources {

enum class ControlKind {
    Static, // text, left-aligned
    StaticCentred, // text, centred
    Edit,
    ComboDropList, // pick only, no typing
    PushButton,
    DefaultPushButton,
    Picture, // a bitmap resource, named in text ("wait")
    SunkenRule, // a thin sunken frame used as a horizontal rule
    // Kinds of the recording dialog.
    CheckBox, // checks itself when clicked
    RadioButton, // checks itself, unchecks the others of its group
    GroupBox, // a frame around other controls, with an optional title
    TimePicker, // a time of day with spin arrows
};

namespace style {
inline constexpr unsigned kBorder = 1u << 0;
inline constexpr unsigned kReadOnly = 1u << 1;
inline constexpr unsigned kAutoHScroll = 1u << 2;
inline constexpr unsigned kTabStop = 1u << 3;
inline constexpr unsigned kVScroll = 1u << 4;
// A static control that reports clicks: its dialog puts a clickable control there.
inline constexpr unsigned kNotify = 1u << 5;
inline constexpr unsigned kCentreVertical = 1u << 6;
// Styles of the recording dialog.
inline constexpr unsigned kGroup = 1u << 7; // a radio button that starts a new group
inline constexpr unsigned kMultiLine = 1u << 8; // an edit of several lines; Enter breaks a line
} // namespace style

struct ControlTemplate {
    int id;
    ControlKind kind;
    std::string_view text;
    int x, y, width, height;
    unsigned style = 0;
};

struct DialogTemplate {
    int id;
    std::string_view caption; // empty: no caption bar
    int width, height;
    std::string_view fontFace;
    int fontPoints;
    bool resizable;
    int menuId; // 0: none
    std::vector<ControlTemplate> controls;
};

struct MenuItemTemplate {
    int id; // 0: separator
    std::string_view text;
};

struct MenuPopupTemplate {
    std::string_view text;
    std::vector<MenuItemTemplate> items;
};

// nullptr when there is no such template.
const DialogTemplate* FindDialog(int id);
const std::vector<MenuPopupTemplate>* FindMenu(int id);
// Empty when there is no such string.
std::string_view String(int id);

// Ids shared with the code.
namespace ids {
inline constexpr int kMainDialog = 102;
inline constexpr int kPortDialog = 129;
inline constexpr int kWaitDialog = 175;
inline constexpr int kMainMenu = 130;
inline constexpr int kAboutString = 101;
inline constexpr int kIcon = 128;
inline constexpr int kWaitBitmap = 310;
inline constexpr int kColoursDialog = 136;
inline constexpr int kFontsDialog = 137;
// Recording.
inline constexpr int kRecordingDialog = 131;
// Auxiliary windows.
inline constexpr int kAboutDialog = 100;
inline constexpr int kPromoDialog = 157;
inline constexpr int kExtraSettingsDialog = 159;
inline constexpr int kLogoBitmap = 148;
// Publishing to an MQTT broker.
inline constexpr int kMqttDialog = 150;
// Alarms.
inline constexpr int kAlarmDialog = 151;
} // namespace ids

} // namespace resources
