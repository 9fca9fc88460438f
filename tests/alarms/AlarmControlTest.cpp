#include "alarms/AlarmControl.h"
#include "platform/WindowTimers.h"
#include "resources/CommandIds.h"

#include <gtest/gtest.h>

#include <QWidget>

namespace {

// Everything the control tells, one line each.
class Told : public AlarmOutputs {
public:
    explicit Told(std::vector<std::string>& lines)
        : lines_(lines)
    {
    }
    void Notify(AlarmKind kind, const NotificationText& text) override
    {
        lines_.push_back("notify " + std::string(AlarmName(kind)) + ": " + text.body);
    }
    void CloseNotification(AlarmKind kind) override
    {
        lines_.push_back("close " + std::string(AlarmName(kind)));
    }
    void CloseAllNotifications() override { lines_.emplace_back("close all"); }
    void PlaySound() override { lines_.emplace_back("sound"); }
    void RunCommand(const std::string& line, const AlarmLogEntry& e) override
    {
        lines_.push_back("run " + line + " " + std::string(AlarmEventName(e.type)));
    }
    void WriteLog(const std::string&, const AlarmLogEntry& e) override
    {
        lines_.push_back("log " + FormatAlarmLogLine(e).substr(20));
    }

private:
    std::vector<std::string>& lines_;
};

struct Fixture {
    std::int64_t ms = 0;
    std::vector<std::string> told;
    QWidget window;
    WindowTimers timers { [](unsigned) {}, &window };
    AlarmControl control { &window, timers, std::make_unique<Told>(told), [this] { return ms; },
        [] {
            return LocalTime { 2026, 12, 9, 8, 0, 0 };
        } };

    void Frame(double temperature)
    {
        Measurement m;
        m.serialNumber = 4660;
        m.temperature = temperature;
        m.humidity = 50;
        m.pressure = 1000;
        control.OnLinkUpdate(true, m);
    }
    // Seconds pass with a tick each second, a frame each with `temperature`.
    void Run(int seconds, std::optional<double> temperature)
    {
        for (int i = 0; i < seconds; ++i) {
            ms += 1000;
            if (temperature)
                Frame(*temperature);
            control.OnTimer(ids::TIMER_ALARM_TICK);
        }
    }
    std::vector<std::string> Take() { return std::exchange(told, {}); }
};

AlarmSettings HighAt25()
{
    AlarmSettings s;
    s.configured = true;
    s.temperature = { true, 25.0, false, 0.0, 0.5 };
    s.command = "/bin/mail-it";
    s.logFile = "/tmp/alarms.log";
    return s;
}

using Lines = std::vector<std::string>;

TEST(AlarmControl, BeginRepeatAcknowledgeEnd)
{
    Fixture f;
    f.control.settings = HighAt25();
    f.control.Start();
    f.Run(3, 21.0);
    EXPECT_EQ(f.Take(), Lines {});
    f.Run(1, 25.5);
    EXPECT_EQ(f.Take(),
        (Lines { "log 4660\tTEMP_HIGH\tbegin\t25.5\t25\n", "run /bin/mail-it begin",
            "notify TEMP_HIGH: Temperatura 25.5 °C, powyżej progu 25.0 °C.", "sound" }));
    EXPECT_EQ(f.control.alarmText(), "Alarm: temperatura powyżej 25.0 °C. ");
    EXPECT_EQ(f.control.panelAlarm(0).toStdString(), "temperatura powyżej 25.0 °C");
    EXPECT_TRUE(f.control.panelAlarm(1).isEmpty());

    // The value moves every frame: the notification follows it, but not
    // more often than every ten seconds; the sound repeats each minute.
    f.Run(59, 26.0);
    const Lines minute = f.Take();
    EXPECT_EQ(std::count(minute.begin(), minute.end(), "sound"), 0);
    EXPECT_EQ(minute.front(), "notify TEMP_HIGH: Temperatura 26.0 °C, powyżej progu 25.0 °C.");
    EXPECT_EQ(minute.size(), 1u);
    f.Run(1, 26.0);
    EXPECT_EQ(f.Take(), Lines { "sound" });

    f.control.Acknowledge();
    EXPECT_EQ(f.Take(),
        (Lines { "log 4660\tTEMP_HIGH\tack\t26\t25\n",
            "notify TEMP_HIGH: Temperatura 26.0 °C, powyżej progu 25.0 °C. Alarm potwierdzony." }));
    EXPECT_EQ(f.control.alarmText(), "Alarm: temperatura powyżej 25.0 °C (potwierdzony). ");
    f.Run(180, 26.0);
    EXPECT_EQ(f.Take(), Lines {});

    f.Run(1, 24.5);
    EXPECT_EQ(f.Take(),
        (Lines {
            "log 4660\tTEMP_HIGH\tend\t24.5\t25\n", "run /bin/mail-it end", "close TEMP_HIGH" }));
    EXPECT_EQ(f.control.alarmText(), "");
}

TEST(AlarmControl, TheLinkAlarmNeedsNoFramesAndQuietSettingsTellOnlyTheLog)
{
    Fixture f;
    AlarmSettings s;
    s.configured = true;
    s.linkLostOn = true;
    s.linkLostDelaySeconds = 30;
    s.notify = false;
    s.sound = false;
    s.logFile = "/tmp/alarms.log";
    f.control.settings = s;
    f.control.Start();
    f.Frame(21.0);
    f.control.OnLinkUpdate(false, {});
    f.Run(29, std::nullopt);
    EXPECT_EQ(f.Take(), Lines {});
    f.Run(1, std::nullopt);
    EXPECT_EQ(f.Take(), Lines { "log 4660\tLINK_LOST\tbegin\t-\t-\n" });
    EXPECT_EQ(f.control.panelAlarm(2).toStdString(), "brak komunikacji z miernikiem");

    // Switched off in the dialog: the alarm ends at once.
    s.linkLostOn = false;
    f.control.Apply(s);
    EXPECT_EQ(f.Take(), Lines { "log 4660\tLINK_LOST\tend\t-\t-\n" });
}

} // namespace
