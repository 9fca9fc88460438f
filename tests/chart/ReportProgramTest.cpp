// qm482-chart --report run as a scheduled job runs it: no display, no
// platform chosen. The PDF is read back with pdftotext and drawn with
// pdftoppm; its figures are those the viewer's own statistics give.
#include "chart/PeriodReport.h"
#include "chart/ReportFigures.h"
#include "common/ValueFormat.h"
#include "recording/BinaryRecord.h"
#include "support/TempDir.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

namespace {

struct Outcome {
    int code = -1;
    QString out; // stderr
};

Outcome runChart(const QStringList& arguments, const QString& home)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home);
    env.insert(QStringLiteral("TZ"), QStringLiteral("Europe/Warsaw"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(QM482_CHART_PROGRAM), arguments);
    if (!p.waitForFinished(60000))
        return {};
    return { p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
        QString::fromLocal8Bit(p.readAllStandardError()) };
}

QString run(const QString& program, const QStringList& arguments)
{
    QProcess p;
    p.start(program, arguments);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Three days of meter 4821 at 30 s, the first in a file of its own; a
// morning of meter 77; two hours without records on the second day.
void writeRecordings(const std::string& first, const std::string& rest)
{
    std::ofstream a(first, std::ios::binary);
    std::ofstream b(rest, std::ios::binary);
    const std::int64_t start = WallSeconds({ 2026, 11, 2, 0, 0, 0 });
    for (std::int64_t t = start; t < start + 3 * 86400; t += 30) {
        const LocalTime lt = FromWallSeconds(t);
        if (lt.day == 3 && lt.hour >= 10 && lt.hour < 12)
            continue;
        const auto i = static_cast<double>(t - start);
        Readings r { 4821, { 18 + 4 * std::sin(i / 9000), true },
            { 55 + 8 * std::cos(i / 7000), std::fmod(i, 3000) != 0 },
            { 1005 + std::sin(i / 50000), true } };
        (lt.day == 2 ? a : b) << qmg::Record(lt, r);
        if (lt.day == 3 && lt.hour < 6)
            b << qmg::Record(lt, { 77, { 12, true }, { 70, true }, { 990, true } });
    }
}

QString collapsed(QString s)
{
    return s.replace(QRegularExpression(QStringLiteral("\\s+")), QStringLiteral(" "));
}

} // namespace

TEST(ReportProgram, PdfAndDailyTableWithoutADisplay)
{
    TempDir dir;
    const QString d = QString::fromStdString(dir.path());
    writeRecordings(dir / "listopad-1.qmg", dir / "listopad-2.qmg");
    std::ofstream(dir / "alarmy.log") << "2026-11-03 14:00:00\t4821\tTEMP_HIGH\tbegin\t21.2\t21\n"
                                         "2026-11-03 15:30:00\t4821\tTEMP_HIGH\tend\t20.9\t21\n";
    std::ofstream(dir / "qm482.ini") << "[ALARMS]\r\nTEMP_HIGH_ON=1\r\nTEMP_HIGH=21\r\n";
    const QString pdf = d + QStringLiteral("/raport.pdf");
    const QString csv = d + QStringLiteral("/dni.csv");
    // The later file first: the records go in time order all the same.
    const Outcome r = runChart(
        { QStringLiteral("--report"), pdf, QStringLiteral("--daily-csv"), csv,
            QStringLiteral("--title"), QStringLiteral("Archiwum – sala 2"),
            QStringLiteral("--settings"), d + QStringLiteral("/qm482.ini"),
            QStringLiteral("--alarms"), d + QStringLiteral("/alarmy.log"),
            d + QStringLiteral("/listopad-2.qmg"), d + QStringLiteral("/listopad-1.qmg") },
        d);
    ASSERT_EQ(r.code, 0) << r.out.toStdString();

    const QString textOut = collapsed(
        run(QStringLiteral("pdftotext"), { QStringLiteral("-layout"), pdf, QStringLiteral("-") }));
    ASSERT_FALSE(textOut.isEmpty());
    const QRegularExpression pages(QStringLiteral("strona (\\d+) z (\\d+)"));
    int count = 0;
    int total = 0;
    for (auto it = pages.globalMatch(textOut); it.hasNext(); ++count)
        total = it.next().captured(2).toInt();
    EXPECT_GE(total, 2);
    EXPECT_EQ(count, total);
    for (const char* expected : { "Archiwum – sala 2", "QM-482 nr 4821", "QM-482 nr 77",
             "Okres: 02.11.2026 – 04.11.2026", "listopad-1.qmg", "górny próg 21.0 °C",
             "temperatura powyżej progu: od 03.11.2026 14:00:00 do 03.11.2026 15:30:00",
             "od 03.11.2026 09:59:30 do 03.11.2026 12:00:00 (2 h 00 min)",
             "Ciśnienie [hPa] – wartości dzienne" })
        EXPECT_TRUE(textOut.contains(QString::fromUtf8(expected))) << expected;

    // Every row of the tables, as the viewer's statistics give it.
    ReportRecordings recordings;
    QString failed;
    ASSERT_TRUE(recordings.Read({ d + "/listopad-1.qmg", d + "/listopad-2.qmg" }, false, failed));
    const std::int64_t from = WallSeconds({ 2026, 11, 2, 0, 0, 0 });
    const std::int64_t to = from + 3 * 86400 - 1;
    std::size_t rows = 0;
    for (const auto& [serial, series] : recordings.series()) {
        const auto days = chart::DailyFigures(series, from, to);
        rows += days.size();
        for (std::size_t i = 0; i + 1 < days.size(); ++i)
            for (int q = 0; q < 3; ++q) {
                const chart::RangeStats& s = days[i].quantity[q];
                const LocalTime day = FromWallSeconds(days[i].day);
                const auto clock = [](std::int64_t t) {
                    const LocalTime c = FromWallSeconds(t);
                    return QString::asprintf("%02d:%02d:%02d", c.hour, c.minute, c.second);
                };
                const QString row
                    = QString::asprintf("%02d.%02d.%04d ", day.day, day.month, day.year)
                    + QString::fromStdString(FormatFixed(s.minimum, 1)) + ' ' + clock(s.minimumTime)
                    + ' ' + QString::fromStdString(FormatFixed(s.maximum, 1)) + ' '
                    + clock(s.maximumTime) + ' ' + QString::fromStdString(FormatFixed(s.mean, 2))
                    + QStringLiteral(" %1 / %2").arg(s.count).arg(days[i].records);
                EXPECT_TRUE(textOut.contains(row)) << row.toStdString();
            }
    }
    EXPECT_EQ(rows, 4U + 2U); // three days and the period; one day and the period
    QFile table(csv);
    ASSERT_TRUE(table.open(QIODevice::ReadOnly));
    EXPECT_EQ(table.readAll().count("\r\n"), static_cast<qsizetype>(rows + 1));

    // Drawn: a page as a picture, not blank.
    run(QStringLiteral("pdftoppm"),
        { QStringLiteral("-r"), QStringLiteral("40"), QStringLiteral("-f"), QStringLiteral("1"),
            QStringLiteral("-l"), QStringLiteral("1"), QStringLiteral("-png"), pdf,
            d + QStringLiteral("/strona") });
    EXPECT_GT(QFile(d + QStringLiteral("/strona-1.png")).size(), 5000);
}

TEST(ReportProgram, ExitCodesSayWhatWentWrong)
{
    TempDir dir;
    const QString d = QString::fromStdString(dir.path());
    writeRecordings(dir / "a.qmg", dir / "b.qmg");
    const QString in = d + QStringLiteral("/a.qmg");
    const QString out = d + QStringLiteral("/r.pdf");
    struct Case {
        QStringList arguments;
        int code;
        const char* says;
    };
    const std::vector<Case> cases = {
        { { "--report", out, d + "/nie-ma.qmg" }, 1, "nie-ma.qmg" },
        { { "--report", d + "/nie-ma/r.pdf", in }, 1, "nie-ma/r.pdf" },
        { { "--daily-csv", d, in }, 1, "zapisać" },
        { { "--report", out, "--alarms", d + "/brak.log", in }, 1, "brak.log" },
        { { "--report", out, "--from", "2026-13-01", in }, 2, "--from" },
        { { "--report", out, "--from", "2026-11-05", "--to", "2026-11-01", in }, 2, "--to" },
        { { "--report", out }, 2, "PLIK" },
        { { "--from", "2026-11-01", in }, 2, "raportu" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const Outcome r = runChart(c.arguments, d);
        EXPECT_EQ(r.code, c.code);
        EXPECT_TRUE(r.out.contains(QString::fromUtf8(c.says))) << r.out.toStdString();
        EXPECT_FALSE(QFile::exists(out));
    }
}
