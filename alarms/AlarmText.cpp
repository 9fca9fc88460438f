#include "alarms/AlarmText.h"

#include "resources/AlarmTexts.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace {

namespace text = texts::alarm;

template<typename... Args> std::string format(const char* fmt, Args... args)
{
    char buf[256];
    const int n = std::snprintf(buf, sizeof buf, fmt, args...);
    return n < 0 ? std::string() : std::string(buf, std::min<std::size_t>(n, sizeof buf - 1));
}

// One decimal and a point, whatever the locale: as the panels show numbers.
std::string OneDecimal(std::optional<double> v)
{
    char buf[32];
    const auto r
        = std::to_chars(buf, buf + sizeof buf, v.value_or(0.0), std::chars_format::fixed, 1);
    std::string out = r.ec == std::errc() ? std::string(buf, r.ptr) : std::string("0.0");
    return out == "-0.0" ? "0.0" : out;
}

const char* LimitText(AlarmKind kind)
{
    switch (kind) {
    case AlarmKind::TemperatureHigh:
        return text::kTemperatureHigh;
    case AlarmKind::TemperatureLow:
        return text::kTemperatureLow;
    case AlarmKind::HumidityHigh:
        return text::kHumidityHigh;
    case AlarmKind::HumidityLow:
        return text::kHumidityLow;
    case AlarmKind::PressureHigh:
        return text::kPressureHigh;
    case AlarmKind::PressureLow:
        return text::kPressureLow;
    case AlarmKind::Condensation:
        return text::kCondensation;
    case AlarmKind::LinkLost:
        return text::kLinkLost;
    case AlarmKind::MeterError:
        return text::kMeterError;
    }
    return "";
}

const char* BodyText(AlarmKind kind)
{
    switch (kind) {
    case AlarmKind::TemperatureHigh:
        return text::kBodyTemperatureHigh;
    case AlarmKind::TemperatureLow:
        return text::kBodyTemperatureLow;
    case AlarmKind::HumidityHigh:
        return text::kBodyHumidityHigh;
    case AlarmKind::HumidityLow:
        return text::kBodyHumidityLow;
    case AlarmKind::PressureHigh:
        return text::kBodyPressureHigh;
    case AlarmKind::PressureLow:
        return text::kBodyPressureLow;
    case AlarmKind::Condensation:
        return text::kBodyCondensation;
    case AlarmKind::LinkLost:
        return text::kBodyLinkLost;
    case AlarmKind::MeterError:
        return text::kBodyMeterError;
    }
    return "";
}

} // namespace

std::string AlarmDescription(const ActiveAlarm& a)
{
    return format(LimitText(a.kind), OneDecimal(a.limit).c_str());
}

std::string AlarmStatusFragment(const std::vector<ActiveAlarm>& active)
{
    if (active.empty())
        return {};
    std::string out = text::kStatusPrefix;
    for (std::size_t i = 0; i < active.size(); ++i) {
        if (i > 0)
            out += text::kStatusSeparator;
        out += AlarmDescription(active[i]);
        if (active[i].acknowledged)
            out += text::kAcknowledged;
    }
    return out + text::kStatusEnd;
}

std::string DewPointFragment(std::optional<double> dewPoint)
{
    return dewPoint ? format(text::kDewPoint, OneDecimal(dewPoint).c_str()) : std::string();
}

NotificationText AlarmNotification(long serialNumber, const ActiveAlarm& a)
{
    NotificationText n;
    n.summary = format(text::kNotificationSummary, static_cast<int>(serialNumber));
    n.body = format(BodyText(a.kind), OneDecimal(a.value).c_str(), OneDecimal(a.limit).c_str());
    if (a.acknowledged)
        n.body += text::kBodyAcknowledged;
    return n;
}

int AlarmPanel(AlarmKind kind)
{
    switch (kind) {
    case AlarmKind::TemperatureHigh:
    case AlarmKind::TemperatureLow:
        return 0;
    case AlarmKind::HumidityHigh:
    case AlarmKind::HumidityLow:
    case AlarmKind::Condensation:
        return 1;
    case AlarmKind::PressureHigh:
    case AlarmKind::PressureLow:
        return 2;
    case AlarmKind::LinkLost:
    case AlarmKind::MeterError:
        return -1;
    }
    return -1;
}
