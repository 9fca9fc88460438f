#include "mqtt/MqttSettings.h"

#include "settings/IniFile.h"

#include <algorithm>
#include <cctype>

namespace {

bool SameName(const std::string& a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x))
            == std::tolower(static_cast<unsigned char>(y));
    });
}

} // namespace

void LoadMqttSettings(const IniFile& ini, MqttSettings& s)
{
    const auto& names = ini.sectionNames();
    if (std::none_of(names.begin(), names.end(),
            [](const std::string& n) { return SameName(n, kMqttSection); }))
        return;
    const MqttSettings d;
    s.configured = true;
    s.enabled = ini.GetInt(kMqttSection, "ENABLED", 0) != 0;
    s.host = ini.GetString(kMqttSection, "HOST", d.host);
    s.port = ini.GetInt(kMqttSection, "PORT", d.port);
    s.clientId = ini.GetString(kMqttSection, "CLIENT_ID", "");
    s.user = ini.GetString(kMqttSection, "USER", "");
    s.password = ini.GetString(kMqttSection, "PASSWORD", "");
    s.tls = ini.GetInt(kMqttSection, "TLS", 0) != 0;
    s.caFile = ini.GetString(kMqttSection, "CA_FILE", "");
    s.topicPrefix = ini.GetString(kMqttSection, "TOPIC_PREFIX", "");
    s.discovery = ini.GetInt(kMqttSection, "DISCOVERY", 1) != 0;
    s.discoveryPrefix = ini.GetString(kMqttSection, "DISCOVERY_PREFIX", d.discoveryPrefix);
}

void SaveMqttSettings(IniFile& ini, const MqttSettings& s)
{
    if (!s.configured)
        return;
    ini.SetInt(kMqttSection, "ENABLED", s.enabled ? 1 : 0);
    ini.SetString(kMqttSection, "HOST", s.host);
    ini.SetInt(kMqttSection, "PORT", s.port);
    ini.SetString(kMqttSection, "CLIENT_ID", s.clientId);
    ini.SetString(kMqttSection, "USER", s.user);
    ini.SetString(kMqttSection, "PASSWORD", s.password);
    ini.SetInt(kMqttSection, "TLS", s.tls ? 1 : 0);
    ini.SetString(kMqttSection, "CA_FILE", s.caFile);
    ini.SetString(kMqttSection, "TOPIC_PREFIX", s.topicPrefix);
    ini.SetInt(kMqttSection, "DISCOVERY", s.discovery ? 1 : 0);
    ini.SetString(kMqttSection, "DISCOVERY_PREFIX", s.discoveryPrefix);
}

std::string EffectiveClientId(const MqttSettings& s, long serialNumber)
{
    return s.clientId.empty() ? "qm482-" + std::to_string(serialNumber) : s.clientId;
}

std::string EffectiveTopicPrefix(const MqttSettings& s, long serialNumber)
{
    std::string prefix = s.topicPrefix;
    while (!prefix.empty() && prefix.back() == '/')
        prefix.pop_back();
    return prefix.empty() ? "qm482/" + std::to_string(serialNumber) : prefix;
}
