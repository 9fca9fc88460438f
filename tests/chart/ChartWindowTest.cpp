// The chart viewer's window on real files: what it shows, following the
// file as it grows, the exports.
#include "chart/ChartWindow.h"
#include "chart/ChartCommandLine.h"
#include "chart/ChartSettings.h"
#include "platform/Choosers.h"
#include "recording/BinaryRecord.h"
#include "support/EventLoop.h"
#include "support/TempDir.h"

#include <QCoreApplication>
#include <QImage>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <sys/stat.h>

#include <fstream>

namespace {

void append(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
}

std::string record(int minute, int second, int serial, double t)
{
    Readings r;
    r.serialNumber = serial;
    r.temperature = { t, true };
    r.humidity = { 40 + second / 10.0, true };
    r.pressure = { 1010.0 + minute, second % 10 != 7 };
    return qmg::Record({ 2026, 12, 8, 10, minute, second }, r);
}

// Answers the file chooser with one path, and keeps what it was asked.
class OneChoice : public Choosers {
public:
    explicit OneChoice(std::string path)
        : path_(std::move(path))
        , previous_(Choosers::Install(this))
    {
    }
    ~OneChoice() override { Choosers::Install(previous_); }
    OneChoice(const OneChoice&) = delete;
    OneChoice& operator=(const OneChoice&) = delete;
    bool ChooseColour(QWidget*, unsigned&) override { return false; }
    bool ChooseFont(QWidget*, FontDescription&) override { return false; }
    bool ChooseFile(QWidget*, FileChoice& choice, std::string& path) override
    {
        asked.push_back(choice);
        path = path_;
        return true;
    }
    std::vector<FileChoice> asked;

private:
    std::string path_;
    Choosers* previous_;
};

QAction* menuAction(const ChartWindow& w, const QString& label)
{
    for (QAction* menu : w.menuBar()->actions())
        for (QAction* a : menu->menu()->actions())
            if (a->text() == label)
                return a;
    return nullptr;
}

// What is drawn over plot `rect`: visible items of type T.
template<typename T> std::vector<T*> itemsOn(const ChartWindow& w, int rect)
{
    std::vector<T*> out;
    for (int i = 0; i < w.plot()->itemCount(); ++i)
        if (auto* item = qobject_cast<T*>(w.plot()->item(i));
            item && item->visible() && item->clipAxisRect() == w.plot()->axisRect(rect))
            out.push_back(item);
    return out;
}

QStringList labelsOn(const ChartWindow& w, int rect)
{
    QStringList out;
    for (const QCPItemText* t : itemsOn<QCPItemText>(w, rect))
        out << t->text();
    out.sort();
    return out;
}

std::string logLine(
    const std::string& time, long serial, const std::string& kind, const std::string& type)
{
    return "2026-12-08 " + time + "\t" + std::to_string(serial) + "\t" + kind + "\t" + type
        + "\t-\t-\n";
}

QString statusText(const ChartWindow& w)
{
    QStringList texts;
    for (const QLabel* l : w.statusBar()->findChildren<QLabel*>())
        texts << l->text();
    return texts.join('|');
}

} // namespace

TEST(ChartWindow, ShowsFollowsAndExportsARecording)
{
    TempDir dir;
    const std::string path = dir / "hala.qmg";
    std::string bytes;
    for (int s = 0; s < 60; ++s)
        bytes += record(0, s, 1234, 20 + s / 30.0);
    bytes += record(1, 0, 77, 25);
    std::string damaged = record(1, 1, 1234, 21);
    damaged[9] = static_cast<char>(damaged[9] ^ 0x01);
    bytes += damaged + record(1, 2, 1234, 21);
    append(path, bytes);

    ChartWindow w;
    w.resize(900, 700);
    w.show();
    ASSERT_TRUE(w.Open(QString::fromStdString(path)));
    EXPECT_TRUE(statusText(w).contains(QStringLiteral("Rekordy: 62   Uszkodzone: 1")))
        << statusText(w).toStdString();
    ASSERT_EQ(w.plot()->graphCount(), 6); // two meters, three quantities
    EXPECT_TRUE(w.plot()->legend->visible());
    EXPECT_EQ(w.plot()->axisRectCount(), 3);
    EXPECT_EQ(
        w.plot()->axisRect(1)->axis(QCPAxis::atLeft)->label(), QStringLiteral("Wilgotność [%]"));

    // The writer goes on; the window picks it up without being asked.
    append(path, record(1, 3, 1234, 30.5));
    EXPECT_TRUE(spinUntil([&] { return w.recording()->records() == 63; }, 3000));
    EXPECT_TRUE(statusText(w).contains(QStringLiteral("Rekordy: 63")));

    // The visible range only (the last 10 s and 1 s of room), "." as decimal point, "???" kept.
    w.ShowLast(10);
    const std::string csv = dir / "zakres.csv";
    ASSERT_TRUE(w.ExportCsv(QString::fromStdString(csv)));
    EXPECT_EQ(ReadFile(csv),
        "Data i Godzina,Numer seryjny,Temperatura °C,Wilgotność %,Ciśnienie hPa\r\n"
        "2026.12.08 10:01:00,77,25.0,40.0,1011.0\r\n"
        "2026.12.08 10:00:54,1234,21.8,45.4,1010.0\r\n"
        "2026.12.08 10:00:55,1234,21.8,45.5,1010.0\r\n"
        "2026.12.08 10:00:56,1234,21.9,45.6,1010.0\r\n"
        "2026.12.08 10:00:57,1234,21.9,45.7,???\r\n"
        "2026.12.08 10:00:58,1234,21.9,45.8,1010.0\r\n"
        "2026.12.08 10:00:59,1234,22.0,45.9,1010.0\r\n"
        "2026.12.08 10:01:02,1234,21.0,40.2,1011.0\r\n"
        "2026.12.08 10:01:03,1234,30.5,40.3,1011.0\r\n");

    const std::string png = dir / "wykres.png";
    ASSERT_TRUE(w.ExportImage(QString::fromStdString(png)));
    EXPECT_EQ(QImage(QString::fromStdString(png)).size(), w.plot()->size());
    const std::string svg = dir / "wykres.svg";
    ASSERT_TRUE(w.ExportImage(QString::fromStdString(svg)));
    EXPECT_NE(ReadFile(svg).find("<svg"), std::string::npos);
    if (const char* keep = std::getenv("QM482_CHART_SHOT")) {
        w.plot()->replot();
        w.grab().save(QString::fromUtf8(keep));
    }
}

TEST(ChartWindow, LimitsFromTheSettingsAlarmPeriodsFromTheLogAndTheDewPoint)
{
    TempDir dir;
    // The program's settings file as it writes it; the chart only reads it.
    const std::string ini = dir / "qm480cfg.ini";
    const std::string settingsText
        = "[GENERAL]\r\nPORT=/dev/ttyS0\r\n[ALARMS]\r\nTEMP_HIGH_ON=1\r\n"
          "TEMP_HIGH=25\r\nTEMP_LOW_ON=1\r\nTEMP_LOW=15\r\n"
          "RH_HIGH_ON=1\r\nRH_HIGH=60\r\nPRESSURE_LOW=990\r\n";
    append(ini, settingsText);
    ::chmod(ini.c_str(), 0444);
    AlarmSettings settings;
    ASSERT_EQ(chart::LoadAlarmSettingsFrom(ini, settings), chart::SettingsRead::Loaded);
    EXPECT_EQ(ReadFile(ini), settingsText);
    AlarmSettings none;
    EXPECT_EQ(chart::LoadAlarmSettingsFrom(dir / "nie-ma.ini", none), chart::SettingsRead::Missing);
    EXPECT_EQ(chart::LoadAlarmSettingsFrom(dir.path(), none), chart::SettingsRead::Unreadable);
    EXPECT_FALSE(none.configured);

    // Ten minutes at 10 s, the temperature rising from 20 to 27 °C.
    const std::string path = dir / "hala.qmg";
    std::string bytes;
    for (int i = 0; i < 60; ++i)
        bytes += record(i / 6, i % 6 * 10, 1234, 20 + i * 7.0 / 59);
    append(path, bytes);
    const std::string log = dir / "alarmy.log";
    append(log,
        logLine("10:06:00", 1234, "TEMP_HIGH", "begin")
            + logLine("10:01:00", 77, "TEMP_LOW", "begin")
            + logLine("10:02:00", 77, "TEMP_LOW", "end")
            + logLine("10:03:00", 1234, "LINK_LOST", "begin")
            + logLine("10:03:30", 1234, "LINK_LOST", "end")
            + logLine("10:08:00", 1234, "TEMP_HIGH", "end")
            + logLine("10:09:00", 1234, "RH_HIGH", "begin"));

    ChartWindow w;
    w.resize(900, 700);
    w.show();
    // Settings without [ALARMS]: nothing drawn.
    w.SetAlarmSettings(none);
    EXPECT_EQ(w.plot()->itemCount(), 0);
    w.SetAlarmSettings(settings);
    ASSERT_TRUE(w.Open(QString::fromStdString(path)));
    OneChoice chooser(log);
    QAction* openLog = menuAction(w, QStringLiteral("Otwórz &dziennik alarmów..."));
    ASSERT_NE(openLog, nullptr);
    openLog->trigger();
    ASSERT_EQ(chooser.asked.size(), 1U);
    EXPECT_EQ(chooser.asked[0].folder, dir.path());
    ASSERT_NE(w.alarmLog(), nullptr);
    w.ShowAll();

    EXPECT_EQ(labelsOn(w, 0),
        QStringList(
            { QStringLiteral("dolny próg 15.0 °C"), QStringLiteral("górny próg 25.0 °C") }));
    EXPECT_EQ(itemsOn<QCPItemStraightLine>(w, 0).size(), 2U);
    EXPECT_EQ(labelsOn(w, 1), QStringList({ QStringLiteral("górny próg 60.0 %") }));
    EXPECT_TRUE(labelsOn(w, 2).isEmpty());
    // The limits in sight though the readings stay between 20 and 27 °C.
    const QCPRange temperatures = w.plot()->axisRect(0)->axis(QCPAxis::atLeft)->range();
    EXPECT_LT(temperatures.lower, 15);
    EXPECT_GT(temperatures.upper, 27);
    const QCPRange humidities = w.plot()->axisRect(1)->axis(QCPAxis::atLeft)->range();
    EXPECT_GT(humidities.upper, 60);

    // The other meter's alarm left out; the lost link on every plot; the
    // humidity alarm still on reaches the newest record.
    const auto bands = [&w](int rect) { return itemsOn<QCPItemRect>(w, rect); };
    ASSERT_EQ(bands(0).size(), 2U); // the lost link, the temperature
    EXPECT_EQ(bands(2).size(), 1U);
    ASSERT_EQ(bands(1).size(), 2U);
    const double newest = static_cast<double>(WallSeconds({ 2026, 12, 8, 10, 9, 50 }));
    double humidityEnd = 0;
    for (const QCPItemRect* b : bands(1))
        humidityEnd = std::max(humidityEnd, b->bottomRight->coords().x());
    EXPECT_GE(humidityEnd, newest);
    const double linkBegin = static_cast<double>(WallSeconds({ 2026, 12, 8, 10, 3, 0 }));
    EXPECT_NEAR(bands(2)[0]->topLeft->coords().x(), linkBegin, 5);

    // The log grows: the humidity alarm ends, the band with it.
    append(log, logLine("10:09:20", 1234, "RH_HIGH", "end"));
    EXPECT_TRUE(spinUntil([&] { return !w.overlays().periods().back().open; }, 3000));
    humidityEnd = 0;
    for (const QCPItemRect* b : bands(1))
        humidityEnd = std::max(humidityEnd, b->bottomRight->coords().x());
    EXPECT_LT(humidityEnd, newest - 20);
    if (const char* keep = std::getenv("QM482_CHART_ALARM_SHOT")) {
        append(log, logLine("10:09:40", 1234, "RH_HIGH", "begin"));
        spinUntil([&] { return w.overlays().periods().back().open; }, 3000);
        w.plot()->replot();
        w.grab().save(QString::fromUtf8(keep));
    }

    // The fourth plot, from the menu: its own readings, the meter's alarms, no limit.
    QAction* dewPoint = menuAction(w, QStringLiteral("&Punkt rosy"));
    ASSERT_NE(dewPoint, nullptr);
    dewPoint->trigger();
    ASSERT_EQ(w.plotCount(), 4);
    ASSERT_EQ(w.plot()->axisRectCount(), 4);
    EXPECT_EQ(
        w.plot()->axisRect(3)->axis(QCPAxis::atLeft)->label(), QStringLiteral("Punkt rosy [°C]"));
    ASSERT_EQ(w.plot()->graphCount(), 4);
    EXPECT_GT(w.plot()->graph(3)->data()->size(), 10);
    EXPECT_TRUE(labelsOn(w, 3).isEmpty());
    EXPECT_EQ(bands(3).size(), 1U);
    EXPECT_EQ(labelsOn(w, 0).size(), 2); // the limits survive the new plots
    EXPECT_TRUE(w.plot()->axisRect(3)->axis(QCPAxis::atBottom)->tickLabels());
    EXPECT_FALSE(w.plot()->axisRect(2)->axis(QCPAxis::atBottom)->tickLabels());
    if (const char* keep = std::getenv("QM482_CHART_DEW_SHOT")) {
        spinUntil([] { return false; }, 200);
        w.plot()->replot();
        w.grab().save(QString::fromUtf8(keep));
    }
    dewPoint->trigger();
    EXPECT_EQ(w.plot()->axisRectCount(), 3);
    EXPECT_EQ(w.plot()->graphCount(), 3);
    EXPECT_TRUE(w.recording()->series().at(1234).values(ChartSeries::kDewPoint).empty());
}

TEST(ChartCommandLine, OptionsAndBadUsage)
{
    using O = ChartCommandLine::Outcome;
    struct Expected {
        QString settings, alarms;
        bool dewPoint = false;
        QStringList files;
        QString report, dailyCsv;
        QDate from, to;
    };
    struct Case {
        QStringList arguments;
        O outcome;
        Expected options;
    };
    const std::vector<Case> cases = {
        { {}, O::Run, {} },
        { { "a.qmg" }, O::Run, { {}, {}, false, { "a.qmg" }, {}, {}, {}, {} } },
        { { "--settings", "s.ini", "--alarms=al.log", "--dew-point", "r.txt" }, O::Run,
            { "s.ini", "al.log", true, { "r.txt" }, {}, {}, {}, {} } },
        { { "--report", "m.pdf", "--daily-csv=d.csv", "--from", "2026-10-01", "--to", "2026-10-31",
              "--title", "Sala", "b.qmg", "a.qmg" },
            O::Run,
            { {}, {}, false, { "b.qmg", "a.qmg" }, "m.pdf", "d.csv", QDate(2026, 10, 1),
                QDate(2026, 10, 31) } },
        { { "--help" }, O::Help, {} },
        { { "--version" }, O::Version, {} },
        { { "--bogus" }, O::BadUsage, {} },
        { { "a.qmg", "b.qmg" }, O::BadUsage, {} },
        { { "--settings" }, O::BadUsage, {} },
        { { "--settings=" }, O::BadUsage, {} },
        { { "--alarms", "a.log", "--alarms", "b.log" }, O::BadUsage, {} },
        { { "--report", "m.pdf", "--to", "2026-02-30", "a.qmg" }, O::BadUsage, {} },
        { { "--title", "Sala", "a.qmg" }, O::BadUsage, {} },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const ChartCommandLine r
            = ParseChartCommandLine(QStringList { QStringLiteral("qm482-chart") } + c.arguments);
        EXPECT_EQ(r.outcome, c.outcome);
        EXPECT_EQ(r.options.settings, c.options.settings);
        if (c.outcome == O::Run) {
            EXPECT_EQ(r.options.alarms, c.options.alarms);
            EXPECT_EQ(r.options.dewPoint, c.options.dewPoint);
            EXPECT_EQ(r.options.files, c.options.files);
            EXPECT_EQ(r.options.file, c.options.files.value(0));
            EXPECT_EQ(r.options.report, c.options.report);
            EXPECT_EQ(r.options.dailyCsv, c.options.dailyCsv);
            EXPECT_EQ(r.options.from, c.options.from);
            EXPECT_EQ(r.options.to, c.options.to);
        } else {
            EXPECT_FALSE(r.output.isEmpty());
        }
    }
}
