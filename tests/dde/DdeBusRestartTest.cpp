// The service against a session bus whose daemon is killed and started again
// at the same address while the program runs.
#include "dde/DdeServer.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "support/DdeTestClient.h"

namespace {

// A dbus-daemon on a socket path of its own, so a new one can take its
// place; the session bus of the process while it exists.
class RestartableBus {
public:
    RestartableBus()
        : address_(QStringLiteral("unix:path=") + dir_.path() + QStringLiteral("/bus"))
        , saved_(qgetenv("DBUS_SESSION_BUS_ADDRESS"))
    {
        daemon_.setStandardErrorFile(QProcess::nullDevice());
        qputenv("DBUS_SESSION_BUS_ADDRESS", address_.toUtf8());
    }
    ~RestartableBus()
    {
        Kill();
        qputenv("DBUS_SESSION_BUS_ADDRESS", saved_);
    }
    RestartableBus(const RestartableBus&) = delete;
    RestartableBus& operator=(const RestartableBus&) = delete;

    bool Start() // returns once it listens
    {
        daemon_.start(QStringLiteral("dbus-daemon"),
            { QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nosyslog"),
                QStringLiteral("--address=") + address_, QStringLiteral("--print-address") });
        while (!daemon_.canReadLine()) {
            if (!daemon_.waitForReadyRead(20000))
                return false;
        }
        const QByteArray printed = daemon_.readLine().trimmed();
        // The session's address as a launcher exports it: with the first
        // daemon's guid, which a restarted daemon does not have.
        if (!exported_) {
            qputenv("DBUS_SESSION_BUS_ADDRESS", printed);
            exported_ = true;
        }
        return printed.startsWith(address_.toUtf8()) && printed.contains(",guid=");
    }
    void Kill()
    {
        daemon_.kill();
        daemon_.waitForFinished();
    }
    const QString& Address() const { return address_; }

private:
    QTemporaryDir dir_;
    QString address_;
    bool exported_ = false;
    QByteArray saved_;
    QProcess daemon_;
};

TEST(DdeBusRestart, ServiceComesBackOnTheNewBusOnlyWhileRunning)
{
    RestartableBus bus;
    ASSERT_TRUE(bus.Start());
    FakePanel temperature, humidity, pressure;
    temperature.shown = { 234 * 0.1, false, false, 3 };
    DdeServer server;
    server.SetPanels(&temperature, &humidity, &pressure);
    ASSERT_TRUE(server.Start(4660));
    {
        DdeTestClient before("before-restart", bus.Address());
        ASSERT_TRUE(before.StartAdvise("Temperatura#4660", "Pomiar"));
        QProcess watch;
        QSignalSpy printed(&watch, &QProcess::readyReadStandardOutput);
        QSignalSpy ended(&watch, &QProcess::finished);
        watch.start(QStringLiteral(QM482_DDE_TOOL),
            { QStringLiteral("watch"), QStringLiteral("Temperatura#4660"),
                QStringLiteral("Wynik") });
        ASSERT_TRUE(printed.wait(10000));
        QSignalSpy dropped(&server.instance(), &DdeInstance::linksChanged);
        bus.Kill();
        // Its clients went with the old bus, and so did their links.
        ASSERT_TRUE(dropped.wait(5000));
        EXPECT_EQ(server.instance().linkCount(), 0);
        // A watcher on the dead bus says so and ends, rather than wait forever.
        ASSERT_TRUE(ended.count() > 0 || ended.wait(5000)) << "qm482-dde watch outlived its bus";
        EXPECT_EQ(watch.exitCode(), 4);
        EXPECT_EQ(watch.readAllStandardError(), "Brak magistrali sesji D-Bus.\n");
    }
    server.NotifyAll(); // a frame while there is no bus
    ASSERT_TRUE(bus.Start());

    DdeTestClient after("after-restart", bus.Address());
    for (int i = 0; i < 100 && !after.NameHasOwner(); ++i)
        QTest::qWait(100);
    ASSERT_TRUE(after.NameHasOwner()) << "the service never came back on the new bus";
    ASSERT_TRUE(after.StartAdvise("temperatura#4660", "Pomiar"));
    EXPECT_EQ(after.NextAdvise().value().text, "23.4 °C");
    temperature.shown.rawValue = 236 * 0.1;
    QSignalSpy properties(&after, &DdeTestClient::propertiesChanged);
    server.NotifyAll();
    ASSERT_TRUE(properties.wait(5000)); // sent after the advise, which is kept
    EXPECT_EQ(after.NextAdvise().value().text, "23.6 °C");

    // The meter's link goes down while the bus is away: the name must not
    // come back with the bus.
    after.Leave();
    bus.Kill();
    server.Stop();
    ASSERT_TRUE(bus.Start());
    DdeTestClient stopped("while-stopped", bus.Address());
    QTest::qWait(DdeBusConnection::ReconnectMs + 1000);
    EXPECT_FALSE(stopped.NameHasOwner());
}

} // namespace
