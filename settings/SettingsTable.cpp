#include "settings/SettingsTable.h"

#include <algorithm>
#include <limits>

namespace {

bool IsFaceName(int index)
{
    return index == SettingId::FONT_NAME_TEMP || index == SettingId::FONT_NAME_RH
        || index == SettingId::FONT_NAME_PRESSURE;
}

bool IsItalic(int index)
{
    return index == SettingId::FONT_ITALIC_TEMP || index == SettingId::FONT_ITALIC_RH
        || index == SettingId::FONT_ITALIC_PRESSURE;
}

std::int32_t Saturate(std::int64_t value)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

void LoadOne(const IniFile& ini, SettingsAccess& access, int index)
{
    const Setting& s = kSettings[static_cast<std::size_t>(index)];
    switch (s.type) {
    case SettingType::Unsigned:
        access.SetUnsigned(
            index, ini.GetUnsigned(s.section, s.key, static_cast<std::uint32_t>(s.defaultNumber)));
        break;
    case SettingType::Int: {
        std::int32_t value
            = ini.GetInt(s.section, s.key, static_cast<std::int32_t>(s.defaultNumber));
        access.SetInt(index, IsItalic(index) ? ItalicField(value) : value);
        break;
    }
    case SettingType::Text: {
        std::string value = ini.GetString(s.section, s.key, s.defaultText);
        access.SetText(index, IsFaceName(index) ? FaceNameField(value) : value);
        break;
    }
    }
}

void SaveOne(IniFile& ini, SettingsAccess& access, int index)
{
    const Setting& s = kSettings[static_cast<std::size_t>(index)];
    switch (s.type) {
    case SettingType::Unsigned:
        ini.SetUnsigned(s.section, s.key, access.GetUnsigned(index));
        break;
    case SettingType::Int: {
        std::int32_t value = access.GetInt(index);
        ini.SetInt(s.section, s.key, IsItalic(index) ? ItalicField(value) : value);
        break;
    }
    case SettingType::Text: {
        std::string value = access.GetText(index);
        ini.SetString(s.section, s.key, IsFaceName(index) ? FaceNameField(value) : value);
        break;
    }
    }
}

} // namespace

WindowRect PullBackOntoScreen(WindowRect rect, std::int32_t screenWidth, std::int32_t screenHeight)
{
    // Wide arithmetic: a rectangle read from a hand-edited file may be anything.
    std::int64_t left = rect.left, top = rect.top, right = rect.right, bottom = rect.bottom;
    if (right > std::int64_t { screenWidth } + 10) {
        left -= right - screenWidth;
        right = screenWidth;
    }
    if (bottom > std::int64_t { screenHeight } + 10) {
        top -= bottom - screenHeight;
        bottom = screenHeight;
    }
    if (top < -10)
        top = 0;
    if (left < -10)
        left = 0;
    return { Saturate(left), Saturate(top), Saturate(right), Saturate(bottom) };
}

std::string FaceNameField(std::string_view name)
{
    constexpr int kMaxCharacters = 31;
    int characters = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        // A UTF-8 continuation byte belongs to the character before it.
        if ((static_cast<unsigned char>(name[i]) & 0xC0) == 0x80)
            continue;
        if (++characters > kMaxCharacters)
            return std::string(name.substr(0, i));
    }
    return std::string(name);
}

std::int32_t ItalicField(std::int32_t value)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) & 0xFFU);
}

bool LoadSettings(const IniFile& ini, SettingsAccess& access)
{
    if (!ini.IsLoaded())
        return false;
    try {
        for (int index = 0; index < SettingId::Count; ++index)
            LoadOne(ini, access, index);
        return true;
    } catch (...) {
        return false;
    }
}

bool SaveSettings(
    IniFile& ini, SettingsAccess& access, std::int32_t screenWidth, std::int32_t screenHeight)
{
    try {
        for (int index = 0; index <= SettingId::PORT_NR; ++index)
            SaveOne(ini, access, index);

        WindowRect rect { access.GetInt(SettingId::WINDOW_LEFT),
            access.GetInt(SettingId::WINDOW_TOP), access.GetInt(SettingId::WINDOW_RIGHT),
            access.GetInt(SettingId::WINDOW_BOTTOM) };
        rect = PullBackOntoScreen(rect, screenWidth, screenHeight);
        access.SetInt(SettingId::WINDOW_LEFT, rect.left);
        access.SetInt(SettingId::WINDOW_TOP, rect.top);
        access.SetInt(SettingId::WINDOW_RIGHT, rect.right);
        access.SetInt(SettingId::WINDOW_BOTTOM, rect.bottom);

        for (int index = SettingId::WINDOW_TOP; index < SettingId::Count; ++index)
            SaveOne(ini, access, index);
        return true;
    } catch (...) {
        return false;
    }
}
