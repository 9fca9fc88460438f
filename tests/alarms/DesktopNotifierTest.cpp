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
        bus_.interface()->registerService(kInterface,
            queued ? QDBusConnectionInterface::QueueService
                   : QDBusConnectionInterface::DontQueueService);
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
        if (holdCapabilities)
            setDelayedReply(true); // never answered
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

NotificationText text(const std::string& body)
{
    return { "QM-482 nr 4660: alarm", body };
}

// Each notification the server had, as "body:replacesId".
std::vector<QString> shown(const FakeServer& s)
{
    std::vector<QString> out;
    for (const auto& c : s.notifies)
        out.push_back(c.body + ':' + QString::number(c.replacesId));
    return out;
}

// Shows and waits until the server has had `count` notifications. At most
// one call per alarm is in flight, so an update seen proves the alarm's
// previous answer (its id) has come.
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

TEST(DesktopNotifier, ShowsUpdatesInPlaceActsOnlyOnOursAndClosesAllWithoutWaiting)
{
    FakeServer server(QStringLiteral("server-lifecycle"));
    auto notifier = std::make_unique<DesktopNotifier>(QDBusConnection::sessionBus());
    QSignalSpy acknowledged(notifier.get(), &DesktopNotifier::acknowledgeRequested);
    ASSERT_TRUE(showSeen(*notifier, kT, "t1", server, 1));
    const FakeServer::Call& first = server.notifies[0];
    EXPECT_EQ(first.appName, "QM482");
    EXPECT_EQ(first.icon, "org.qm482.QM482");
    EXPECT_EQ(first.summary, "QM-482 nr 4660: alarm");
    EXPECT_EQ(first.actions, QStringList({ "acknowledge", "Potwierdź" }));
    EXPECT_EQ(first.hints.value("urgency").typeId(), QMetaType::UChar);
    EXPECT_EQ(first.hints.value("urgency").toInt(), 2);
    EXPECT_EQ(first.hints.value("desktop-entry").toString(), "org.qm482.QM482");
    EXPECT_EQ(first.timeout, 0);
    ASSERT_TRUE(showSeen(*notifier, kT, "t2", server, 2));
    notifier->Show(kH, text("h1"));
    ASSERT_TRUE(showSeen(*notifier, kT, "t3", server, 4));
    ASSERT_TRUE(showSeen(*notifier, kH, "h2", server, 5));
    EXPECT_EQ(shown(server), std::vector<QString>({ "t1:0", "t2:1", "h1:0", "t3:1", "h2:2" }));
    EXPECT_EQ(server.capabilityCalls, 1);

    server.Emit("ActionInvoked", 99, QStringLiteral("acknowledge"));
    server.Emit("ActionInvoked", 1, QStringLiteral("default"));
    server.Emit("ActionInvoked", 1, QStringLiteral("acknowledge"));
    ASSERT_TRUE(spinUntil([&] { return acknowledged.count() >= 1; }));
    spinUntil([&] { return acknowledged.count() > 1; }, 200);
    EXPECT_EQ(acknowledged.count(), 1);

    notifier->CloseAll();
    notifier->Show(kP, text("after the end"));
    notifier.reset();
    ASSERT_TRUE(spinUntil([&] { return server.closes.size() == 2; }));
    std::sort(server.closes.begin(), server.closes.end());
    EXPECT_EQ(server.closes, std::vector<uint>({ 1, 2 }));
    EXPECT_EQ(server.notifies.size(), 5U);
}

TEST(DesktopNotifier, UpdatesAndClosesWaitForTheIdAndCoalesce)
{
    FakeServer server(QStringLiteral("server-held"));
    server.holdNotify = true;
    DesktopNotifier notifier(QDBusConnection::sessionBus());
    notifier.Show(kT, text("t1"));
    notifier.Show(kH, text("h1"));
    ASSERT_TRUE(spinUntil([&] { return server.notifies.size() == 2; }));
    for (int i = 0; i < 1000; ++i)
        notifier.Show(kT, text(std::to_string(i)));
    notifier.Close(kH);
    spinUntil([] { return false; }, 100);
    EXPECT_EQ(server.notifies.size(), 2U);
    server.Release();
    ASSERT_TRUE(
        spinUntil([&] { return server.notifies.size() == 3 && server.closes.size() == 1; }));
    server.Release();
    notifier.Show(kP, text("marker"));
    ASSERT_TRUE(spinUntil([&] { return server.notifies.size() >= 4; }));

    EXPECT_EQ(shown(server), std::vector<QString>({ "t1:0", "h1:0", "999:1", "marker:0" }));
    EXPECT_EQ(server.closes, std::vector<uint>({ 2 }));
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
    server.Emit("NotificationClosed", 1, 2U); // dismissed
    // Signals come in order: once this one is seen, so was the dismissal.
    server.Emit("ActionInvoked", 2, QStringLiteral("acknowledge"));
    ASSERT_TRUE(spinUntil([&] { return acknowledged.count() == 1; }));

    notifier.Show(kT, text("t3"));
    ASSERT_TRUE(showSeen(notifier, kP, "marker", server, 5));
    notifier.Close(kT); // it was gone already: nothing to close
    ASSERT_TRUE(showSeen(notifier, kT, "t-again", server, 6));
    notifier.Close(kH);
    ASSERT_TRUE(spinUntil([&] { return !server.closes.empty(); }));

    EXPECT_EQ(shown(server),
        std::vector<QString>({ "t1:0", "h1:0", "t2:1", "h2:2", "marker:0", "t-again:0" }));
    EXPECT_EQ(server.closes, std::vector<uint>({ 2 }));
}

TEST(DesktopNotifier, SilentServerCostsTheEventLoopNothingAndCallsStayBounded)
{
    FakeServer mute(QStringLiteral("server-mute"));
    mute.holdCapabilities = true;
    DesktopNotifier notifier(QDBusConnection::sessionBus());
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(5);
    for (int i = 0; i < 1000; ++i)
        notifier.Show(static_cast<AlarmKind>(i % kAlarmKindCount), text("x"));
    EXPECT_TRUE(spinUntil([&] { return ticks >= 20; }));
    EXPECT_EQ(mute.capabilityCalls, 1);
    EXPECT_TRUE(mute.notifies.empty());
}

TEST(DesktopNotifier, ANewServerStartsAfresh)
{
    auto first = std::make_unique<FakeServer>(QStringLiteral("server-first"));
    auto notifier = std::make_unique<DesktopNotifier>(QDBusConnection::sessionBus());
    ASSERT_TRUE(showSeen(*notifier, kT, "t1", *first, 1));
    ASSERT_TRUE(showSeen(*notifier, kH, "h1", *first, 2));
    // Queued for the name, it passes with no gap in which the bus would
    // start the system's server.
    FakeServer second(QStringLiteral("server-second"), true);
    second.capabilities = { QStringLiteral("body") };
    first.reset();
    ASSERT_TRUE(spinUntil([&] { return second.notifies.size() >= 2; }));
    std::vector<QString> again = shown(second);
    std::sort(again.begin(), again.end());
    EXPECT_EQ(again, std::vector<QString>({ "h1:0", "t1:0" }));
    for (const auto& c : second.notifies)
        EXPECT_TRUE(c.actions.isEmpty()); // capabilities asked afresh
    notifier.reset(); // before its server goes
}

#include "DesktopNotifierTest.moc"
