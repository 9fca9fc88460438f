// DdeServer on a real dbus-daemon (the test run's own), seen from a second
// bus connection in the same process.
#include "dde/DdeServer.h"
#include "dde/ItemText.h"
#include "platform/DdeTopicPair.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QProcess>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include "support/DdeTestClient.h"

namespace {

class DdeServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        server.SetPanels(&temperature, &humidity, &pressure);
        temperature.shown = { 234 * 0.1, false, false, 3 };
        humidity.shown = { 456 * 0.1, false, false, 7 };
        pressure.shown = { 10132 * 0.1, false, false, 5 };
        ASSERT_TRUE(server.Start(4660));
    }

    FakePanel temperature, humidity, pressure;
    DdeServer server;
    DdeTestClient client { "client-a" };
};

TEST_F(DdeServerTest, RequestGivesTheItemTexts)
{
    EXPECT_EQ(client.Request("Temperatura#4660", "Pomiar").value(), "23.4 °C");
    EXPECT_EQ(client.Request("Temperatura#4660", "Wynik").value(), "23.4");
    EXPECT_EQ(client.Request("Wilgotność#4660", "Pomiar").value(), "45.6 %");
    EXPECT_EQ(client.Request("Ciśnienie#4660", "Pomiar").value(), "1013.2 hPa");
    EXPECT_EQ(client.Request("Ciśnienie#4660", "Status").value(), "Pomiar OK");
    temperature.shown.rawValue = 10 * 0.1;
    EXPECT_EQ(client.Request("Temperatura#4660", "Wynik").value(), "0.9");
}

TEST_F(DdeServerTest, NamesMatchInAnyLetterCase)
{
    EXPECT_EQ(client.Request("ciśnienie#4660", "WYNIK").value(), "1013.2");
    EXPECT_EQ(client.Request("CIŚNIENIE#4660", "wynik").value(), "1013.2");
    EXPECT_EQ(client.Request("WILGOTNOŚĆ#4660", "status").value(), "Pomiar OK");
    EXPECT_TRUE(client.Connect("qm482", "TEMPERATURA#4660"));
}

TEST_F(DdeServerTest, RefusesForeignTopicsItemsAndFormats)
{
    const std::pair<QString, QString> refused[] = {
        { "Temperatura", "Pomiar" },
        { "Temperatura#4661", "Pomiar" },
        { "Temperatura#4660", "Wartość" },
        { "Temperatura#4660", "" },
        { "", "Pomiar" },
    };
    for (const auto& [topic, item] : refused) {
        const auto reply = client.Request(topic, item);
        EXPECT_FALSE(reply.isValid()) << topic.toStdString() << " " << item.toStdString();
        EXPECT_EQ(reply.error().name(), "org.qm482.Dde1.Error.Refused");
    }
    const auto unicode = client.Request("Temperatura#4660", "Pomiar", 13);
    EXPECT_EQ(unicode.error().name(), "org.qm482.Dde1.Error.Refused");
    EXPECT_FALSE(client.Connect("QM482", "Temperatura"));
    EXPECT_FALSE(client.Connect("QM483", "Temperatura#4660"));
    EXPECT_FALSE(client.StartAdvise("Temperatura#4660", "Pomiar", 13));
    EXPECT_EQ(server.instance().linkCount(), 0);
}

TEST_F(DdeServerTest, WildConnectOffersTheThreeTopics)
{
    const QStringList all { "Temperatura#4660", "Wilgotność#4660", "Ciśnienie#4660" };
    EXPECT_EQ(client.WildConnect("", ""), all);
    EXPECT_EQ(client.WildConnect("qm482", ""), all);
    EXPECT_EQ(client.WildConnect("", "ciśnienie#4660"), all);
    EXPECT_EQ(client.WildConnect("Foreign", ""), QStringList());
    EXPECT_EQ(client.WildConnect("", "Temperatura#1"), QStringList());
}

TEST_F(DdeServerTest, StatusFollowsThePanels)
{
    // A temperature error blinks only the temperature panel.
    temperature.shown.blinking = true;
    EXPECT_EQ(client.Request("Temperatura#4660", "Status").value(), "Błąd pomiaru");
    EXPECT_EQ(client.Request("Wilgotność#4660", "Status").value(), "Pomiar OK");
    EXPECT_EQ(client.Request("Ciśnienie#4660", "Status").value(), "Pomiar OK");
    // A calibration error blinks all three.
    humidity.shown.blinking = pressure.shown.blinking = true;
    for (const char* topic : { "Temperatura#4660", "Wilgotność#4660", "Ciśnienie#4660" })
        EXPECT_EQ(client.Request(topic, "Status").value(), "Błąd pomiaru") << topic;
    humidity.shown = { 0, true, false, 7 };
    humidity.shown.noValue = true;
    humidity.shown.blinking = false;
    EXPECT_EQ(client.Request("Wilgotność#4660", "Status").value(), "Błąd pomiaru");
}

TEST_F(DdeServerTest, StartStopOwnAndReleaseTheName)
{
    EXPECT_TRUE(client.NameHasOwner());
    server.Stop();
    EXPECT_FALSE(server.isRunning());
    EXPECT_FALSE(client.NameHasOwner());
    EXPECT_EQ(
        client.Request("Temperatura#4660", "Pomiar").error().type(), QDBusError::ServiceUnknown);
    server.Stop(); // harmless twice
    server.NotifyAll(); // nothing while stopped

    ASSERT_TRUE(server.Start(17));
    EXPECT_TRUE(client.NameHasOwner());
    EXPECT_EQ(client.WildConnect("", ""),
        QStringList({ "Temperatura#17", "Wilgotność#17", "Ciśnienie#17" }));
    EXPECT_FALSE(client.Request("Temperatura#4660", "Pomiar").isValid());
    EXPECT_EQ(client.Request("Temperatura#17", "Pomiar").value(), "23.4 °C");
}

TEST_F(DdeServerTest, SecondServerOfTheSameMeterCannotTakeTheName)
{
    DdeServer second;
    second.SetPanels(&temperature, &humidity, &pressure);
    // Each server has a connection of its own; the first one holds the name.
    EXPECT_FALSE(second.Start(4660)) << "the name is taken";
    EXPECT_FALSE(second.isRunning());
    EXPECT_EQ(client.Request("Temperatura#4660", "Wynik").value(), "23.4");
}

TEST_F(DdeServerTest, AdviseAtOnceAndOnEveryNotify)
{
    ASSERT_TRUE(client.StartAdvise("temperatura#4660", "Pomiar"));
    auto first = client.NextAdvise();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->topic, "temperatura#4660");
    EXPECT_EQ(first->item, "Pomiar");
    EXPECT_EQ(first->text, "23.4 °C");

    for (const int tenths : { 235, 236 }) {
        temperature.shown.rawValue = tenths * 0.1;
        server.NotifyAll();
        const auto next = client.NextAdvise();
        ASSERT_TRUE(next);
        EXPECT_EQ(next->text, QString::fromStdString(NumberText(tenths * 0.1)) + " °C");
    }
    EXPECT_EQ(server.instance().linkCount(), 1);
}

TEST_F(DdeServerTest, AdviseGoesOnlyToLinkedClients)
{
    DdeTestClient other("client-b");
    ASSERT_TRUE(client.StartAdvise("Ciśnienie#4660", "Wynik"));
    ASSERT_TRUE(client.NextAdvise());
    server.NotifyAll();
    ASSERT_TRUE(client.NextAdvise());
    // The other client's first advise is for its own link: anything sent
    // to it before would have arrived first.
    ASSERT_TRUE(other.StartAdvise("Wilgotność#4660", "Status"));
    const auto own = other.NextAdvise();
    ASSERT_TRUE(own);
    EXPECT_EQ(own->item, "Status");
}

TEST_F(DdeServerTest, StopAdviseEndsTheLink)
{
    ASSERT_TRUE(client.StartAdvise("Temperatura#4660", "Wynik"));
    ASSERT_TRUE(client.NextAdvise());
    EXPECT_TRUE(client.StopAdvise("Temperatura#4660", "WYNIK"));
    EXPECT_FALSE(client.StopAdvise("Temperatura#4660", "Wynik"));
    EXPECT_EQ(server.instance().linkCount(), 0);
    server.NotifyAll();
    ASSERT_TRUE(client.StartAdvise("Temperatura#4660", "Status"));
    const auto next = client.NextAdvise();
    ASSERT_TRUE(next);
    EXPECT_EQ(next->item, "Status");
}

TEST_F(DdeServerTest, ClientLeavingTheBusLosesItsLinks)
{
    DdeTestClient leaving("client-c");
    ASSERT_TRUE(leaving.StartAdvise("Temperatura#4660", "Pomiar"));
    ASSERT_TRUE(client.StartAdvise("Temperatura#4660", "Wynik"));
    EXPECT_EQ(server.instance().linkCount(), 2);
    QSignalSpy changed(&server.instance(), &DdeInstance::linksChanged);
    leaving.Leave();
    while (server.instance().linkCount() != 1)
        ASSERT_TRUE(changed.wait(5000));
    server.NotifyAll();
    ASSERT_TRUE(client.NextAdvise());
}

TEST_F(DdeServerTest, StopDropsEveryLink)
{
    ASSERT_TRUE(client.StartAdvise("Temperatura#4660", "Pomiar"));
    ASSERT_TRUE(client.NextAdvise());
    server.Stop();
    EXPECT_EQ(server.instance().linkCount(), 0);
    ASSERT_TRUE(server.Start(4660));
    EXPECT_EQ(server.instance().linkCount(), 0);
}

TEST_F(DdeServerTest, IntrospectionShowsTheFixedApi)
{
    const QString xml = client.Introspect();
    for (const char* part :
        { "<interface name=\"org.qm482.Dde1\">", "<method name=\"WildConnect\">",
            "type=\"a(ss)\" direction=\"out\"", "<method name=\"Request\">",
            "<signal name=\"Advise\">", "<interface name=\"org.qm482.Readings1\">",
            "<property name=\"SerialNumber\" type=\"i\" access=\"read\"/>",
            "<property name=\"PressureValid\" type=\"b\" access=\"read\"/>",
            "<property name=\"DewPoint\" type=\"d\" access=\"read\"/>",
            "<property name=\"AbsoluteHumidityValid\" type=\"b\" access=\"read\"/>",
            "<property name=\"ActiveAlarms\" type=\"as\" access=\"read\"/>" })
        EXPECT_TRUE(xml.contains(QLatin1String(part))) << part << "\n" << xml.toStdString();
}

TEST_F(DdeServerTest, ReadingsPropertiesAndOneChangePerNotify)
{
    const QVariantMap all = client.Properties();
    EXPECT_EQ(all.value("SerialNumber").toInt(), 4660);
    EXPECT_DOUBLE_EQ(all.value("Temperature").toDouble(), 234 * 0.1);
    EXPECT_DOUBLE_EQ(all.value("Pressure").toDouble(), 10132 * 0.1);
    EXPECT_TRUE(all.value("HumidityValid").toBool());

    QSignalSpy changes(&client, &DdeTestClient::propertiesChanged);
    humidity.shown.blinking = true;
    humidity.shown.rawValue = 501 * 0.1;
    server.NotifyAll();
    ASSERT_TRUE(changes.wait(5000));
    const QVariantMap changed = changes.at(0).at(0).toMap();
    EXPECT_DOUBLE_EQ(changed.value("Humidity").toDouble(), 501 * 0.1);
    EXPECT_FALSE(changed.value("HumidityValid").toBool());
    EXPECT_TRUE(changed.value("TemperatureValid").toBool());
    EXPECT_FALSE(changed.value("DewPointValid").toBool()); // the humidity blinks
    EXPECT_TRUE(changed.contains("ActiveAlarms"));
    // Anything more from this NotifyAll would arrive before this advise.
    ASSERT_TRUE(client.StartAdvise("Temperatura#4660", "Wynik"));
    ASSERT_TRUE(client.NextAdvise());
    EXPECT_EQ(changes.size(), 1);
}

TEST_F(DdeServerTest, DewPointAndAbsoluteHumidityOnlyWhileBothReadingsAreValid)
{
    const PanelReading t20 { 20.0, false, false, 3 };
    const PanelReading h50 { 50.0, false, false, 7 };
    struct Case {
        PanelReading t, h;
        double dewPoint, absolute; // 0: not valid
    };
    // 20 °C at 50 %: the dew point at 9.3 °C, 8.6 g of water in a cubic metre.
    for (const Case& c :
        { Case { t20, h50, 9.26, 8.63 }, Case { t20, { 50.0, false, true, 7 }, 0, 0 },
            Case { { 20.0, true, false, 3 }, h50, 0, 0 },
            Case { t20, { 0.0, false, false, 7 }, 0, 0 } }) {
        temperature.shown = c.t;
        humidity.shown = c.h;
        const QVariantMap all = client.Properties();
        EXPECT_NEAR(all.value("DewPoint").toDouble(), c.dewPoint, 0.05) << c.h.rawValue;
        EXPECT_NEAR(all.value("AbsoluteHumidity").toDouble(), c.absolute, 0.05) << c.h.rawValue;
        EXPECT_EQ(all.value("DewPointValid").toBool(), c.dewPoint != 0);
        EXPECT_EQ(all.value("AbsoluteHumidityValid").toBool(), c.absolute != 0);
    }
}

TEST_F(DdeServerTest, ActiveAlarmsAreReadAndEachChangeIsToldOnce)
{
    EXPECT_TRUE(client.Properties().value("ActiveAlarms").toStringList().isEmpty());
    QSignalSpy changes(&client, &DdeTestClient::propertiesChanged);
    server.SetActiveAlarms({ "TEMP_HIGH", "LINK_LOST" });
    server.SetActiveAlarms({ "TEMP_HIGH", "LINK_LOST" }); // the same list: nothing more
    ASSERT_TRUE(changes.wait(5000));
    const QStringList both { "TEMP_HIGH", "LINK_LOST" };
    EXPECT_EQ(changes.at(0).at(0).toMap(), (QVariantMap { { "ActiveAlarms", both } }));
    EXPECT_EQ(client.Properties().value("ActiveAlarms").toStringList(), both);

    server.SetActiveAlarms({});
    ASSERT_TRUE(changes.wait(5000));
    EXPECT_TRUE(changes.at(1).at(0).toMap().value("ActiveAlarms").toStringList().isEmpty());
    // Anything more would arrive before this advise.
    ASSERT_TRUE(client.StartAdvise("Temperatura#4660", "Wynik"));
    ASSERT_TRUE(client.NextAdvise());
    EXPECT_EQ(changes.size(), 2);

    // Set while stopped: there on the next start, without a signal to nobody.
    server.Stop();
    server.SetActiveAlarms({ "METER_ERROR" });
    ASSERT_TRUE(server.Start(4660));
    EXPECT_EQ(
        client.Properties().value("ActiveAlarms").toStringList(), QStringList { "METER_ERROR" });
}

} // namespace

// Run in a child process without any session bus (see NoSessionBus below).
TEST(NoSessionBusChild, StartFailsAtOnce)
{
    if (qEnvironmentVariableIsEmpty("QM482_TEST_NO_BUS"))
        GTEST_SKIP() << "runs only in the child without a bus";
    DdeServer server;
    FakePanel panel;
    server.SetPanels(&panel, &panel, &panel);
    EXPECT_FALSE(server.Start(4660));
    EXPECT_FALSE(server.isRunning());
    server.NotifyAll();
    server.Stop();
}

TEST(NoSessionBus, StartFailsCleanlyWithoutABus)
{
    if (!qEnvironmentVariableIsEmpty("QM482_TEST_NO_BUS"))
        GTEST_SKIP();
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QM482_TEST_NO_BUS", "1");
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
        { "--gtest_filter=NoSessionBusChild.*", "--gtest_also_run_disabled_tests" });
    ASSERT_TRUE(child.waitForFinished(30000)) << "Start hung without a session bus";
    const QByteArray output = child.readAllStandardOutput();
    EXPECT_EQ(child.exitCode(), 0) << output.constData();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.constData();
}
