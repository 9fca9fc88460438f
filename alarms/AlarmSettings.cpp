#include "alarms/AlarmSettings.h"

#include "settings/IniFile.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

bool SameName(const std::string& a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x))
            == std::tolower(static_cast<unsigned char>(y));
    });
}

double GetNumber(const IniFile& ini, const char* key, double fallback)
{
    double v = 0;
    return ParseSettingNumber(ini.GetString(kAlarmSection, key, ""), v) ? v : fallback;
}

bool GetFlag(const IniFile& ini, const char* key, bool fallback)
{
    return ini.GetInt(kAlarmSection, key, fallback ? 1 : 0) != 0;
}

void LoadLimits(const IniFile& ini, const std::string& prefix, LimitSettings& l)
{
    l.highOn = GetFlag(ini, (prefix + "_HIGH_ON").c_str(), l.highOn);
    l.high = GetNumber(ini, (prefix + "_HIGH").c_str(), l.high);
    l.lowOn = GetFlag(ini, (prefix + "_LOW_ON").c_str(), l.lowOn);
    l.low = GetNumber(ini, (prefix + "_LOW").c_str(), l.low);
    l.hysteresis = std::max(0.0, GetNumber(ini, (prefix + "_HYST").c_str(), l.hysteresis));
}

void SaveLimits(IniFile& ini, const std::string& prefix, const LimitSettings& l)
{
    ini.SetInt(kAlarmSection, prefix + "_HIGH_ON", l.highOn ? 1 : 0);
    ini.SetString(kAlarmSection, prefix + "_HIGH", FormatSettingNumber(l.high));
    ini.SetInt(kAlarmSection, prefix + "_LOW_ON", l.lowOn ? 1 : 0);
    ini.SetString(kAlarmSection, prefix + "_LOW", FormatSettingNumber(l.low));
    ini.SetString(kAlarmSection, prefix + "_HYST", FormatSettingNumber(l.hysteresis));
}

bool LowAboveHigh(const LimitSettings& l)
{
    return l.highOn && l.lowOn && l.low > l.high;
}

} // namespace

std::string FormatSettingNumber(double value)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    return r.ec == std::errc() ? std::string(buf, r.ptr) : std::string("0");
}

bool ParseSettingNumber(const std::string& text, double& value)
{
    std::string t = text;
    t.erase(0, t.find_first_not_of(" \t"));
    t.erase(t.find_last_not_of(" \t") + 1);
    std::replace(t.begin(), t.end(), ',', '.');
    if (t.empty())
        return false;
    const char* begin = t.data();
    if (*begin == '+')
        ++begin;
    double v = 0;
    const auto r = std::from_chars(begin, t.data() + t.size(), v);
    if (r.ec != std::errc() || r.ptr != t.data() + t.size() || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

void LoadAlarmSettings(const IniFile& ini, AlarmSettings& s)
{
    const auto& names = ini.sectionNames();
    if (std::none_of(names.begin(), names.end(),
            [](const std::string& n) { return SameName(n, kAlarmSection); }))
        return;
    s.configured = true;
    LoadLimits(ini, "TEMP", s.temperature);
    LoadLimits(ini, "RH", s.humidity);
    LoadLimits(ini, "PRESSURE", s.pressure);
    s.dewPointSpreadOn = GetFlag(ini, "DEWPOINT_SPREAD_ON", s.dewPointSpreadOn);
    s.dewPointSpread = std::max(0.0, GetNumber(ini, "DEWPOINT_SPREAD", s.dewPointSpread));
    s.delaySeconds = std::max(0, ini.GetInt(kAlarmSection, "DELAY", s.delaySeconds));
    s.linkLostOn = GetFlag(ini, "LINK_LOST_ON", s.linkLostOn);
    s.linkLostDelaySeconds
        = std::max(0, ini.GetInt(kAlarmSection, "LINK_LOST_DELAY", s.linkLostDelaySeconds));
    s.meterErrorOn = GetFlag(ini, "METER_ERROR_ON", s.meterErrorOn);
    s.notify = GetFlag(ini, "NOTIFY", s.notify);
    s.sound = GetFlag(ini, "SOUND", s.sound);
    s.showDewPoint = GetFlag(ini, "SHOW_DEWPOINT", s.showDewPoint);
    s.command = ini.GetString(kAlarmSection, "COMMAND", "");
    s.logFile = ini.GetString(kAlarmSection, "LOG_FILE", "");
}

void SaveAlarmSettings(IniFile& ini, const AlarmSettings& s)
{
    if (!s.configured)
        return;
    SaveLimits(ini, "TEMP", s.temperature);
    SaveLimits(ini, "RH", s.humidity);
    SaveLimits(ini, "PRESSURE", s.pressure);
    ini.SetInt(kAlarmSection, "DEWPOINT_SPREAD_ON", s.dewPointSpreadOn ? 1 : 0);
    ini.SetString(kAlarmSection, "DEWPOINT_SPREAD", FormatSettingNumber(s.dewPointSpread));
    ini.SetInt(kAlarmSection, "DELAY", s.delaySeconds);
    ini.SetInt(kAlarmSection, "LINK_LOST_ON", s.linkLostOn ? 1 : 0);
    ini.SetInt(kAlarmSection, "LINK_LOST_DELAY", s.linkLostDelaySeconds);
    ini.SetInt(kAlarmSection, "METER_ERROR_ON", s.meterErrorOn ? 1 : 0);
    ini.SetInt(kAlarmSection, "NOTIFY", s.notify ? 1 : 0);
    ini.SetInt(kAlarmSection, "SOUND", s.sound ? 1 : 0);
    ini.SetInt(kAlarmSection, "SHOW_DEWPOINT", s.showDewPoint ? 1 : 0);
    ini.SetString(kAlarmSection, "COMMAND", s.command);
    ini.SetString(kAlarmSection, "LOG_FILE", s.logFile);
}

bool AnyAlarmOn(const AlarmSettings& s)
{
    auto any = [](const LimitSettings& l) { return l.highOn || l.lowOn; };
    return any(s.temperature) || any(s.humidity) || any(s.pressure) || s.dewPointSpreadOn
        || s.linkLostOn || s.meterErrorOn;
}

AlarmSettingsFault ValidateAlarmSettings(const AlarmSettings& s)
{
    if (LowAboveHigh(s.temperature))
        return AlarmSettingsFault::TemperatureLowAboveHigh;
    if (LowAboveHigh(s.humidity))
        return AlarmSettingsFault::HumidityLowAboveHigh;
    if (LowAboveHigh(s.pressure))
        return AlarmSettingsFault::PressureLowAboveHigh;
    for (const LimitSettings* l : { &s.temperature, &s.humidity, &s.pressure }) {
        if (l->hysteresis < 0)
            return AlarmSettingsFault::NegativeHysteresis;
    }
    if (s.delaySeconds < 0 || s.linkLostDelaySeconds < 0)
        return AlarmSettingsFault::NegativeDelay;
    if (s.dewPointSpread < 0)
        return AlarmSettingsFault::NegativeSpread;
    return AlarmSettingsFault::None;
}
