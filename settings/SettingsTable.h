#pragma once

#include "common/WindowRect.h"
#include "settings/IniFile.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

inline constexpr std::string_view kSettingsFileName = "qm480cfg.ini";

enum class SettingType { Unsigned, Int, Text };

struct Setting {
    const char* section;
    const char* key;
    SettingType type;
    std::int64_t defaultNumber; // unsigned and int settings
    const char* defaultText; // text settings
};

// Indices into kSettings, in the order the settings are read and written.
namespace SettingId {
enum : int {
    BACKGROUND_TEMP,
    TEXT_TEMP,
    FONT_HEIGHT_TEMP,
    FONT_NAME_TEMP,
    FONT_ITALIC_TEMP,
    FONT_WEIGHT_TEMP,
    BACKGROUND_RH,
    TEXT_RH,
    FONT_HEIGHT_RH,
    FONT_NAME_RH,
    FONT_ITALIC_RH,
    FONT_WEIGHT_RH,
    BACKGROUND_PRESSURE,
    TEXT_PRESSURE,
    FONT_HEIGHT_PRESSURE,
    FONT_NAME_PRESSURE,
    FONT_ITALIC_PRESSURE,
    FONT_WEIGHT_PRESSURE,
    PORT_NR,
    WINDOW_TOP,
    WINDOW_BOTTOM,
    WINDOW_LEFT,
    WINDOW_RIGHT,
    FILE_NAME,
    FILE_NAME_BIN,
    FILE_LOG,
    FILE_LOG_BIN,
    FILE_SEP_FORMAT,
    FILE_INTERVAL,
    FILE_TEMP,
    FILE_RH,
    FILE_PRESSURE,
    TOPMOST,
    FILE_CHECK_COMMENT,
    FILE_CHECK_COMMENT_SN,
    SHOW_ADV,
    Count
};
} // namespace SettingId

// clang-format off
inline constexpr std::array<Setting, SettingId::Count> kSettings{{
    {"TEMP", "BACKGROUND_TEMP", SettingType::Unsigned, 16770250, ""},
    {"TEMP", "TEXT_TEMP", SettingType::Unsigned, 8404992, ""},
    {"TEMP", "FONT_HEIGHT_TEMP", SettingType::Int, 60, ""},
    {"TEMP", "FONT_NAME_TEMP", SettingType::Text, 0, "Arial"},
    {"TEMP", "FONT_ITALIC_TEMP", SettingType::Int, 0, ""},
    {"TEMP", "FONT_WEIGHT_TEMP", SettingType::Int, 0, ""},
    {"RH", "BACKGROUND_RH", SettingType::Unsigned, 16767672, ""},
    {"RH", "TEXT_RH", SettingType::Unsigned, 6566400, ""},
    {"RH", "FONT_HEIGHT_RH", SettingType::Int, 60, ""},
    {"RH", "FONT_NAME_RH", SettingType::Text, 0, "Arial"},
    {"RH", "FONT_ITALIC_RH", SettingType::Int, 0, ""},
    {"RH", "FONT_WEIGHT_RH", SettingType::Int, 0, ""},
    {"PRESSURE", "BACKGROUND_PRESSURE", SettingType::Unsigned, 16765092, ""},
    {"PRESSURE", "TEXT_PRESSURE", SettingType::Unsigned, 4727808, ""},
    {"PRESSURE", "FONT_HEIGHT_PRESSURE", SettingType::Int, 60, ""},
    {"PRESSURE", "FONT_NAME_PRESSURE", SettingType::Text, 0, "Arial"},
    {"PRESSURE", "FONT_ITALIC_PRESSURE", SettingType::Int, 0, ""},
    {"PRESSURE", "FONT_WEIGHT_PRESSURE", SettingType::Int, 0, ""},
    {"GENERAL", "PORT_NR", SettingType::Int, 0, ""},
    {"GENERAL", "WINDOW_TOP", SettingType::Int, 100, ""},
    {"GENERAL", "WINDOW_BOTTOM", SettingType::Int, 500, ""},
    {"GENERAL", "WINDOW_LEFT", SettingType::Int, 100, ""},
    {"GENERAL", "WINDOW_RIGHT", SettingType::Int, 700, ""},
    {"LOG", "FILE_NAME", SettingType::Text, 0, ""},
    {"LOG", "FILE_NAME_BIN", SettingType::Text, 0, ""},
    {"LOG", "FILE_LOG", SettingType::Int, 0, ""},
    {"LOG", "FILE_LOG_BIN", SettingType::Int, 0, ""},
    {"LOG", "FILE_SEP_FORMAT", SettingType::Int, 0, ""},
    {"LOG", "FILE_INTERVAL", SettingType::Int, 60, ""},
    {"LOG", "FILE_TEMP", SettingType::Int, 1, ""},
    {"LOG", "FILE_RH", SettingType::Int, 1, ""},
    {"LOG", "FILE_PRESSURE", SettingType::Int, 1, ""},
    {"GENERAL", "TOPMOST", SettingType::Int, 0, ""},
    {"LOG", "FILE_CHECK_COMMENT", SettingType::Int, 0, ""},
    {"LOG", "FILE_CHECK_COMMENT_SN", SettingType::Int, 0, ""},
    {"GENERAL", "SHOW_ADV", SettingType::Int, 1, ""},
}};
// clang-format on

// The default of an unsigned setting, for the members that start from it
// before (or without) a settings file.
constexpr std::uint32_t DefaultUnsigned(int index)
{
    return static_cast<std::uint32_t>(kSettings.at(static_cast<std::size_t>(index)).defaultNumber);
}

// The members that hold the settings, by index into kSettings. Each index is
// only ever used with the accessors of its type.
class SettingsAccess {
public:
    virtual ~SettingsAccess() = default;
    virtual std::uint32_t GetUnsigned(int index) = 0;
    virtual void SetUnsigned(int index, std::uint32_t value) = 0;
    virtual std::int32_t GetInt(int index) = 0;
    virtual void SetInt(int index, std::int32_t value) = 0;
    virtual std::string GetText(int index) = 0;
    virtual void SetText(int index, const std::string& value) = 0;
};

// The saved window rectangle, pulled back onto a screen of the given size
// when it lies more than 10 pixels beyond an edge.
WindowRect PullBackOntoScreen(WindowRect rect, std::int32_t screenWidth, std::int32_t screenHeight);

// A font face name as the font description holds it: at most 31 characters
// (UTF-8 characters; a character is never split).
std::string FaceNameField(std::string_view name);
// The italic field is one byte: the low 8 bits of the stored number.
std::int32_t ItalicField(std::int32_t value);

// Reads every setting in table order into `access`. Does nothing when the
// store holds no file. A failure part-way ends the reading; the settings not
// yet read keep their values. True when all were read.
bool LoadSettings(const IniFile& ini, SettingsAccess& access);
// Writes every setting in table order, pulling the window rectangle back
// onto the screen (and into `access`) before the rectangle is written. A
// failure part-way ends the writing. True when all were written.
bool SaveSettings(
    IniFile& ini, SettingsAccess& access, std::int32_t screenWidth, std::int32_t screenHeight);
