#include "mqtt/MqttMessages.h"

#include "alarms/DewPoint.h"
#include "mqtt/MqttSettings.h"
#include "resources/MqttTexts.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <iterator>
#include <optional>
#include <string_view>

namespace {

struct Quantity {
    const char* key;
    const char* name;
    const char* unit;
    const char* deviceClass; // none: nullptr
};

constexpr std::array<Quantity, 3> kQuantities { {
    { "temperature", "Temperatura", "°C", "temperature" },
    { "humidity", "Wilgotność względna", "%", "humidity" },
    { "pressure", "Ciśnienie", "hPa", "atmospheric_pressure" },
} };

// Derived from temperature and humidity.
constexpr std::array<Quantity, 2> kDerived { {
    { "dew_point", texts::mqtt::kDewPointName, "°C", "temperature" },
    { "absolute_humidity", texts::mqtt::kAbsoluteHumidityName, "g/m³", nullptr },
} };

static_assert(std::size(texts::mqtt::kAlarmNames) == kAlarmKindCount);

std::string JsonString(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            std::array<char, 8> escaped {};
            std::snprintf(escaped.data(), escaped.size(), "\\u%04x", u);
            out += escaped.data();
        } else {
            out += c;
        }
    }
    return out + '"';
}

// Shortest round-trip form, whatever the process locale says.
std::string JsonNumber(double value)
{
    std::array<char, 32> buffer {};
    const auto r = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), r.ptr);
}

std::string JsonNumberOrNull(const std::optional<double>& value)
{
    return value ? JsonNumber(*value) : std::string("null");
}

std::string NodeId(long serialNumber)
{
    return "qm482_" + std::to_string(serialNumber);
}

std::string DeviceJson(long serialNumber)
{
    return "{\"identifiers\":[" + JsonString(NodeId(serialNumber)) + "],\"name\":"
        + JsonString("QM482 " + std::to_string(serialNumber)) + ",\"model\":\"QM482\"}";
}

std::string Lower(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string TwoDigits(int n)
{
    return (n < 10 ? "0" : "") + std::to_string(n);
}

const char* FailureText(MqttFailure why)
{
    switch (why) {
    case MqttFailure::Refused:
        return "serwer odmówił połączenia";
    case MqttFailure::Unreachable:
        return "serwer nieosiągalny";
    case MqttFailure::UnknownHost:
        return "nieznana nazwa serwera";
    case MqttFailure::NotAuthorised:
        return "odmowa dostępu (użytkownik lub hasło)";
    case MqttFailure::Tls:
        return "błąd TLS";
    case MqttFailure::Lost:
        return "połączenie przerwane";
    case MqttFailure::None:
    case MqttFailure::Other:
        break;
    }
    return "błąd połączenia";
}

} // namespace

std::string StateTopic(const std::string& prefix)
{
    return prefix + "/state";
}

std::string AvailabilityTopic(const std::string& prefix)
{
    return prefix + "/availability";
}

std::string AlarmTopic(const std::string& prefix)
{
    return prefix + "/alarm";
}

std::string StatePayload(
    long serialNumber, const LocalTime& t, const std::array<PanelReading, 3>& panels)
{
    std::string out = "{\"serial\":" + std::to_string(serialNumber) + ",\"time\":\""
        + std::to_string(t.year) + '-' + TwoDigits(t.month) + '-' + TwoDigits(t.day) + 'T'
        + TwoDigits(t.hour) + ':' + TwoDigits(t.minute) + ':' + TwoDigits(t.second) + '"';
    for (std::size_t i = 0; i < kQuantities.size(); ++i) {
        const PanelReading& p = panels[i];
        const std::string key = kQuantities[i].key;
        out += ",\"" + key + "\":" + (p.noValue ? std::string("null") : JsonNumber(p.rawValue));
        out += ",\"" + key + "_valid\":" + (p.valid() ? "true" : "false");
    }
    out += ",\"dew_point\":" + JsonNumberOrNull(DewPoint(panels[0], panels[1]));
    out += ",\"absolute_humidity\":" + JsonNumberOrNull(AbsoluteHumidity(panels[0], panels[1]));
    return out + '}';
}

std::string AlarmPayload(const std::vector<ActiveAlarm>& active)
{
    std::string out = "{\"active\":[";
    for (std::size_t i = 0; i < active.size(); ++i) {
        if (i > 0)
            out += ',';
        out += JsonString(std::string(AlarmName(active[i].kind)));
    }
    return out + "]}";
}

std::vector<MqttMessage> DiscoveryMessages(const MqttSettings& settings, long serialNumber)
{
    const std::string prefix = EffectiveTopicPrefix(settings, serialNumber);
    const std::string node = NodeId(serialNumber);
    const std::string device = DeviceJson(serialNumber);
    std::vector<MqttMessage> out;
    std::vector<Quantity> all(kQuantities.begin(), kQuantities.end());
    all.insert(all.end(), kDerived.begin(), kDerived.end());
    for (const Quantity& q : all) {
        const std::string key = q.key;
        std::string payload = "{\"name\":" + JsonString(q.name);
        std::string uniqueId = node;
        uniqueId.append("_").append(key);
        payload += ",\"unique_id\":" + JsonString(uniqueId);
        payload += ",\"state_topic\":" + JsonString(StateTopic(prefix));
        payload += ",\"value_template\":\"{{ value_json." + key + " }}\"";
        payload += ",\"availability_topic\":" + JsonString(AvailabilityTopic(prefix));
        payload += ",\"unit_of_measurement\":" + JsonString(q.unit);
        if (q.deviceClass != nullptr)
            payload += ",\"device_class\":" + JsonString(q.deviceClass);
        payload += ",\"state_class\":\"measurement\",\"device\":" + device + '}';
        std::string topic = settings.discoveryPrefix;
        topic.append("/sensor/").append(node).append("/").append(key).append("/config");
        out.push_back({ std::move(topic), std::move(payload) });
    }
    return out;
}

std::vector<MqttMessage> AlarmDiscoveryMessages(
    const MqttSettings& settings, long serialNumber, const AlarmSettings& alarms)
{
    const std::string prefix = EffectiveTopicPrefix(settings, serialNumber);
    const std::string node = NodeId(serialNumber);
    std::vector<MqttMessage> out;
    for (std::size_t i = 0; i < kAlarmKindCount; ++i) {
        const auto kind = static_cast<AlarmKind>(i);
        const std::string name(AlarmName(kind));
        const std::string key = "alarm_" + Lower(name);
        std::string topic = settings.discoveryPrefix;
        topic.append("/binary_sensor/").append(node).append("/").append(key).append("/config");
        if (!AlarmOn(alarms, kind)) {
            out.push_back({ std::move(topic), std::string() });
            continue;
        }
        std::string payload = "{\"name\":" + JsonString(texts::mqtt::kAlarmNames[i]);
        std::string uniqueId = node;
        uniqueId.append("_").append(key);
        payload += ",\"unique_id\":" + JsonString(uniqueId);
        payload += ",\"state_topic\":" + JsonString(AlarmTopic(prefix));
        payload += ",\"value_template\":\"{{ 'ON' if '" + name
            + "' in value_json.active else 'OFF' }}\"";
        // The lost link makes the meter unavailable: its own alarm must not be.
        if (kind != AlarmKind::LinkLost)
            payload += ",\"availability_topic\":" + JsonString(AvailabilityTopic(prefix));
        payload += ",\"device_class\":\"problem\",\"device\":" + DeviceJson(serialNumber) + '}';
        out.push_back({ std::move(topic), std::move(payload) });
    }
    return out;
}

std::string MqttStateText(MqttState state, MqttFailure why, const std::string& host, int port)
{
    const std::string where = host + ':' + std::to_string(port);
    switch (state) {
    case MqttState::Off:
        return "Publikowanie wyłączone";
    case MqttState::WaitingForMeter:
        return "Oczekiwanie na numer seryjny miernika";
    case MqttState::Connecting:
        return "Łączenie z " + where + "…";
    case MqttState::Connected:
        return "Połączono z " + where;
    case MqttState::NotConnected:
        break;
    }
    return std::string("Brak połączenia: ") + FailureText(why);
}

unsigned NextRetrySeconds(unsigned previous)
{
    constexpr unsigned kLongest = 60;
    return previous == 0 ? 1 : (previous >= kLongest / 2 ? kLongest : previous * 2);
}
