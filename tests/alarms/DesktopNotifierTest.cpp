// The notifier against a notification server of the test's own on a
// private bus: what it is sent, in which order, and what it answers.
#include "alarms/DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QSignalSpy>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "support/EventLoop.h"

namespace {

const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

// Records every call; answers at once, or holds its answers until Release.
class FakeServer : public QObject, public QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Call {
        uint replacesId = 0;
        QString appName, icon, summary, body;
        QStringList actions;
        QVariantMap hints;
        int timeout = -1;
    };

    // `queued`: waits for the name while another server has it.
    explicit FakeServer(const QString& name, bool queued = false)
        : name_(name)
        , bus_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, name))
    {
        bus_.registerObject(kPath, this, QDBusConnection::ExportAllSlots);
        const auto reply = bus_.interface()->registerService(kInterface,
            queued ? QDBusConnectionInterface::QueueService
                   : QDBusConnectionInterface::DontQueueService);
        registered
            = reply.isValid() && reply.value() != QDBusConnectionInterface::ServiceNotRegistered;
    }
    ~FakeServer() override
    {
        // Out of the bus's reach before it goes: a call may be arriving.
        bus_.unregisterObject(kPath);
        QDBusConnection::disconnectFromBus(name_);
    }

    void Release()
    {
        for (const QDBusMessage& m : held_)
            bus_.send(m);
        held_.clear();
    }
    void Emit(const QString& signal, uint id, const QVariant& second)
    {
        bus_.send(QDBusMessage::createSignal(kPath, kInterface, signal) << id << second);
    }

    bool registered = false;
    QStringList capabilities { QStringLiteral("body"), QStringLiteral("actions") };
    bool holdCapabilities = false;
    bool holdNotify = false;
    int capabilityCalls = 0;
    std::vector<Call> notifies;
    std::vector<uint> closes;

public slots:
    QStringList GetCapabilities()
    {
        ++capabilityCalls;
        if (holdCapabilities) {
            setDelayedReply(true); // never answered
            return {};
        }
        return capabilities;
    }
    uint Notify(const QString& appName, uint replacesId, const QString& icon,
        const QString& summary, const QString& body, const QStringList& actions,
        const QVariantMap& hints, int timeout)
    {
        notifies.push_back({ replacesId, appName, icon, summary, body, actions, hints, timeout });
        const uint id = replacesId != 0 ? replacesId : nextId_++;
        if (holdNotify) {
            setDelayedReply(true);
            held_.push_back(message().createReply(id));
        }
        return id;
    }
    void CloseNotification(uint id) { closes.push_back(id); }

private:
    QString name_;
    QDBusConnection bus_;
    uint nextId_ = 1;
    std::vector<QDBusMessage> held_;
};

NotificationText text(const char* body)
{
    return { "QM-482 nr 4660: alarm", body };
}

std::vector<QString> bodies(const FakeServer& s)
{
    std::vector<QString> out;
    for (const auto& c : s.notifies)
        out.push_back(c.body);
    return out;
}

// Shows and waits until the server has had `count` notifications: an
// update sent after this carries the id.
bool showSeen(
    DesktopNotifier& n, AlarmKind kind, const char* body, const FakeServer& s, size_t count)
{
    n.Show(kind, text(body));
    return spinUntil([&] { return s.notifies.size() >= count; });
}

constexpr AlarmKind kT = AlarmKind::TemperatureHigh;
constexpr AlarmKind kH = AlarmKind::HumidityLow;
constexpr AlarmKind kP = AlarmKind::PressureHigh;

} // namespace

TEST(DesktopNotifier, ShowsUpdatesInPlaceAndCloses)
{
    FakeServer server(QStringLiteral("server-lifecycle"));
    ASSERT_TRUE(server.registered);
    DesktopNotifier notifier(QDBusConnection::sessionBus());
    notifier.Show(kT, text("t1"));
    ASSERT_TRUE(spinUntil([&] { return server.notifies.size() == 1; }));
    const FakeServer::Call& first = server.notifies[0];
    EXPECT_EQ(first.replacesId, 0U);
    EXPECT_EQ(first.appName, "QM482");
    EXPECT_EQ(first.icon, "org.qm482.QM482");
    EXPECT_EQ(first.summary, "QM-482 nr 4660: alarm");
    EXPECT_EQ(first.actions, QStringList({ "acknowledge", "Potwierdź" }));
    EXPECT_EQ(first.hints.value("urgency").typeId(), QMetaType::UChar);
    EXPECT_EQ(first.hints.value("urgency").toInt(), 2);
    EXPECT_EQ(first.hints.value("desktop-entry").toString(), "org.qm482.QM482");
    EXPECT_EQ(first.timeout, 0);

    notifier.Show(kT, text("t2"));
    ASSERT_TRUE(spinUntil([&] { return server.notifies.size() == 2; }));
    notifier.Show(kH, text("h1"));
    notifier.Show(kT, text("t3"));
    ASSERT_TRUE(spinUntil([&] { return server.notifies.size() == 4; }));
    notifier.Close(kT);
    ASSERT_TRUE(spinUntil([&] { return !server.closes.empty(); }));

    EXPECT_EQ(server.closes, std::vector<uint>({ 1 }));
    for (const auto& c : server.notifies)
        EXPECT_EQ(c.replacesId, c.body.startsWith('t') && c.body != "t1" ? 1U : 0U)
            << c.body.toStdString();
    EXPECT_EQ(server.capabilityCalls, 1);
}

TEST(DesktopNotifier, UpdatesAndClosesWaitForTheIdAndCoalesce)
{
    FakeServer server(QStringLiteral("server-held"));
    server.holdNotify = true;
    DesktopNotifier notifier(QDBusConnection::sessionBus());
    notifier.Show(kT, text("t1"));
    notifier.Show(kH, text("h1"));
    ASSERT_TRUE(spinUntil([&] { return server.notifies.size() == 2; }));
    notifier.Show(kT, text("t2"));
    notifier.Show(kT, text("t3"));
    notifier.Close(kH);
    server.Release();
    ASSERT_TRUE(
        spinUntil([&] { return server.notifies.size() == 3 && server.closes.size() == 1; }));
    server.Release();
    notifier.Show(kP, text("marker"));
    ASSERT_TRUE(spinUntil([&] { return server.notifies.size() >= 4; }));

    EXPECT_EQ(bodies(server), std::vector<QString>({ "t1", "h1", "t3", "marker" }));
    const uint temperatureId = server.notifies[0].body == "t1" ? 1 : 2;
    EXPECT_EQ(server.notifies[2].replacesId, temperatureId);
    EXPECT_EQ(server.closes, std::vector<uint>({ 3 - temperatureId }));
}

TEST(DesktopNotifier, ActionsOnlyWhenOfferedAndOnlyForOurs)
{
    FakeServer server(QStringLiteral("server-actions"));
    DesktopNotifier notifier(QDBusConnection::sessionBus());
    QSignalSpy acknowledged(&notifier, &DesktopNotifier::acknowledgeRequested);
    ASSERT_TRUE(showSeen(notifier, kT, "t1", server, 1));
    ASSERT_TRUE(showSeen(notifier, kT, "t2", server, 2)); // sent with the id: it is known
    server.Emit("ActionInvoked", 99, QStringLiteral("acknowledge"));
    server.Emit("ActionInvoked", 1, QStringLiteral("default"));
    server.Emit("ActionInvoked", 1, QStringLiteral("acknowledge"));
    ASSERT_TRUE(spinUntil([&] { return acknowledged.count() >= 1; }));
    spinUntil([&] { return acknowledged.count() > 1; }, 200);
    EXPECT_EQ(acknowledged.count(), 1);
}

TEST(DesktopNotifier, NoActionsWhereTheServerShowsNone)
{
    FakeServer server(QStringLiteral("server-no-actions"));
    server.capabilities = { QStringLiteral("body") };
    DesktopNotifier notifier(QDBusConnection::sessionBus());
    notifier.Show(kT, text("t1"));
    ASSERT_TRUE(spinUntil([&] { return server.notifies.size() == 1; }));
    EXPECT_TRUE(server.notifies[0].actions.isEmpty());
}

TEST(DesktopNotifier, DismissedStaysAwayUntilTheAlarmBeginsAgain)
{
    FakeServer server(QStringLiteral("server-dismiss"));
    DesktopNotifier notifier(QDBusConnection::sessionBus());
    QSignalSpy acknowledged(&notifier, &DesktopNotifier::acknowledgeRequested);
    ASSERT_TRUE(showSeen(notifier, kT, "t1", server, 1));
    ASSERT_TRUE(showSeen(notifier, kH, "h1", server, 2));
    ASSERT_TRUE(showSeen(notifier, kT, "t2", server, 3));
    ASSERT_TRUE(showSeen(notifier, kH, "h2", server, 4));
    const uint temperatureId = server.notifies[0].body == "t1" ? 1 : 2;
    server.Emit("NotificationClosed", temperatureId, 2U);
    // Signals come in order: once this one is seen, so was the dismissal.
    server.Emit("ActionInvoked", 3 - temperatureId, QStringLiteral("acknowledge"));
    ASSERT_TRUE(spinUntil([&] { return acknowledged.count() == 1; }));

    notifier.Show(kT, text("t3"));
    notifier.Show(kP, text("marker"));
    ASSERT_TRUE(spinUntil([&] { return server.notifies.size() >= 5; }));
    notifier.Close(kT);
    notifier.Show(kT, text("t-again"));
    ASSERT_TRUE(spinUntil([&] { return server.notifies.size() >= 6; }));

    EXPECT_EQ(server.notifies[4].body, "marker");
    EXPECT_EQ(server.notifies[5].body, "t-again");
    EXPECT_EQ(server.notifies[5].replacesId, 0U);
    EXPECT_TRUE(server.closes.empty()); // it was gone already
}

TEST(DesktopNotifier, SilentServerCostsTheEventLoopNothingAndCallsStayBounded)
{
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(5);
    {
        FakeServer mute(QStringLiteral("server-mute"));
        mute.holdCapabilities = true;
        DesktopNotifier notifier(QDBusConnection::sessionBus());
        for (int i = 0; i < 1000; ++i)
            notifier.Show(static_cast<AlarmKind>(i % kAlarmKindCount), text("x"));
        EXPECT_TRUE(spinUntil([&] { return ticks >= 20; }));
        EXPECT_EQ(mute.capabilityCalls, 1);
        EXPECT_TRUE(mute.notifies.empty());
    }
    FakeServer slow(QStringLiteral("server-slow"));
    slow.holdNotify = true;
    DesktopNotifier notifier(QDBusConnection::sessionBus());
    for (int i = 0; i < 3; ++i)
        notifier.Show(static_cast<AlarmKind>(i), text("first"));
    ASSERT_TRUE(spinUntil([&] { return slow.notifies.size() >= 3; }));
    for (int i = 0; i < 1000; ++i)
        notifier.Show(static_cast<AlarmKind>(i % 3), text(std::to_string(i).c_str()));
    ticks = 0;
    EXPECT_TRUE(spinUntil([&] { return ticks >= 20; }));
    EXPECT_EQ(slow.notifies.size(), 3U);
    slow.Release();
    ASSERT_TRUE(spinUntil([&] { return slow.notifies.size() >= 6; }));
    const std::vector<QString> all = bodies(slow);
    std::vector<QString> latest(all.begin() + 3, all.end());
    std::sort(latest.begin(), latest.end());
    EXPECT_EQ(latest, std::vector<QString>({ "997", "998", "999" }));
}

TEST(DesktopNotifier, ANewServerStartsAfresh)
{
    auto first = std::make_unique<FakeServer>(QStringLiteral("server-first"));
    auto notifier = std::make_unique<DesktopNotifier>(QDBusConnection::sessionBus());
    ASSERT_TRUE(showSeen(*notifier, kT, "t1", *first, 1));
    ASSERT_TRUE(showSeen(*notifier, kH, "h1", *first, 2));
    // Waiting for the name: it passes from one to the other with no gap,
    // in which the bus would start a server of the system's.
    FakeServer second(QStringLiteral("server-second"), true);
    second.capabilities = { QStringLiteral("body") };
    first.reset();
    ASSERT_TRUE(spinUntil([&] { return second.notifies.size() >= 2; }));
    std::vector<QString> shown = bodies(second);
    std::sort(shown.begin(), shown.end());
    EXPECT_EQ(shown, std::vector<QString>({ "h1", "t1" }));
    for (const auto& c : second.notifies) {
        EXPECT_EQ(c.replacesId, 0U);
        EXPECT_TRUE(c.actions.isEmpty()); // asked afresh
    }
    notifier.reset(); // before its server goes
}

TEST(DesktopNotifier, CloseAllDoesNotWaitForAnswers)
{
    FakeServer server(QStringLiteral("server-close-all"));
    auto notifier = std::make_unique<DesktopNotifier>(QDBusConnection::sessionBus());
    ASSERT_TRUE(showSeen(*notifier, kT, "t1", server, 1));
    ASSERT_TRUE(showSeen(*notifier, kH, "h1", server, 2));
    ASSERT_TRUE(showSeen(*notifier, kT, "t2", server, 3));
    ASSERT_TRUE(showSeen(*notifier, kH, "h2", server, 4));
    notifier->CloseAll();
    notifier->Show(kP, text("after the end"));
    notifier.reset();
    ASSERT_TRUE(spinUntil([&] { return server.closes.size() == 2; }));
    std::sort(server.closes.begin(), server.closes.end());
    EXPECT_EQ(server.closes, std::vector<uint>({ 1, 2 }));
    EXPECT_EQ(server.notifies.size(), 4U);
}

#include "DesktopNotifierTest.moc"
