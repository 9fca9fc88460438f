// The service against a session bus whose daemon is killed and started again
// at the same address while the program runs.
#include "dde/DdeServer.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "DdeTestClient.h"

namespace {

// A dbus-daemon on a socket path of its own, so a new one can take its place.
class RestartableBus {
public:
    RestartableBus()
        : address_(QStringLiteral("unix:path=") + dir_.path() + QStringLiteral("/bus"))
    {
        daemon_.setStandardErrorFile(QProcess::nullDevice());
    }
    ~RestartableBus() { Kill(); }
    RestartableBus(const RestartableBus&) = delete;
    RestartableBus& operator=(const RestartableBus&) = delete;

    bool Start()
    {
        daemon_.start(QStringLiteral("dbus-daemon"),
            { QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nosyslog"),
                QStringLiteral("--address=") + address_, QStringLiteral("--print-address") });
        // It prints its address once it listens.
        while (!daemon_.canReadLine()) {
            if (!daemon_.waitForReadyRead(20000))
                return false;
        }
        return daemon_.readLine().startsWith(address_.toUtf8());
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
    QProcess daemon_;
};

// The session bus address, pointed at another bus for one test.
class SessionAddress {
public:
    explicit SessionAddress(const QString& address)
        : saved_(qgetenv("DBUS_SESSION_BUS_ADDRESS"))
    {
        qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
    }
    ~SessionAddress() { qputenv("DBUS_SESSION_BUS_ADDRESS", saved_); }
    SessionAddress(const SessionAddress&) = delete;
    SessionAddress& operator=(const SessionAddress&) = delete;

private:
    QByteArray saved_;
};

bool NameAppears(DdeTestClient& client)
{
    for (int i = 0; i < 100 && !client.NameHasOwner(); ++i)
        QTest::qWait(100);
    return client.NameHasOwner();
}

TEST(DdeBusRestart, ServiceComesBackOnTheNewBusAndOnlyWhileRunning)
{
    RestartableBus bus;
    ASSERT_TRUE(bus.Start());
    const SessionAddress session(bus.Address());
    FakePanel temperature, humidity, pressure;
    temperature.reading = { 234 * 0.1, false, false, 3 };
    DdeServer server;
    server.SetPanels(&temperature, &humidity, &pressure);
    ASSERT_TRUE(server.Start(4660));

    {
        DdeTestClient before("before-restart", bus.Address());
        ASSERT_TRUE(before.StartAdvise("Temperatura#4660", "Pomiar"));
        ASSERT_TRUE(before.NextAdvise());
        QSignalSpy dropped(&server.Instance(), &DdeInstance::linksChanged);
        bus.Kill();
        // Its clients went with the old bus, and so did their links.
        ASSERT_TRUE(dropped.wait(5000));
        EXPECT_EQ(server.Instance().LinkCount(), 0);
    }
    server.NotifyAll(); // a frame while there is no bus
    ASSERT_TRUE(bus.Start());

    DdeTestClient after("after-restart", bus.Address());
    ASSERT_TRUE(NameAppears(after)) << "the service never came back on the new bus";
    EXPECT_TRUE(server.IsRunning());
    ASSERT_TRUE(after.StartAdvise("temperatura#4660", "Pomiar"));
    const auto first = after.NextAdvise();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->text, "23.4 °C");
    temperature.reading.rawValue = 236 * 0.1;
    QSignalSpy properties(&after, &DdeTestClient::propertiesChanged);
    server.NotifyAll();
    // The advise goes out first and is kept until asked for.
    ASSERT_TRUE(properties.wait(5000));
    const auto next = after.NextAdvise();
    ASSERT_TRUE(next);
    EXPECT_EQ(next->text, "23.6 °C");
    EXPECT_EQ(after.Properties().value("SerialNumber").toInt(), 4660);

    // The link to the meter goes down while the bus is away: the name must
    // not come back with the bus.
    after.Leave();
    bus.Kill();
    server.Stop();
    ASSERT_TRUE(bus.Start());
    DdeTestClient watcher("while-stopped", bus.Address());
    QTest::qWait(DdeInstance::ReconnectMs + 1000);
    EXPECT_FALSE(watcher.NameHasOwner());
}

} // namespace
