// How the chart viewer copes with long recordings: opening a binary file of
// many records, memory per record, redraws after zoom and pan at any range;
// beside Qt Charts drawing the same decimated points and gnuplot drawing the
// report. Prints figures; run offscreen:
//   QT_QPA_PLATFORM=offscreen build/bench/qm482_chart_bench [records] [folder]
// The period report of qm482-chart as a scheduled job runs it (time and
// peak memory of the program, no display), for each count of records:
//   build/bench/qm482_chart_bench --report [records...] [--folder FOLDER]
#include "chart/ChartDecimation.h"
#include "chart/ChartRecording.h"
#include "chart/ChartWindow.h"
#include "chart/FileFollower.h"
#include "recording/BinaryRecord.h"
#include "recording/ReportFormat.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <qcustomplot.h>

#ifdef QM482_BENCH_QTCHARTS
#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QValueAxis>
#endif

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

long rssBytes()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * ::sysconf(_SC_PAGESIZE);
}

Readings readingsAt(std::size_t i)
{
    const double day = std::sin(static_cast<double>(i) * 2 * M_PI / 86400);
    Readings r { 1234, { 20 + 5 * day + static_cast<double>(i % 13) * 0.05, true },
        { 50 - 10 * day, true }, { 1000 + static_cast<double>(i % 977) * 0.01, i % 5000 != 7 } };
    return r;
}

LocalTime timeAt(std::size_t i)
{
    return FromWallSeconds(WallSeconds({ 2025, 1, 1, 0, 0, 0 }) + static_cast<std::int64_t>(i));
}

void writeBinary(const std::string& path, std::size_t n)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::string block;
    for (std::size_t i = 0; i < n; ++i) {
        block += qmg::Record(timeAt(i), readingsAt(i));
        if (block.size() > (8U << 20)) {
            out << block;
            block.clear();
        }
    }
    out << block;
}

void writeReport(const std::string& path, std::size_t n)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    RecordingSettings settings;
    settings.separatorFormat = 2;
    int columns = -1;
    std::string block;
    for (std::size_t i = 0; i < n; ++i) {
        block += report::Row(settings, timeAt(i), readingsAt(i), columns);
        if (block.size() > (8U << 20)) {
            out << block;
            block.clear();
        }
    }
    out << block;
}

struct Times {
    double median = 0, worst = 0;
};

template<typename F> Times measure(int rounds, F&& f)
{
    std::vector<double> ms;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer t;
        t.start();
        f(i);
        ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return { ms[ms.size() / 2], ms.back() };
}

struct Span {
    const char* name;
    double seconds;
};

struct ProgramRun {
    double seconds = 0;
    double peakMegabytes = 0;
    int status = -1;
};

// The program on its own, without a display, as cron would start it.
ProgramRun runReport(const std::string& recording, const std::string& pdf)
{
    QElapsedTimer t;
    t.start();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        ::unsetenv("QT_QPA_PLATFORM");
        ::execl(QM482_CHART_PROGRAM, "qm482-chart", "--report", pdf.c_str(), recording.c_str(),
            static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ProgramRun run;
    int status = 0;
    struct rusage usage { };
    if (pid > 0 && ::wait4(pid, &status, 0, &usage) == pid) {
        run.seconds = static_cast<double>(t.nsecsElapsed()) / 1e9;
        run.peakMegabytes = static_cast<double>(usage.ru_maxrss) / 1024; // kB
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return run;
}

int reportBench(int argc, char** argv)
{
    std::vector<std::size_t> counts;
    std::string folder = "/tmp";
    for (int i = 2; i < argc; ++i) {
        if (std::string(argv[i]) == "--folder" && i + 1 < argc)
            folder = argv[++i];
        else
            counts.push_back(std::stoul(argv[i]));
    }
    if (counts.empty())
        counts = { 2600000, 10000000 };
    const std::string binary = folder + "/qm482-report-bench.qmg";
    const std::string pdf = folder + "/qm482-report-bench.pdf";
    // What the program costs before any record: Qt, fonts, the PDF writer.
    writeBinary(binary, 1);
    const ProgramRun base = runReport(binary, pdf);
    std::printf("report of 1 record: %.2f s, peak %.1f MB (exit %d)\n", base.seconds,
        base.peakMegabytes, base.status);
    for (const std::size_t n : counts) {
        writeBinary(binary, n);
        const ProgramRun run = runReport(binary, pdf);
        // Its pages, as a reader counts them.
        QProcess info;
        info.start(QStringLiteral("pdfinfo"), { QString::fromStdString(pdf) });
        info.waitForFinished();
        const QString pages = QString::fromUtf8(info.readAllStandardOutput())
                                  .section(QStringLiteral("Pages:"), 1)
                                  .section(QLatin1Char('\n'), 0, 0)
                                  .trimmed();
        std::printf("report of %zu records: %.2f s, peak %.1f MB, %.1f bytes/record above the "
                    "program's own (exit %d, PDF %lld kB, %s pages)\n",
            n, run.seconds, run.peakMegabytes,
            (run.peakMegabytes - base.peakMegabytes) * 1024 * 1024 / static_cast<double>(n),
            run.status,
            static_cast<long long>(QFileInfo(QString::fromStdString(pdf)).size() / 1024),
            pages.toUtf8().constData());
    }
    std::remove(binary.c_str());
    std::remove(pdf.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::string(argv[1]) == "--report")
        return reportBench(argc, argv);
    QApplication app(argc, argv);
    const std::size_t n = argc > 1 ? std::stoul(argv[1]) : 10000000;
    const std::string folder = argc > 2 ? argv[2] : "/tmp";
    const std::string binary = folder + "/qm482-bench.qmg";
    std::printf("records: %zu\n", n);
    writeBinary(binary, n);
    struct Cleanup {
        std::vector<std::string> paths;
        ~Cleanup()
        {
            for (const auto& p : paths)
                std::remove(p.c_str());
        }
    } cleanup { { binary, folder + "/qm482-bench.txt" } };

    // Opening: read, check and store every record.
    {
        const long before = rssBytes();
        QElapsedTimer t;
        t.start();
        ChartRecording rec(ChartRecording::Kind::Binary);
        FileFollower follower(binary, rec);
        follower.Poll();
        for (auto& [serial, series] : rec.series())
            series.SortIfNeeded();
        const double ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
        std::printf("open binary: %.0f ms (%zu records, %zu damaged), memory %.1f bytes/record\n",
            ms, rec.records(), rec.damaged(),
            static_cast<double>(rssBytes() - before) / static_cast<double>(n));
    }

    ChartWindow window;
    window.resize(1280, 800);
    window.show();
    {
        QElapsedTimer t;
        t.start();
        window.Open(QString::fromStdString(binary));
        window.plot()->replot();
        std::printf("open in the window and first draw: %.0f ms\n",
            static_cast<double>(t.nsecsElapsed()) / 1e6);
    }

    const Span spans[] = { { "all", static_cast<double>(n) }, { "week", 7 * 86400.0 },
        { "day", 86400 }, { "hour", 3600 }, { "minute", 60 } };
    std::printf("\nredraw (decimate + replot), QCustomPlot, 3 plots 1280x800:\n");
    for (const Span& s : spans) {
        const Times zoom = measure(15, [&](int) {
            window.ShowLast(s.seconds);
            window.plot()->replot(QCustomPlot::rpImmediateRefresh);
        });
        QCPAxis* x = window.plot()->axisRect(0)->axis(QCPAxis::atBottom);
        const Times pan = measure(15, [&](int i) {
            x->moveRange((i % 2 == 0 ? -0.1 : 0.05) * s.seconds);
            window.plot()->replot(QCustomPlot::rpImmediateRefresh);
        });
        const Times replot
            = measure(15, [&](int) { window.plot()->replot(QCustomPlot::rpImmediateRefresh); });
        std::printf("  %-7s zoom median %6.1f ms worst %6.1f | pan median %6.1f ms worst %6.1f"
                    " | of which drawing %6.1f ms\n",
            s.name, zoom.median, zoom.worst, pan.median, pan.worst, replot.median);
    }

#ifdef QM482_BENCH_QTCHARTS
    {
        ChartRecording rec(ChartRecording::Kind::Binary);
        FileFollower follower(binary, rec);
        follower.Poll();
        const ChartSeries& series = rec.series().begin()->second;
        QWidget host;
        auto* layout = new QVBoxLayout(&host);
        std::vector<QLineSeries*> lines;
        std::vector<QDateTimeAxis*> axes;
        for (int q = 0; q < ChartSeries::kQuantities; ++q) {
            auto* chart = new QChart;
            auto* line = new QLineSeries;
            chart->addSeries(line);
            auto* x = new QDateTimeAxis;
            chart->addAxis(x, Qt::AlignBottom);
            auto* y = new QValueAxis;
            chart->addAxis(y, Qt::AlignLeft);
            line->attachAxis(x);
            line->attachAxis(y);
            chart->legend()->hide();
            layout->addWidget(new QChartView(chart));
            lines.push_back(line);
            axes.push_back(x);
        }
        host.resize(1280, 800);
        host.show();
        QApplication::processEvents();
        const double last = static_cast<double>(series.times().back());
        std::printf("\nredraw, Qt Charts with the same decimated points (no line breaks):\n");
        for (const Span& s : spans) {
            const Times t = measure(15, [&](int) {
                for (int q = 0; q < ChartSeries::kQuantities; ++q) {
                    const auto points = chart::Decimate(series.times(), series.values(q),
                        last - s.seconds, last, 1200, series.gapThreshold(), &series.summary(q));
                    QList<QPointF> list;
                    list.reserve(static_cast<qsizetype>(points.size()));
                    double lo = 1e300, hi = -1e300;
                    for (const auto& p : points) {
                        if (std::isnan(p.value))
                            continue; // a line series cannot break
                        list.append(QPointF(p.time * 1000, p.value));
                        lo = std::min(lo, p.value);
                        hi = std::max(hi, p.value);
                    }
                    lines[static_cast<std::size_t>(q)]->replace(list);
                    axes[static_cast<std::size_t>(q)]->setRange(
                        QDateTime::fromMSecsSinceEpoch(
                            static_cast<qint64>((last - s.seconds) * 1000), QTimeZone::utc()),
                        QDateTime::fromMSecsSinceEpoch(
                            static_cast<qint64>(last * 1000), QTimeZone::utc()));
                    static_cast<QValueAxis*>(
                        lines[static_cast<std::size_t>(q)]->attachedAxes().at(1))
                        ->setRange(lo, hi);
                }
                host.grab();
            });
            std::printf("  %-7s median %6.1f ms worst %6.1f\n", s.name, t.median, t.worst);
        }
        // Qt Charts without decimation, one hour of records.
        const Times raw = measure(5, [&](int) {
            QList<QPointF> list;
            const std::size_t from = series.size() > 3600 ? series.size() - 3600 : 0;
            for (std::size_t i = from; i < series.size(); ++i)
                list.append(QPointF(static_cast<double>(series.times()[i]) * 1000,
                    static_cast<double>(series.values(0)[i])));
            lines[0]->replace(list);
            host.grab();
        });
        std::printf("  raw hour (3600 points in one plot) median %.1f ms\n", raw.median);
    }
#endif

    // Beside gnuplot drawing the report of the same records to a PNG.
    const std::size_t reportRows = std::min<std::size_t>(n, 1000000);
    const std::string reportPath = folder + "/qm482-bench.txt";
    writeReport(reportPath, reportRows);
    const std::string ourPng = folder + "/qm482-bench-chart.png";
    const Times ours = measure(3, [&](int) {
        ChartWindow w;
        w.resize(1280, 800);
        w.show();
        w.Open(QString::fromStdString(reportPath));
        w.plot()->replot();
        w.ExportImage(QString::fromStdString(ourPng));
    });
    const QString script
        = QStringLiteral(
            "set terminal pngcairo size 1280,800; set output '%1/qm482-bench-gnuplot.png';"
            "set datafile separator ';'; set xdata time; set timefmt '%Y.%m.%d %H:%M:%S';"
            "set multiplot layout 3,1;"
            "plot '%2' using 1:2 with lines notitle;"
            "plot '%2' using 1:3 with lines notitle;"
            "plot '%2' using 1:4 with lines notitle;"
            "unset multiplot")
              .arg(QString::fromStdString(folder), QString::fromStdString(reportPath));
    bool gnuplotRan = true;
    const Times gnuplot = measure(3, [&](int) {
        gnuplotRan = gnuplotRan
            && QProcess::execute(QStringLiteral("gnuplot"), { QStringLiteral("-e"), script }) == 0;
    });
    if (!gnuplotRan) {
        std::printf("\nreport of %zu rows to PNG: qm482-chart %.0f ms (gnuplot did not run)\n",
            reportRows, ours.median);
        return 0;
    }
    std::printf("\nreport of %zu rows to PNG: qm482-chart %.0f ms, gnuplot %.0f ms (ratio %.1f)\n",
        reportRows, ours.median, gnuplot.median, gnuplot.median / ours.median);
    return 0;
}
