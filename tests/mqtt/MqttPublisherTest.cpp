#include "mqtt/MqttPublisher.h"
#include "Broker.h"
#include "Child.h"
#include "alarms/DewPoint.h"
#include "support/EventLoop.h"
#include "support/ScriptedMessageBox.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTimer>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <charconv>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr long kSerial = 4660;
const LocalTime kTime { 2026, 12, 8, 10, 15, 30 };

PanelReading Shown(double value, bool blinking = false)
{
    return { value, false, blinking, 0 };
}
const PanelReading kNone { 0.0, true, true, 0 };

MqttSettings Enabled(int port)
{
    MqttSettings s;
    s.configured = true;
    s.enabled = true;
    s.host = "127.0.0.1";
    s.port = port;
    return s;
}

QString Line(const QString& topic, const QString& payload)
{
    return topic + "\t1\t1\t" + payload; // retained, QoS 1
}

const QString kNoDerived = QStringLiteral("\"dew_point\":null,\"absolute_humidity\":null");

// The dew point and absolute humidity fields of valid readings, numbers as
// the payload writes them.
QString Derived(double temperature, double humidity)
{
    auto number = [](double v) {
        std::array<char, 32> b {};
        return QString::fromLatin1(
            b.data(), std::to_chars(b.data(), b.data() + b.size(), v).ptr - b.data());
    };
    return "\"dew_point\":" + number(*DewPoint(temperature, humidity))
        + ",\"absolute_humidity\":" + number(*AbsoluteHumidity(temperature, humidity));
}

QString State(const char* values, const QString& derived = kNoDerived)
{
    return Line("qm482/4660/state",
        QStringLiteral("{\"serial\":4660,\"time\":\"2026-12-08T10:15:30\",") + values + ","
            + derived + "}");
}

// The payload of the one line of `topic` among `lines`, as JSON.
QJsonObject Payload(const QStringList& lines, const QString& topic)
{
    const QStringList found
        = lines.filter(QRegularExpression("^" + QRegularExpression::escape(topic) + "\t"));
    if (found.size() != 1)
        return {};
    return QJsonDocument::fromJson(found[0].section('\t', 3).toUtf8()).object();
}

const QStringList kTopics { "qm482/#", "homeassistant/#" };

double CpuSeconds()
{
    rusage u {};
    ::getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

ActiveAlarm Active(AlarmKind kind)
{
    ActiveAlarm a;
    a.kind = kind;
    return a;
}

} // namespace

TEST(MqttPublishing, StateAvailabilityAndDiscoveryAsASubscriberSeesThem)
{
    Broker broker;
    ASSERT_TRUE(broker.Start());
    MqttPublisher publisher(nullptr, [] { return kTime; });
    publisher.settings = Enabled(broker.port());

    publisher.OnFrame(true, kSerial, { Shown(21.5), Shown(45.0), Shown(1013.2) });
    ASSERT_TRUE(spinUntil([&] { return publisher.state() == MqttState::Connected; }));
    EXPECT_EQ(publisher.stateText(), QStringLiteral("Połączono z 127.0.0.1:%1").arg(broker.port()));
    // State, availability, alarms and five sensors; no alarm is on.
    QStringList seen = broker.Retained(kTopics, 8);
    EXPECT_TRUE(seen.contains(State("\"temperature\":21.5,\"temperature_valid\":true,"
                                    "\"humidity\":45,\"humidity_valid\":true,"
                                    "\"pressure\":1013.2,\"pressure_valid\":true",
        Derived(21.5, 45.0))))
        << seen.join('\n').toStdString();
    EXPECT_TRUE(seen.contains(Line("qm482/4660/availability", "online")));
    const QString config = "homeassistant/sensor/qm482_4660/temperature/config\t1\t1\t";
    const auto discovery = seen.filter(config);
    ASSERT_EQ(discovery.size(), 1) << seen.join('\n').toStdString();
    for (const char* part : { "\"unit_of_measurement\":\"°C\"", "\"device_class\":\"temperature\"",
             "\"state_topic\":\"qm482/4660/state\"",
             "\"value_template\":\"{{ value_json.temperature }}\"",
             "\"availability_topic\":\"qm482/4660/availability\"",
             "\"device\":{\"identifiers\":[\"qm482_4660\"],\"name\":\"QM482 4660\"" })
        EXPECT_TRUE(discovery[0].contains(QString::fromUtf8(part))) << part;
    EXPECT_EQ(seen.filter("homeassistant/sensor/qm482_4660/humidity/config").size(), 1);
    EXPECT_EQ(seen.filter("homeassistant/sensor/qm482_4660/pressure/config").size(), 1);
    const QJsonObject dew = Payload(seen, "homeassistant/sensor/qm482_4660/dew_point/config");
    EXPECT_EQ(dew.value("device_class").toString(), "temperature");
    EXPECT_EQ(dew.value("unit_of_measurement").toString(), QStringLiteral("°C"));
    EXPECT_EQ(dew.value("value_template").toString(), "{{ value_json.dew_point }}");
    const QJsonObject absolute
        = Payload(seen, "homeassistant/sensor/qm482_4660/absolute_humidity/config");
    EXPECT_EQ(absolute.value("unit_of_measurement").toString(), QStringLiteral("g/m³"));
    EXPECT_EQ(absolute.value("value_template").toString(), "{{ value_json.absolute_humidity }}");
    EXPECT_TRUE(seen.contains(Line("qm482/4660/alarm", "{\"active\":[]}")));
    // 21.5 °C at 45 %: the dew point at 9.1 °C, 8.5 g of water in a cubic metre.
    const QJsonObject state = Payload(seen, "qm482/4660/state");
    EXPECT_NEAR(state.value("dew_point").toDouble(), 9.06, 0.05);
    EXPECT_NEAR(state.value("absolute_humidity").toDouble(), 8.46, 0.05);

    // A quantity in error keeps its number but is not valid; "???" is null.
    publisher.OnFrame(true, kSerial, { Shown(21.5), Shown(45.0, true), kNone });
    const QString error = State("\"temperature\":21.5,\"temperature_valid\":true,"
                                "\"humidity\":45,\"humidity_valid\":false,"
                                "\"pressure\":null,\"pressure_valid\":false");
    EXPECT_TRUE(
        spinUntil([&] { return broker.Retained({ "qm482/4660/state" }, 1).contains(error); }));

    // The link lost: nothing stale, and the meter is offline.
    publisher.OnFrame(false, 0, { kNone, kNone, kNone });
    const QString lost = State("\"temperature\":null,\"temperature_valid\":false,"
                               "\"humidity\":null,\"humidity_valid\":false,"
                               "\"pressure\":null,\"pressure_valid\":false");
    EXPECT_TRUE(spinUntil([&] {
        seen = broker.Retained({ "qm482/#" }, 3);
        return seen.contains(lost) && seen.contains(Line("qm482/4660/availability", "offline"));
    })) << seen.join('\n').toStdString();
}

TEST(MqttPublishing, ABrokerAwayCostsNoBoxNorCpuAndTheLatestValuesFollowItsReturn)
{
    ScriptedMessageBox boxes;
    Broker broker;
    ASSERT_TRUE(broker.Start());
    MqttPublisher publisher(nullptr, [] { return kTime; });
    publisher.settings = Enabled(broker.port());
    publisher.OnFrame(true, kSerial, { Shown(21.5), Shown(45.0), Shown(1013.2) });
    ASSERT_TRUE(spinUntil([&] { return publisher.state() == MqttState::Connected; }));

    broker.Stop();
    ASSERT_TRUE(spinUntil([&] { return publisher.state() == MqttState::NotConnected; }));
    EXPECT_TRUE(publisher.stateText().startsWith("Brak połączenia: "))
        << publisher.stateText().toStdString();
    // Frames go on while the broker is away: the loop answers, the process idles.
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    tick.start(100);
    const double cpu = CpuSeconds();
    for (int i = 0; i < 6; ++i) {
        publisher.OnFrame(true, kSerial, { Shown(22.0 + i), Shown(45.0), Shown(1013.2) });
        spinUntil([] { return false; }, 500);
    }
    EXPECT_LT(CpuSeconds() - cpu, 0.3) << "busy while waiting for the broker";
    EXPECT_GE(ticks, 20) << "the event loop was held up";
    EXPECT_TRUE(boxes.shown.empty());

    ASSERT_TRUE(broker.Start());
    const QString latest = State("\"temperature\":27,\"temperature_valid\":true,"
                                 "\"humidity\":45,\"humidity_valid\":true,"
                                 "\"pressure\":1013.2,\"pressure_valid\":true",
        Derived(27.0, 45.0));
    EXPECT_TRUE(spinUntil(
        [&] { return broker.Retained({ "qm482/4660/state" }, 1).contains(latest); }, 15000));
    EXPECT_EQ(publisher.state(), MqttState::Connected);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST(MqttPublishing, TheActiveAlarmsAndTheConfigsOfTheAlarmsSwitchedOnAreRetained)
{
    Broker broker;
    ASSERT_TRUE(broker.Start());
    MqttPublisher publisher(nullptr, [] { return kTime; });
    publisher.settings = Enabled(broker.port());
    AlarmSettings alarms;
    alarms.configured = true;
    alarms.temperature.highOn = true;
    alarms.humidity.lowOn = true;
    alarms.linkLostOn = true;
    // Known before the broker is: sent once it connects.
    publisher.SetAlarms(alarms, { Active(AlarmKind::TemperatureHigh) });
    publisher.OnFrame(true, kSerial, { Shown(26.5), Shown(45.0), Shown(1013.2) });
    ASSERT_TRUE(spinUntil([&] { return publisher.state() == MqttState::Connected; }));

    const QString configs = "homeassistant/binary_sensor/#";
    QStringList seen = broker.Retained({ "qm482/4660/alarm", configs }, 4);
    EXPECT_TRUE(seen.contains(Line("qm482/4660/alarm", "{\"active\":[\"TEMP_HIGH\"]}")))
        << seen.join('\n').toStdString();
    EXPECT_EQ(seen.filter("/binary_sensor/").size(), 3) << seen.join('\n').toStdString();
    struct Case {
        const char* key;
        const char* name;
        bool available; // follows the meter's availability
    };
    for (const Case& c : { Case { "temp_high", "TEMP_HIGH", true },
             Case { "rh_low", "RH_LOW", true }, Case { "link_lost", "LINK_LOST", false } }) {
        const QJsonObject config = Payload(seen,
            QStringLiteral("homeassistant/binary_sensor/qm482_4660/alarm_%1/config").arg(c.key));
        EXPECT_EQ(config.value("device_class").toString(), "problem") << c.key;
        EXPECT_EQ(config.value("state_topic").toString(), "qm482/4660/alarm") << c.key;
        EXPECT_EQ(config.value("value_template").toString(),
            QStringLiteral("{{ 'ON' if '%1' in value_json.active else 'OFF' }}").arg(c.name))
            << c.key;
        EXPECT_EQ(config.contains("availability_topic"), c.available) << c.key;
        EXPECT_EQ(config.value("device").toObject().value("name").toString(), "QM482 4660");
    }

    // An alarm switched off loses its config; the list follows the change.
    alarms.temperature.highOn = false;
    publisher.SetAlarms(alarms, { Active(AlarmKind::HumidityLow), Active(AlarmKind::LinkLost) });
    const QString both = Line("qm482/4660/alarm", "{\"active\":[\"RH_LOW\",\"LINK_LOST\"]}");
    EXPECT_TRUE(spinUntil([&] {
        seen = broker.Retained({ "qm482/4660/alarm", configs }, 3);
        return seen.contains(both) && seen.filter("/binary_sensor/").size() == 2;
    })) << seen.join('\n').toStdString();
    EXPECT_TRUE(seen.filter("alarm_temp_high").isEmpty());

    // A broker that lost everything has it all again after the reconnection.
    broker.Stop();
    ASSERT_TRUE(spinUntil([&] { return publisher.state() == MqttState::NotConnected; }));
    ASSERT_TRUE(broker.Start());
    EXPECT_TRUE(spinUntil(
        [&] {
            seen = broker.Retained({ "qm482/4660/alarm", configs }, 3);
            return seen.contains(both) && seen.filter("/binary_sensor/").size() == 2;
        },
        15000))
        << seen.join('\n').toStdString();
}

// Run by the test below in a process of its own, which it then kills.
TEST(MqttPublishing, HoldsAConnectionUntilKilled)
{
    const char* port = std::getenv("QM482_TEST_BROKER_PORT");
    if (port == nullptr)
        GTEST_SKIP() << "only as the child of the last-will test";
    MqttPublisher publisher(nullptr, [] { return kTime; });
    publisher.settings = Enabled(std::atoi(port));
    publisher.OnFrame(true, kSerial, { Shown(21.5), Shown(45.0), Shown(1013.2) });
    ASSERT_TRUE(spinUntil([&] { return publisher.state() == MqttState::Connected; }));
    std::printf("connected\n");
    std::fflush(stdout);
    spinUntil([] { return false; }, 60000);
}

TEST(MqttPublishing, TheBrokerTellsTheLastWillOfAProgramThatDies)
{
    Broker broker;
    ASSERT_TRUE(broker.Start());
    Child child({ QCoreApplication::applicationFilePath().toStdString(),
                    "--gtest_filter=MqttPublishing.HoldsAConnectionUntilKilled" },
        { "QM482_TEST_BROKER_PORT=" + std::to_string(broker.port()) });
    ASSERT_TRUE(spinUntil([&] {
        child.Wait(50);
        return child.output().find("connected\n") != std::string::npos || !child.Running();
    })) << "the child did not connect";
    ASSERT_TRUE(spinUntil([&] {
        return broker.Retained({ "qm482/4660/availability" }, 1)
            .contains(Line("qm482/4660/availability", "online"));
    }));
    child.Kill(SIGKILL);
    child.Wait(5000);
    EXPECT_TRUE(spinUntil([&] {
        return broker.Retained({ "qm482/4660/availability" }, 1)
            .contains(Line("qm482/4660/availability", "offline"));
    }));
}

// Run by the test below in a mount namespace whose name service never
// answers: the client's thread hangs in its lookup of the broker's name.
TEST(MqttPublishing, WithANameServiceThatNeverAnswers)
{
    if (std::getenv("QM482_TEST_SILENT_DNS") == nullptr)
        GTEST_SKIP() << "only as the child of the name-service test";
    MqttPublisher publisher(nullptr, [] { return kTime; });
    publisher.settings = Enabled(1883);
    publisher.settings.host = "broker.qm482.test";
    publisher.OnFrame(true, kSerial, { Shown(21.5), Shown(45.0), Shown(1013.2) });
    spinUntil([] { return false; }, 300);

    QElapsedTimer t;
    t.start();
    publisher.settings.port = 1884; // confirmed in the dialog
    publisher.Apply();
    EXPECT_LT(t.elapsed(), 300) << "the window waited for the old connection's name lookup";
    EXPECT_EQ(publisher.state(), MqttState::Connecting);

    t.restart();
    publisher.Shutdown();
    EXPECT_LT(t.elapsed(), 4800) << "the end of the program waited for the name lookup";
}

TEST(MqttPublishing, ANameLookupThatHangsHoldsUpNeitherTheWindowNorTheEnd)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "a private resolver configuration needs a mount namespace";
    {
        // In a chroot or some containers the root is no mount point, and a
        // private namespace cannot be made: that is the machine, not the program.
        Child probe({ "unshare", "--mount", "--propagation", "private", "true" }, {}, true);
        if (!probe.Wait(10000) || probe.exitCode() != 0)
            GTEST_SKIP() << "no private mount namespace here: " << probe.output();
    }
    // A name server that takes the questions and never answers.
    const int silent = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in at {};
    at.sin_family = AF_INET;
    at.sin_port = htons(53);
    // A loopback address of its own: another run of this test may hold one.
    std::uint32_t host = 0x7f000009; // 127.0.0.9
    for (;; ++host) {
        at.sin_addr.s_addr = htonl(host);
        if (::bind(silent, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0)
            break;
        ASSERT_TRUE(errno == EADDRINUSE && host < 0x7f0000ff) << std::strerror(errno);
    }
    QTemporaryDir dir;
    const QString resolv = dir.filePath("resolv.conf");
    {
        QFile f(resolv);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("nameserver 127.0.0.%1\noptions timeout:6 attempts:1\n")
                    .arg(host & 0xff)
                    .toUtf8());
    }
    Child child({ "unshare", "--mount", "--propagation", "private", "sh", "-c",
                    "mount --bind \"$1\" /etc/resolv.conf && shift && exec \"$@\"", "sh",
                    resolv.toStdString(), QCoreApplication::applicationFilePath().toStdString(),
                    "--gtest_filter=MqttPublishing.WithANameServiceThatNeverAnswers" },
        { "QM482_TEST_SILENT_DNS=1" }, true);
    ASSERT_TRUE(child.Wait(30000));
    const QString out = QString::fromStdString(child.output());
    ::close(silent);
    EXPECT_EQ(child.exitCode(), 0) << out.toStdString();
    EXPECT_TRUE(out.contains("[  PASSED  ] 1 test") && !out.contains("SKIPPED"))
        << out.toStdString();
}
