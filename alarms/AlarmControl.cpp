#include "alarms/AlarmControl.h"

#include "alarms/AlarmDialog.h"
#include "alarms/DewPoint.h"
#include "platform/WindowTimers.h"
#include "recording/RecordingControl.h"
#include "resources/CommandIds.h"

#include <chrono>

namespace {

std::int64_t SteadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// What `changed` tells: which alarms, and whether acknowledged.
bool SameShown(const std::vector<ActiveAlarm>& a, const std::vector<ActiveAlarm>& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
        return x.kind == y.kind && x.acknowledged == y.acknowledged && x.limit == y.limit;
    });
}

} // namespace

AlarmControl::AlarmControl(QWidget* window, WindowTimers& timers,
    std::unique_ptr<AlarmOutputs> outputs, Clock clock, LocalClock localClock)
    : window_(window)
    , timers_(timers)
    , outputs_(std::move(outputs))
    , clock_(clock ? std::move(clock) : Clock(&SteadyMs))
    , localClock_(localClock ? std::move(localClock) : LocalClock(&RecordingControl::LocalNow))
{
}

AlarmControl::~AlarmControl() = default;

void AlarmControl::Start()
{
    Apply(settings);
}

void AlarmControl::Apply(const AlarmSettings& newSettings)
{
    const bool wasNotifying = settings.notify;
    settings = newSettings;
    const std::int64_t ms = Now();
    Tell(rules_.SetSettings(settings, ms));
    if (wasNotifying && !settings.notify)
        outputs_->CloseAllNotifications();
    ArmTick();
    last_.ms = ms;
    Step(last_);
    // Which alarms are on may have changed: the broker's configs follow.
    emit changed();
}

void AlarmControl::ArmTick()
{
    const bool on = AnyAlarmOn(settings);
    if (on && !ticking_)
        timers_.SetTimer(ids::TIMER_ALARM_TICK, 1000);
    else if (!on && ticking_)
        timers_.KillTimer(ids::TIMER_ALARM_TICK);
    ticking_ = on;
}

void AlarmControl::OnLinkUpdate(bool good, const Measurement& m)
{
    if (good)
        serial_ = m.serialNumber;
    const AlarmInput in = AlarmInputFrom(Now(), good, m);
    dewPoint_.reset();
    if (in.temperature && in.humidity)
        dewPoint_ = DewPoint(*in.temperature, *in.humidity);
    if (!AnyAlarmOn(settings)) {
        last_ = in;
        return;
    }
    Step(in);
}

void AlarmControl::OnTimer(unsigned id)
{
    if (id != ids::TIMER_ALARM_TICK)
        return;
    AlarmInput in = last_;
    in.ms = Now();
    Step(in);
    if (settings.sound && rules_.anyUnacknowledged() && in.ms - lastSoundMs_ >= kSoundRepeatMs) {
        lastSoundMs_ = in.ms;
        outputs_->PlaySound();
    }
}

void AlarmControl::Step(const AlarmInput& input)
{
    last_ = input;
    Tell(rules_.Step(input));
    RefreshNotifications(input.ms);
}

void AlarmControl::Acknowledge()
{
    Tell(rules_.Acknowledge(Now()));
}

void AlarmControl::Tell(const std::vector<AlarmEvent>& events)
{
    if (!events.empty()) {
        const LocalTime now = localClock_();
        const auto active = rules_.active();
        for (const AlarmEvent& e : events) {
            const AlarmLogEntry entry { now, serial_, e.kind, e.type, e.value, e.limit };
            if (!settings.logFile.empty())
                outputs_->WriteLog(settings.logFile, entry);
            if (e.type != AlarmEventType::Acknowledge && !settings.command.empty())
                outputs_->RunCommand(settings.command, entry);
            Sent& sent = sent_[static_cast<std::size_t>(e.kind)];
            if (e.type == AlarmEventType::End) {
                if (settings.notify)
                    outputs_->CloseNotification(e.kind);
                sent = {};
                continue;
            }
            const auto it = std::find_if(active.begin(), active.end(),
                [&](const ActiveAlarm& a) { return a.kind == e.kind; });
            if (settings.notify && it != active.end()) {
                const NotificationText text = AlarmNotification(serial_, *it);
                outputs_->Notify(e.kind, text);
                sent = { text.body, e.ms };
            }
            if (e.type == AlarmEventType::Begin && settings.sound) {
                outputs_->PlaySound();
                lastSoundMs_ = e.ms;
            }
        }
    }
    const auto active = rules_.active();
    if (!SameShown(active, shown_)) {
        shown_ = active;
        emit changed();
    }
}

void AlarmControl::RefreshNotifications(std::int64_t ms)
{
    if (!settings.notify)
        return;
    for (const ActiveAlarm& a : rules_.active()) {
        Sent& sent = sent_[static_cast<std::size_t>(a.kind)];
        if (ms - sent.ms < kNotificationUpdateMs)
            continue;
        const NotificationText text = AlarmNotification(serial_, a);
        if (text.body == sent.body)
            continue;
        outputs_->Notify(a.kind, text);
        sent = { text.body, ms };
    }
}

void AlarmControl::RunDialog()
{
    if (dialogOpen_)
        return;
    dialogOpen_ = true;
    AlarmDialog dialog(settings, window_);
    const bool ok = dialog.exec() == QDialog::Accepted;
    dialogOpen_ = false;
    if (!ok)
        return;
    confirmed_ = true;
    Apply(dialog.settings());
}

void AlarmControl::Shutdown()
{
    if (ticking_)
        timers_.KillTimer(ids::TIMER_ALARM_TICK);
    ticking_ = false;
    outputs_->CloseAllNotifications();
}

std::string AlarmControl::dewPointText() const
{
    return settings.showDewPoint ? DewPointFragment(dewPoint_) : std::string();
}

std::string AlarmControl::alarmText() const
{
    return AlarmStatusFragment(rules_.active());
}

QString AlarmControl::panelAlarm(int panel) const
{
    QString out;
    for (const ActiveAlarm& a : rules_.active()) {
        const int p = AlarmPanel(a.kind);
        if (p != panel && p != -1)
            continue;
        if (!out.isEmpty())
            out += QStringLiteral(", ");
        out += QString::fromStdString(AlarmDescription(a));
    }
    return out;
}
