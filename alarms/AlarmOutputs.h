#pragma once

#include "alarms/AlarmLog.h"
#include "alarms/AlarmText.h"

#include <functional>
#include <memory>
#include <string>

class QObject;

// Where the alarms are told: the desktop's notifications, its sound, the
// site's command and the alarm log. The window's alarm part speaks only
// through this, so its rules can be followed in a test without a desktop.
class AlarmOutputs {
public:
    virtual ~AlarmOutputs() = default;
    virtual void Notify(AlarmKind kind, const NotificationText& text) = 0;
    virtual void CloseNotification(AlarmKind kind) = 0;
    virtual void CloseAllNotifications() = 0;
    virtual void PlaySound() = 0;
    virtual void RunCommand(const std::string& commandLine, const AlarmLogEntry& entry) = 0;
    virtual void WriteLog(const std::string& path, const AlarmLogEntry& entry) = 0;
};

// The real ones, on the session bus; `acknowledge` runs when a person
// acknowledges from a notification.
std::unique_ptr<AlarmOutputs> MakeDesktopAlarmOutputs(
    QObject* parent, std::function<void()> acknowledge);
