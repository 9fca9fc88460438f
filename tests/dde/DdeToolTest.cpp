// qm482-dde, the real executable, against the server in this process. The
// test waits in an event loop so that the server can answer the tool.
#include "dde/DdeServer.h"
#include "dde/ItemText.h"

#include "support/DdeTestClient.h"

#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

struct ToolRun {
    int exitCode = -1;
    QString out, err;
};

bool WaitFor(QProcess& process, const char* signal, int ms)
{
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&process, signal, &loop, SLOT(quit()));
    timer.start(ms);
    loop.exec();
    return timer.isActive();
}

ToolRun RunTool(const QStringList& args,
    const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    QProcess tool;
    tool.setProcessEnvironment(env);
    tool.start(QStringLiteral(QM482_DDE_TOOL), args);
    ToolRun run;
    if (!tool.waitForStarted(10000))
        return run;
    if (tool.state() != QProcess::NotRunning
        && !WaitFor(tool, SIGNAL(finished(int, QProcess::ExitStatus)), 20000)) {
        tool.kill();
        tool.waitForFinished();
        return run;
    }
    run.exitCode = tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
    run.out = QString::fromUtf8(tool.readAllStandardOutput());
    run.err = QString::fromUtf8(tool.readAllStandardError());
    return run;
}

class DdeToolTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        temperature.shown = { 214 * 0.1, false, false, 3 };
        humidity.shown = { 456 * 0.1, false, true, 7 };
        pressure.shown = { 9987 * 0.1, false, false, 5 };
        server.SetPanels(&temperature, &humidity, &pressure);
    }
    FakePanel temperature, humidity, pressure;
    DdeServer server;
};

TEST_F(DdeToolTest, TopicsAndGet)
{
    ASSERT_TRUE(server.Start(4660));
    const ToolRun topics = RunTool({ "topics" });
    EXPECT_EQ(topics.exitCode, 0) << topics.err.toStdString();
    EXPECT_EQ(topics.out, "Temperatura#4660\nWilgotność#4660\nCiśnienie#4660\n");

    const ToolRun get = RunTool({ "get", "temperatura#4660", "pomiar" });
    EXPECT_EQ(get.exitCode, 0) << get.err.toStdString();
    EXPECT_EQ(get.out, QString::fromStdString(NumberText(214 * 0.1)) + " °C\n");
    EXPECT_EQ(RunTool({ "get", "Wilgotność#4660", "Status" }).out, "Błąd pomiaru\n");

    const ToolRun refused = RunTool({ "get", "Temperatura", "Pomiar" });
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.out.isEmpty());
}

TEST_F(DdeToolTest, SaysPlainlyWhenTheServiceIsAbsent)
{
    const ToolRun absent = RunTool({ "get", "Temperatura#4660", "Pomiar" });
    EXPECT_EQ(absent.exitCode, 3);
    EXPECT_TRUE(absent.err.startsWith("Usługa QM482 nie działa (miernik nie jest podłączony).\n"))
        << absent.err.toStdString();
    EXPECT_EQ(RunTool({ "topics" }).exitCode, 3);
    EXPECT_EQ(RunTool({ "watch", "Temperatura#4660", "Pomiar" }).exitCode, 3);
}

TEST_F(DdeToolTest, UsageAndNoBus)
{
    EXPECT_EQ(RunTool({}).exitCode, 2);
    EXPECT_EQ(RunTool({ "get", "Temperatura#4660" }).exitCode, 2);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DBUS_SESSION_BUS_ADDRESS");
    env.remove("XDG_RUNTIME_DIR");
    env.remove("DISPLAY");
    const ToolRun noBus = RunTool({ "topics" }, env);
    EXPECT_EQ(noBus.exitCode, 4);
    EXPECT_EQ(noBus.err, "Brak magistrali sesji D-Bus.\n");
}

TEST_F(DdeToolTest, WatchPrintsEachAdviseUntilTheServiceGoes)
{
    ASSERT_TRUE(server.Start(4660));
    QProcess watch;
    watch.start(QStringLiteral(QM482_DDE_TOOL), { "watch", "Ciśnienie#4660", "Wynik" });
    ASSERT_TRUE(watch.waitForStarted(10000));
    QByteArray seen;
    const auto readLine = [&]() -> QByteArray {
        while (!watch.canReadLine()) {
            if (!WaitFor(watch, SIGNAL(readyReadStandardOutput()), 20000))
                return {};
        }
        return watch.readLine();
    };
    EXPECT_EQ(readLine(), QByteArray::fromStdString(NumberText(9987 * 0.1) + "\n"));
    pressure.shown.rawValue = 10001 * 0.1;
    server.NotifyAll();
    EXPECT_EQ(readLine(), QByteArray::fromStdString(NumberText(10001 * 0.1) + "\n"));

    server.Stop();
    if (watch.state() != QProcess::NotRunning) {
        ASSERT_TRUE(WaitFor(watch, SIGNAL(finished(int, QProcess::ExitStatus)), 20000));
    }
    EXPECT_EQ(watch.exitCode(), 3);
    EXPECT_EQ(watch.readAllStandardError(), "Usługa QM482 zniknęła.\n");
}

TEST_F(DdeToolTest, WatchEndsCleanlyOnInterrupt)
{
    ASSERT_TRUE(server.Start(4660));
    QProcess watch;
    watch.start(QStringLiteral(QM482_DDE_TOOL), { "watch", "Temperatura#4660", "Status" });
    ASSERT_TRUE(watch.waitForStarted(10000));
    while (!watch.canReadLine())
        ASSERT_TRUE(WaitFor(watch, SIGNAL(readyReadStandardOutput()), 20000));
    EXPECT_EQ(watch.readLine(), "Pomiar OK\n");
    watch.terminate();
    if (watch.state() != QProcess::NotRunning) {
        ASSERT_TRUE(WaitFor(watch, SIGNAL(finished(int, QProcess::ExitStatus)), 20000));
    }
    EXPECT_EQ(watch.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(watch.exitCode(), 0);
}

// Two instances, as two programs with a meter each: the tool reaches both.
class DdeToolTwoMetersTest : public DdeToolTest {
protected:
    void SetUp() override
    {
        DdeToolTest::SetUp();
        otherTemperature.shown = { 56 * 0.1, false, false, 3 };
        other.SetPanels(&otherTemperature, &humidity, &pressure);
        ASSERT_TRUE(server.Start(4660));
        ASSERT_TRUE(other.Start(17));
    }
    FakePanel otherTemperature;
    DdeServer other;
};

TEST_F(DdeToolTwoMetersTest, TopicsOfEveryMeterAndEachItemFromItsOwnMeter)
{
    const ToolRun topics = RunTool({ "topics" });
    EXPECT_EQ(topics.exitCode, 0) << topics.err.toStdString();
    EXPECT_EQ(topics.out,
        "Temperatura#17\nWilgotność#17\nCiśnienie#17\n"
        "Temperatura#4660\nWilgotność#4660\nCiśnienie#4660\n");

    const struct {
        const char* topic;
        int exitCode;
        QString out;
    } gets[] = {
        { "Temperatura#17", 0, QString::fromStdString(NumberText(56 * 0.1)) + " °C\n" },
        { "temperatura#4660", 0, QString::fromStdString(NumberText(214 * 0.1)) + " °C\n" },
        { "Temperatura#999", 1, "" }, // no such meter: the shared name refuses it
    };
    for (const auto& g : gets) {
        const ToolRun get = RunTool({ "get", g.topic, "Pomiar" });
        EXPECT_EQ(get.exitCode, g.exitCode) << g.topic << get.err.toStdString();
        EXPECT_EQ(get.out, g.out) << g.topic;
    }

    // The owner of the shared name gone, the other meter is still listed and served.
    server.Stop();
    EXPECT_EQ(RunTool({ "topics" }).out, "Temperatura#17\nWilgotność#17\nCiśnienie#17\n");
    EXPECT_EQ(RunTool({ "get", "Temperatura#4660", "Pomiar" }).exitCode, 1);
}

TEST_F(DdeToolTwoMetersTest, WatchFollowsItsOwnMeterUntilThatOneGoes)
{
    QProcess watch;
    watch.start(QStringLiteral(QM482_DDE_TOOL), { "watch", "Temperatura#17", "Wynik" });
    ASSERT_TRUE(watch.waitForStarted(10000));
    const auto readLine = [&]() -> QByteArray {
        while (!watch.canReadLine()) {
            if (!WaitFor(watch, SIGNAL(readyReadStandardOutput()), 20000))
                return {};
        }
        return watch.readLine();
    };
    EXPECT_EQ(readLine(), QByteArray::fromStdString(NumberText(56 * 0.1) + "\n"));
    // The other meter's frames are not this link's; the shared name passing
    // on does not end it.
    server.NotifyAll();
    server.Stop();
    otherTemperature.shown.rawValue = 61 * 0.1;
    other.NotifyAll();
    EXPECT_EQ(readLine(), QByteArray::fromStdString(NumberText(61 * 0.1) + "\n"));

    other.Stop();
    if (watch.state() != QProcess::NotRunning) {
        ASSERT_TRUE(WaitFor(watch, SIGNAL(finished(int, QProcess::ExitStatus)), 20000));
    }
    EXPECT_EQ(watch.exitCode(), 3);
    EXPECT_EQ(watch.readAllStandardError(), "Usługa QM482 zniknęła.\n");
    EXPECT_TRUE(watch.readAllStandardOutput().isEmpty());
}

} // namespace
