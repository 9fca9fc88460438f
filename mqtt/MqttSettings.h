#pragma once

#include <string>

class IniFile;

// What the user set for publishing to a broker. The section is only in the
// settings file once the user has confirmed the dialog, so a program that
// never publishes writes the same file as before.
struct MqttSettings {
    bool configured = false; // found in the file or confirmed in the dialog
    bool enabled = false;
    std::string host = "localhost";
    int port = 1883;
    std::string clientId; // empty: "qm482-<serial number>"
    std::string user;
    std::string password;
    bool tls = false;
    std::string caFile; // empty with TLS: the system's certificates
    std::string topicPrefix; // empty: "qm482/<serial number>"
    bool discovery = true;
    std::string discoveryPrefix = "homeassistant";

    bool operator==(const MqttSettings&) const = default;
};

inline constexpr const char* kMqttSection = "MQTT";

// Reads the section when the file has one; otherwise `settings` keeps its
// defaults and stays unconfigured.
void LoadMqttSettings(const IniFile& ini, MqttSettings& settings);
// Writes the section, only for configured settings.
void SaveMqttSettings(IniFile& ini, const MqttSettings& settings);

std::string EffectiveClientId(const MqttSettings& settings, long serialNumber);
std::string EffectiveTopicPrefix(const MqttSettings& settings, long serialNumber);
