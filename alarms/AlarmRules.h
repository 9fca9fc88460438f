#pragma once

#include "alarms/AlarmSettings.h"
#include "device/Measurement.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

enum class AlarmKind {
    TemperatureHigh,
    TemperatureLow,
    HumidityHigh,
    HumidityLow,
    PressureHigh,
    PressureLow,
    Condensation,
    LinkLost,
    MeterError,
};
inline constexpr std::size_t kAlarmKindCount = 9;

// The name in the log, the command's environment and the broker's topics:
// the settings key it is switched on with ("TEMP_HIGH", "DEWPOINT_SPREAD",
// "LINK_LOST", "METER_ERROR" …).
std::string_view AlarmName(AlarmKind kind);
std::optional<AlarmKind> AlarmKindFromName(std::string_view name);
// Whether the settings switch the alarm on.
bool AlarmOn(const AlarmSettings& settings, AlarmKind kind);

enum class AlarmEventType { Begin, End, Acknowledge };
// "begin", "end", "ack".
std::string_view AlarmEventName(AlarmEventType type);
std::optional<AlarmEventType> AlarmEventTypeFromName(std::string_view name);

// Value and limit in the quantity's unit; for condensation the spread
// between temperature and dew point and its setting; none for the link and
// the meter's error.
struct AlarmEvent {
    AlarmKind kind = AlarmKind::TemperatureHigh;
    AlarmEventType type = AlarmEventType::Begin;
    std::optional<double> value;
    std::optional<double> limit;
    std::int64_t ms = 0;
    bool operator==(const AlarmEvent&) const = default;
};

struct ActiveAlarm {
    AlarmKind kind = AlarmKind::TemperatureHigh;
    std::optional<double> value; // the latest one
    std::optional<double> limit;
    bool acknowledged = false;
    std::int64_t sinceMs = 0;
    bool operator==(const ActiveAlarm&) const = default;
};

// What one evaluation looks at. A quantity without a value is one the
// window shows as "???" or as blinking: no link, or the meter's error.
struct AlarmInput {
    std::int64_t ms = 0; // a steady clock
    bool linkGood = false;
    std::optional<double> temperature;
    std::optional<double> humidity;
    std::optional<double> pressure;
    bool meterError = false; // any of the meter's error flags
};
AlarmInput AlarmInputFrom(std::int64_t ms, bool linkGood, const Measurement& m);

// The alarm state of one meter: plain state, fed every frame, every link
// change and once a second in between (so that waits end without frames).
class AlarmRules {
public:
    // New settings: an alarm switched off ends at once; new limits apply
    // from the next evaluation.
    std::vector<AlarmEvent> SetSettings(const AlarmSettings& settings, std::int64_t ms);
    std::vector<AlarmEvent> Step(const AlarmInput& input);
    // Every active alarm not yet acknowledged is; one event each.
    std::vector<AlarmEvent> Acknowledge(std::int64_t ms);

    // In the order of AlarmKind.
    std::vector<ActiveAlarm> active() const;
    bool anyActive() const;
    bool anyUnacknowledged() const;
    bool isActive(AlarmKind kind) const { return state_[Index(kind)].on; }
    const AlarmSettings& settings() const { return settings_; }

private:
    struct State {
        bool on = false;
        bool waiting = false; // the condition holds, its delay runs
        std::int64_t conditionSinceMs = 0;
        bool acknowledged = false;
        std::int64_t sinceMs = 0;
        std::optional<double> value;
        std::optional<double> limit;
    };
    static std::size_t Index(AlarmKind k) { return static_cast<std::size_t>(k); }
    bool Enabled(AlarmKind kind) const;
    // One alarm with a condition that is known (true/false) or held (none).
    void Evaluate(AlarmKind kind, std::optional<bool> beginCondition, bool endCondition,
        std::optional<double> value, std::optional<double> limit, std::int64_t delayMs,
        std::int64_t ms, std::vector<AlarmEvent>& events);

    AlarmSettings settings_;
    std::array<State, kAlarmKindCount> state_ {};
};
