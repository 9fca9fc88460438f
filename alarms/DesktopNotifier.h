#pragma once

#include "alarms/AlarmRules.h"
#include "alarms/AlarmText.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

class QDBusPendingCallWatcher;

// The alarms on the desktop's notification server
// (org.freedesktop.Notifications): one critical notification per alarm
// kind, updated in place, with "Potwierdź" where the server shows actions.
// Every call is asynchronous and at most one is in flight per alarm; what
// comes meanwhile waits as the latest text only. A server that is missing,
// slow or silent costs the window nothing.
class DesktopNotifier : public QObject {
    Q_OBJECT
public:
    explicit DesktopNotifier(const QDBusConnection& bus, QObject* parent = nullptr);
    // Closes what is shown, as CloseAll: nobody is left to act on it.
    ~DesktopNotifier() override;
    DesktopNotifier(const DesktopNotifier&) = delete;
    DesktopNotifier& operator=(const DesktopNotifier&) = delete;

    // Shows the alarm's notification, or updates the one shown in place.
    // Once the user has dismissed it, updates stay away until Close.
    void Show(AlarmKind kind, const NotificationText& text);
    // The alarm ended: its notification is closed.
    void Close(AlarmKind kind);
    // The program ends: closes every notification, without waiting for any
    // answer; nothing is shown afterwards.
    void CloseAll();

signals:
    void acknowledgeRequested(); // the user chose "Potwierdź" on a notification

private slots:
    void OnNotificationClosed(uint id, uint reason);
    void OnActionInvoked(uint id, const QString& actionKey);
    void OnServerOwnerChanged(
        const QString& service, const QString& oldOwner, const QString& newOwner);

private:
    struct Alarm {
        std::optional<NotificationText> current; // between Show and Close
        std::optional<NotificationText> pending; // still to be sent
        uint id = 0; // the server's, 0 while none is known
        bool closeWanted = false; // the one shown goes before anything else
        bool inFlight = false;
        bool dismissed = false;
    };

    void AskCapabilities();
    void Pump(std::size_t index);
    void SendNotify(std::size_t index);
    void SendClose(std::size_t index);
    void CloseWithoutAnswer(uint id);
    void OnNotifyAnswered(
        std::size_t index, std::uint64_t generation, QDBusPendingCallWatcher* call);

    QDBusConnection bus_;
    std::array<Alarm, kAlarmKindCount> alarms_ {};
    bool capabilitiesKnown_ = false;
    bool actions_ = false;
    // Counts the server's owner changes: an answer from before one is from a
    // server that is gone.
    std::uint64_t generation_ = 0;
    QString owner_;
    bool closing_ = false;
};
