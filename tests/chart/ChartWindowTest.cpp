// The chart viewer's window on real files: what it shows, following the
// file as it grows, the exports.
#include "chart/ChartWindow.h"
#include "recording/BinaryRecord.h"
#include "support/EventLoop.h"
#include "support/TempDir.h"

#include <QCoreApplication>
#include <QImage>
#include <QLabel>
#include <QStatusBar>
#include <gtest/gtest.h>
#include <qcustomplot.h>

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
