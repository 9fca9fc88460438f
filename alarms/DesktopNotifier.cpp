#include "alarms/DesktopNotifier.h"

#include "resources/AlarmTexts.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QStringList>
#include <QVariantMap>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kDesktopEntry = QStringLiteral("org.qm482.QM482");
const QString kActionKey = QStringLiteral("acknowledge");
constexpr uint kReasonDismissed = 2;
constexpr uchar kUrgencyCritical = 2;

QDBusMessage methodCall(const QString& method)
{
    return QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
}

} // namespace

DesktopNotifier::DesktopNotifier(const QDBusConnection& bus, QObject* parent)
    : QObject(parent)
    , bus_(bus)
{
    bus_.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
        SLOT(OnNotificationClosed(uint, uint)));
    bus_.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
        SLOT(OnActionInvoked(uint, QString)));
    auto* watcher
        = new QDBusServiceWatcher(kService, bus_, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
        &DesktopNotifier::OnServerOwnerChanged);
    AskCapabilities();
}

DesktopNotifier::~DesktopNotifier()
{
    CloseAll();
}

void DesktopNotifier::Show(AlarmKind kind, const NotificationText& text)
{
    if (closing_)
        return;
    const auto index = static_cast<std::size_t>(kind);
    Alarm& a = alarms_[index];
    a.current = text;
    if (a.dismissed)
        return;
    a.pending = text;
    Pump(index);
}

void DesktopNotifier::Close(AlarmKind kind)
{
    const auto index = static_cast<std::size_t>(kind);
    Alarm& a = alarms_[index];
    a.current.reset();
    a.pending.reset();
    a.dismissed = false;
    a.closeWanted = a.id != 0 || a.inFlight;
    Pump(index);
}

void DesktopNotifier::CloseAll()
{
    if (closing_)
        return;
    closing_ = true;
    for (Alarm& a : alarms_) {
        // One on its way is closed when its id comes.
        if (a.id != 0)
            CloseWithoutAnswer(a.id);
        a.current.reset();
        a.pending.reset();
        a.id = 0;
        a.closeWanted = false;
        a.dismissed = false;
    }
}

void DesktopNotifier::AskCapabilities()
{
    const std::uint64_t generation = generation_;
    auto* call = new QDBusPendingCallWatcher(bus_.asyncCall(methodCall("GetCapabilities")), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this, generation, call] {
        call->deleteLater();
        if (generation != generation_)
            return; // asked again since
        const QDBusMessage reply = call->reply();
        capabilitiesKnown_ = true;
        // No answer: notifications without actions, which every server shows.
        actions_ = reply.type() == QDBusMessage::ReplyMessage
            && reply.arguments().value(0).toStringList().contains(QStringLiteral("actions"));
        for (std::size_t i = 0; i < alarms_.size(); ++i)
            Pump(i);
    });
}

void DesktopNotifier::Pump(std::size_t index)
{
    Alarm& a = alarms_[index];
    if (closing_ || a.inFlight)
        return;
    if (a.closeWanted) {
        if (a.id != 0) {
            SendClose(index);
            return;
        }
        a.closeWanted = false;
    }
    if (a.pending && capabilitiesKnown_)
        SendNotify(index);
}

void DesktopNotifier::SendNotify(std::size_t index)
{
    Alarm& a = alarms_[index];
    const NotificationText text = *a.pending;
    a.pending.reset();
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(kUrgencyCritical));
    hints.insert(QStringLiteral("desktop-entry"), kDesktopEntry);
    QStringList actions;
    if (actions_)
        actions << kActionKey << QString::fromUtf8(texts::alarm::kActionAcknowledge);
    QDBusMessage m = methodCall(QStringLiteral("Notify"));
    m << QStringLiteral("QM482") << a.id << kDesktopEntry << QString::fromStdString(text.summary)
      << QString::fromStdString(text.body) << actions << hints << qint32(0);
    a.inFlight = true;
    const std::uint64_t generation = generation_;
    auto* call = new QDBusPendingCallWatcher(bus_.asyncCall(m), this);
    connect(call, &QDBusPendingCallWatcher::finished, this,
        [this, index, generation, call] { OnNotifyAnswered(index, generation, call); });
}

void DesktopNotifier::OnNotifyAnswered(
    std::size_t index, std::uint64_t generation, QDBusPendingCallWatcher* call)
{
    call->deleteLater();
    Alarm& a = alarms_[index];
    a.inFlight = false;
    const QDBusMessage reply = call->reply();
    const bool answered = reply.type() == QDBusMessage::ReplyMessage;
    const uint id = answered ? reply.arguments().value(0).toUInt() : 0;
    if (closing_) {
        // Shown after the program said its goodbye: taken away again.
        if (id != 0)
            CloseWithoutAnswer(id);
        return;
    }
    // From the server of now, or from one that is gone (whose notification
    // went with it): then the alarm is shown anew.
    const bool current = generation == generation_ || (answered && reply.service() == owner_);
    if (answered && current) {
        a.id = id;
        // Dismissed while the update was on its way, which showed it again.
        if (a.dismissed)
            a.closeWanted = true;
    } else if (!current) {
        a.id = 0;
        if (a.current && !a.dismissed && !a.pending && !a.closeWanted)
            a.pending = a.current;
    }
    // An error from the server of now: that text is not shown; the next
    // update tries again.
    Pump(index);
}

void DesktopNotifier::SendClose(std::size_t index)
{
    Alarm& a = alarms_[index];
    QDBusMessage m = methodCall(QStringLiteral("CloseNotification"));
    m << a.id;
    m.setAutoStartService(false);
    a.inFlight = true;
    auto* call = new QDBusPendingCallWatcher(bus_.asyncCall(m), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this, index, call] {
        call->deleteLater();
        Alarm& closed = alarms_[index];
        closed.inFlight = false;
        // Closed, refused or unanswered: that id is not ours any more.
        closed.id = 0;
        closed.closeWanted = false;
        Pump(index);
    });
}

void DesktopNotifier::CloseWithoutAnswer(uint id)
{
    QDBusMessage m = methodCall(QStringLiteral("CloseNotification"));
    m << id;
    m.setAutoStartService(false);
    bus_.send(m);
}

void DesktopNotifier::OnNotificationClosed(uint id, uint reason)
{
    if (id == 0)
        return;
    for (Alarm& a : alarms_) {
        if (a.id != id)
            continue;
        a.id = 0;
        if (reason == kReasonDismissed && a.current) {
            a.dismissed = true;
            a.pending.reset();
        }
    }
}

void DesktopNotifier::OnActionInvoked(uint id, const QString& actionKey)
{
    if (id == 0 || actionKey != kActionKey)
        return;
    for (const Alarm& a : alarms_) {
        if (a.id == id) {
            emit acknowledgeRequested();
            return;
        }
    }
}

void DesktopNotifier::OnServerOwnerChanged(
    const QString& /*service*/, const QString& /*oldOwner*/, const QString& newOwner)
{
    // A new server knows none of our notifications: ask it afresh and show
    // again what is still on.
    ++generation_;
    owner_ = newOwner;
    capabilitiesKnown_ = false;
    actions_ = false;
    for (Alarm& a : alarms_) {
        if (a.inFlight)
            continue; // settled when its answer comes
        a.id = 0;
        a.closeWanted = false;
        if (a.current && !a.dismissed)
            a.pending = a.current;
    }
    if (!closing_)
        AskCapabilities();
}
