#include "alarms/AlarmRules.h"

#include "alarms/DewPoint.h"

#include <algorithm>

namespace {

constexpr std::array<std::string_view, kAlarmKindCount> kNames
    = { "TEMP_HIGH", "TEMP_LOW", "RH_HIGH", "RH_LOW", "PRESSURE_HIGH", "PRESSURE_LOW",
          "DEWPOINT_SPREAD", "LINK_LOST", "METER_ERROR" };
constexpr std::array<std::string_view, 3> kEventNames = { "begin", "end", "ack" };

} // namespace

std::string_view AlarmName(AlarmKind kind)
{
    return kNames[static_cast<std::size_t>(kind)];
}

std::optional<AlarmKind> AlarmKindFromName(std::string_view name)
{
    const auto it = std::find(kNames.begin(), kNames.end(), name);
    if (it == kNames.end())
        return std::nullopt;
    return static_cast<AlarmKind>(it - kNames.begin());
}

std::string_view AlarmEventName(AlarmEventType type)
{
    return kEventNames[static_cast<std::size_t>(type)];
}

std::optional<AlarmEventType> AlarmEventTypeFromName(std::string_view name)
{
    const auto it = std::find(kEventNames.begin(), kEventNames.end(), name);
    if (it == kEventNames.end())
        return std::nullopt;
    return static_cast<AlarmEventType>(it - kEventNames.begin());
}

AlarmInput AlarmInputFrom(std::int64_t ms, bool linkGood, const Measurement& m)
{
    AlarmInput in;
    in.ms = ms;
    in.linkGood = linkGood;
    in.meterError = m.anyError();
    if (!linkGood)
        return in;
    // As the panels show them: a quantity in error (or a failed calibration)
    // has no value to judge.
    if (!m.temperatureError && !m.calibrationError)
        in.temperature = m.temperature;
    if (!m.humidityError && !m.calibrationError)
        in.humidity = m.humidity;
    if (!m.pressureError && !m.calibrationError)
        in.pressure = m.pressure;
    return in;
}

bool AlarmRules::Enabled(AlarmKind kind) const
{
    return AlarmOn(settings_, kind);
}

bool AlarmOn(const AlarmSettings& s, AlarmKind kind)
{
    switch (kind) {
    case AlarmKind::TemperatureHigh:
        return s.temperature.highOn;
    case AlarmKind::TemperatureLow:
        return s.temperature.lowOn;
    case AlarmKind::HumidityHigh:
        return s.humidity.highOn;
    case AlarmKind::HumidityLow:
        return s.humidity.lowOn;
    case AlarmKind::PressureHigh:
        return s.pressure.highOn;
    case AlarmKind::PressureLow:
        return s.pressure.lowOn;
    case AlarmKind::Condensation:
        return s.dewPointSpreadOn;
    case AlarmKind::LinkLost:
        return s.linkLostOn;
    case AlarmKind::MeterError:
        return s.meterErrorOn;
    }
    return false;
}

std::vector<AlarmEvent> AlarmRules::SetSettings(const AlarmSettings& settings, std::int64_t ms)
{
    settings_ = settings;
    std::vector<AlarmEvent> events;
    for (std::size_t i = 0; i < kAlarmKindCount; ++i) {
        const auto kind = static_cast<AlarmKind>(i);
        if (Enabled(kind))
            continue;
        State& st = state_[i];
        if (st.on)
            events.push_back({ kind, AlarmEventType::End, st.value, st.limit, ms });
        st = State {};
    }
    return events;
}

void AlarmRules::Evaluate(AlarmKind kind, std::optional<bool> beginCondition, bool endCondition,
    std::optional<double> value, std::optional<double> limit, std::int64_t delayMs, std::int64_t ms,
    std::vector<AlarmEvent>& events)
{
    State& st = state_[Index(kind)];
    if (!Enabled(kind) || !beginCondition)
        return; // held: nothing known about it now
    if (st.on) {
        st.value = value;
        st.limit = limit;
        if (endCondition) {
            events.push_back({ kind, AlarmEventType::End, value, limit, ms });
            st = State {};
        }
        return;
    }
    if (!*beginCondition) {
        st.waiting = false;
        return;
    }
    if (!st.waiting) {
        st.waiting = true;
        st.conditionSinceMs = ms;
    }
    if (ms - st.conditionSinceMs < delayMs)
        return;
    st.on = true;
    st.waiting = false;
    st.acknowledged = false;
    st.sinceMs = ms;
    st.value = value;
    st.limit = limit;
    events.push_back({ kind, AlarmEventType::Begin, value, limit, ms });
}

std::vector<AlarmEvent> AlarmRules::Step(const AlarmInput& in)
{
    std::vector<AlarmEvent> events;
    const std::int64_t delay = std::int64_t { settings_.delaySeconds } * 1000;
    auto limits = [&](AlarmKind high, AlarmKind low, const LimitSettings& l,
                      std::optional<double> v) {
        if (!v) {
            Evaluate(high, std::nullopt, false, v, l.high, delay, in.ms, events);
            Evaluate(low, std::nullopt, false, v, l.low, delay, in.ms, events);
            return;
        }
        Evaluate(high, *v > l.high, *v <= l.high - l.hysteresis, v, l.high, delay, in.ms, events);
        Evaluate(low, *v < l.low, *v >= l.low + l.hysteresis, v, l.low, delay, in.ms, events);
    };
    limits(AlarmKind::TemperatureHigh, AlarmKind::TemperatureLow, settings_.temperature,
        in.temperature);
    limits(AlarmKind::HumidityHigh, AlarmKind::HumidityLow, settings_.humidity, in.humidity);
    limits(AlarmKind::PressureHigh, AlarmKind::PressureLow, settings_.pressure, in.pressure);

    std::optional<double> spread;
    if (in.temperature && in.humidity) {
        if (const auto dp = DewPoint(*in.temperature, *in.humidity))
            spread = *in.temperature - *dp;
    }
    const double spreadLimit = settings_.dewPointSpread;
    Evaluate(AlarmKind::Condensation,
        spread ? std::optional<bool>(*spread < spreadLimit) : std::nullopt,
        spread && *spread >= spreadLimit, spread, spreadLimit, delay, in.ms, events);

    Evaluate(AlarmKind::LinkLost, !in.linkGood, in.linkGood, std::nullopt, std::nullopt,
        std::int64_t { settings_.linkLostDelaySeconds } * 1000, in.ms, events);

    // The meter's flags mean nothing while the link is down: held.
    Evaluate(AlarmKind::MeterError, in.linkGood ? std::optional<bool>(in.meterError) : std::nullopt,
        in.linkGood && !in.meterError, std::nullopt, std::nullopt, 0, in.ms, events);
    return events;
}

std::vector<AlarmEvent> AlarmRules::Acknowledge(std::int64_t ms)
{
    std::vector<AlarmEvent> events;
    for (std::size_t i = 0; i < kAlarmKindCount; ++i) {
        State& st = state_[i];
        if (!st.on || st.acknowledged)
            continue;
        st.acknowledged = true;
        events.push_back(
            { static_cast<AlarmKind>(i), AlarmEventType::Acknowledge, st.value, st.limit, ms });
    }
    return events;
}

std::vector<ActiveAlarm> AlarmRules::active() const
{
    std::vector<ActiveAlarm> out;
    for (std::size_t i = 0; i < kAlarmKindCount; ++i) {
        const State& st = state_[i];
        if (st.on)
            out.push_back(
                { static_cast<AlarmKind>(i), st.value, st.limit, st.acknowledged, st.sinceMs });
    }
    return out;
}

bool AlarmRules::anyActive() const
{
    return std::any_of(state_.begin(), state_.end(), [](const State& s) { return s.on; });
}

bool AlarmRules::anyUnacknowledged() const
{
    return std::any_of(
        state_.begin(), state_.end(), [](const State& s) { return s.on && !s.acknowledged; });
}
