#pragma once

#include "alarms/AlarmOutputs.h"
#include "alarms/AlarmRules.h"
#include "recording/Readings.h"

#include <QObject>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QWidget;
class WindowTimers;

// The window's alarms: feeds every frame and a tick a second to the rules,
// and tells each beginning, end and acknowledgement through the outputs
// (notification, sound and its repeats, command, log).
class AlarmControl : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<std::int64_t()>; // steady milliseconds
    using LocalClock = std::function<LocalTime()>;

    static constexpr std::int64_t kSoundRepeatMs = 60000;
    // A notification shows the latest value, but is not rewritten every frame.
    static constexpr std::int64_t kNotificationUpdateMs = 10000;

    AlarmControl(QWidget* window, WindowTimers& timers, std::unique_ptr<AlarmOutputs> outputs,
        Clock clock = {}, LocalClock localClock = {});
    ~AlarmControl() override;

    // Read by the start-up routine before Start, written at the end.
    AlarmSettings settings;

    void Start();
    void OnLinkUpdate(bool good, const Measurement& m);
    void OnTimer(unsigned id);
    // "Ustawienia → Alarmy"; after OK the settings apply at once.
    void RunDialog();
    void Apply(const AlarmSettings& newSettings);
    // "Potwierdź alarmy", a click on a panel in alarm, a notification's action.
    void Acknowledge();
    // The program ends: notifications are closed, nothing waited for.
    void Shutdown();

    const AlarmRules& rules() const { return rules_; }
    // Whether the dialog was confirmed this run: only then is [ALARMS]
    // written, so a hand-edited section stays as its author wrote it.
    bool settingsConfirmed() const { return confirmed_; }
    std::optional<double> dewPoint() const { return dewPoint_; }
    // The status line's fragments.
    std::string dewPointText() const;
    std::string alarmText() const;
    // What panel 0, 1, 2 (temperature, humidity, pressure) shows in alarm,
    // empty for none.
    QString panelAlarm(int panel) const;

signals:
    // The active alarms, their acknowledgement or the settings changed.
    void changed();

private:
    void Step(const AlarmInput& input);
    void Tell(const std::vector<AlarmEvent>& events);
    void RefreshNotifications(std::int64_t ms);
    void ArmTick();
    std::int64_t Now() const { return clock_(); }

    QWidget* window_;
    WindowTimers& timers_;
    std::unique_ptr<AlarmOutputs> outputs_;
    Clock clock_;
    LocalClock localClock_;
    AlarmRules rules_;
    AlarmInput last_;
    long serial_ = 0;
    std::optional<double> dewPoint_;
    bool ticking_ = false;
    std::int64_t lastSoundMs_ = 0;
    struct Sent {
        std::string body;
        std::int64_t ms = 0;
    };
    std::array<Sent, kAlarmKindCount> sent_ {};
    std::vector<ActiveAlarm> shown_; // as `changed` last told it
    bool dialogOpen_ = false;
    bool confirmed_ = false;
};
