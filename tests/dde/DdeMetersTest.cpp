// Several servers on one bus, as several instances of the program with a
// meter each: each under its own name, one of them under the shared one.
#include "dde/DdeServer.h"
#include "dde/DdeStartRule.h"

#include <QDBusConnection>
#include <gtest/gtest.h>

#include <tuple>

#include "support/DdeTestClient.h"

namespace {

const QString Shared = QStringLiteral("org.qm482.QM482");
const QString Meter4660 = QStringLiteral("org.qm482.QM482.Meter4660");
const QString Meter17 = QStringLiteral("org.qm482.QM482.Meter17");

struct Meter {
    explicit Meter(double temperature)
    {
        t.shown = { temperature, false, false, 3 };
        server.SetPanels(&t, &h, &p);
    }
    FakePanel t, h, p;
    DdeServer server;
};

class DdeMetersTest : public ::testing::Test {
protected:
    Meter first { 21.44 }, second { 5.66 };
    DdeTestClient client { "meters-client" };
};

TEST_F(DdeMetersTest, EachMeterOnItsOwnNameAndTheSharedOnePassesOn)
{
    ASSERT_TRUE(first.server.Start(4660));
    ASSERT_TRUE(second.server.Start(17));
    const QString owner4660 = client.NameOwner(Meter4660);
    ASSERT_FALSE(owner4660.isEmpty());
    EXPECT_NE(client.NameOwner(Meter17), owner4660);
    EXPECT_EQ(client.NameOwner(Shared), owner4660) << "the first to start keeps it";
    // Readings1 of each meter under its own name.
    for (const auto& [name, serial, temperature] :
        { std::tuple { Meter4660, 4660, 21.44 }, std::tuple { Meter17, 17, 5.66 } }) {
        client.Target(name);
        const QVariantMap readings = client.Properties();
        EXPECT_EQ(readings.value("SerialNumber").toInt(), serial);
        EXPECT_DOUBLE_EQ(readings.value("Temperature").toDouble(), temperature);
    }

    first.server.Stop(); // its link went down, or the program ended
    EXPECT_FALSE(client.NameHasOwner(Meter4660));
    EXPECT_EQ(client.NameOwner(Shared), client.NameOwner(Meter17));
    client.Target(Shared);
    EXPECT_EQ(client.Request("Temperatura#17", "Wynik").value(), "5.6");
    // Back again, it waits behind the one that owns the name now.
    ASSERT_TRUE(first.server.Start(4660));
    EXPECT_EQ(client.NameOwner(Shared), client.NameOwner(Meter17));
    second.server.Stop();
    EXPECT_EQ(client.NameOwner(Shared), client.NameOwner(Meter4660));
}

TEST_F(DdeMetersTest, WhoElseIsOnTheBusDecidesWhetherAServerStarts)
{
    const struct {
        const char* what;
        long otherServer; // 0: none
        QString foreignName; // held by a program that is no server
        bool starts;
    } cases[] = {
        { "another meter", 17, {}, true },
        { "the same meter twice", 4660, {}, false },
        { "a stranger on the shared name", 0, Shared, false },
        { "a stranger on the meter's name", 0, Meter4660, false },
        { "a stranger beside the servers", 0, "org.qm482.QM482.Other", true },
    };
    for (const auto& c : cases) {
        Meter other(1.0);
        if (c.otherServer != 0) {
            ASSERT_TRUE(other.server.Start(c.otherServer)) << c.what;
        }
        QDBusConnection stranger
            = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "stranger");
        if (!c.foreignName.isEmpty()) {
            ASSERT_TRUE(stranger.registerService(c.foreignName)) << c.what;
        }
        EXPECT_EQ(first.server.Start(4660), c.starts) << c.what;
        EXPECT_EQ(first.server.isRunning(), c.starts) << c.what;
        // A server that did not start holds nothing, not even a place in a queue.
        first.server.Stop();
        EXPECT_EQ(
            client.NameHasOwner(Meter4660), c.otherServer == 4660 || c.foreignName == Meter4660)
            << c.what;
        if (!c.foreignName.isEmpty())
            stranger.unregisterService(c.foreignName);
        stranger = QDBusConnection(QString());
        QDBusConnection::disconnectFromBus("stranger");
        other.server.Stop();
        EXPECT_FALSE(client.NameHasOwner(Shared)) << c.what;
    }
}

TEST_F(DdeMetersTest, AnotherMeterOnThePortTakesItsNameWhenItsLinkComesUp)
{
    DdeStartRule rule(first.server, nullptr);
    rule.OnLinkUpdate(true, true, 4660);
    ASSERT_TRUE(client.NameHasOwner(Meter4660));
    const QString before = client.NameOwner(Meter4660);
    // Frames that follow a good one keep the topics, and with them the name,
    // of the serial number that brought the link up.
    rule.OnLinkUpdate(true, false, 17);
    EXPECT_EQ(client.NameOwner(Meter4660), before);
    EXPECT_FALSE(client.NameHasOwner(Meter17));
    // A meter swapped on the port breaks the link first (a cut line, the
    // watchdog): the old name goes with it, and the new meter's link brings its own.
    rule.OnLinkUpdate(false, true, 17);
    EXPECT_FALSE(client.NameHasOwner(Meter4660));
    EXPECT_FALSE(client.NameHasOwner(Shared));
    rule.OnLinkUpdate(true, true, 17);
    EXPECT_TRUE(client.NameHasOwner(Meter17));
    EXPECT_EQ(client.NameOwner(Shared), client.NameOwner(Meter17));
}

} // namespace
