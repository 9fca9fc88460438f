#include "alarms/AlarmCommand.h"
#include "alarms/AlarmLogFile.h"
#include "alarms/AlarmOutputs.h"
#include "alarms/AlarmSound.h"
#include "alarms/DesktopNotifier.h"
#include "resources/AlarmTexts.h"

#include <QDBusConnection>
#include <QObject>

#include <cstdio>
#include <cstring>

namespace {

// The alarms told on the session bus, the sound, the site's command and the
// log; what fails among them goes to standard error (the user's journal),
// never into a box.
class DesktopAlarmOutputs : public AlarmOutputs {
public:
    DesktopAlarmOutputs(QObject* parent, std::function<void()> acknowledge)
        : notifier_(QDBusConnection::sessionBus())
        , log_([](const std::string& path, int error) {
            if (error == 0)
                return;
            const std::string line = "qm482: " + std::string(texts::alarm::kLogWriteFailed) + "\n";
            std::fprintf(stderr, line.c_str(), path.c_str(), std::strerror(error));
        })
    {
        QObject::connect(&notifier_, &DesktopNotifier::acknowledgeRequested, parent,
            [acknowledge = std::move(acknowledge)] { acknowledge(); });
        QObject::connect(&command_, &AlarmCommand::failed, parent, [](const QString& message) {
            std::fprintf(stderr, "qm482: %s\n", message.toUtf8().constData());
        });
    }

    void Notify(AlarmKind kind, const NotificationText& text) override
    {
        notifier_.Show(kind, text);
    }
    void CloseNotification(AlarmKind kind) override { notifier_.Close(kind); }
    void CloseAllNotifications() override { notifier_.CloseAll(); }
    void PlaySound() override { sound_.Play(); }
    void RunCommand(const std::string& commandLine, const AlarmLogEntry& entry) override
    {
        command_.Start(commandLine, entry);
    }
    void WriteLog(const std::string& path, const AlarmLogEntry& entry) override
    {
        if (path != log_.path())
            log_.SetPath(path);
        log_.Write(entry);
    }

private:
    DesktopNotifier notifier_;
    AlarmSound sound_;
    AlarmCommand command_;
    AlarmLogFile log_;
};

} // namespace

std::unique_ptr<AlarmOutputs> MakeDesktopAlarmOutputs(
    QObject* parent, std::function<void()> acknowledge)
{
    return std::make_unique<DesktopAlarmOutputs>(parent, std::move(acknowledge));
}
