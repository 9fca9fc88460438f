#include "chart/ChartWindow.h"

#include "chart/ChartDecimation.h"
#include "common/ValueFormat.h"
#include "platform/Choosers.h"
#include "platform/MessageBox.h"
#include "resources/ChartTexts.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QSvgGenerator>
#include <QToolBar>
#include <QVBoxLayout>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kHour = 3600;
constexpr double kDay = 24 * kHour;
constexpr double kWeek = 7 * kDay;
// inotify answers at once; the poll covers filesystems where it does not.
constexpr int kPollMs = 2000;

const QColor kSeriesColours[] = { QColor(0x1f, 0x5f, 0xbf), QColor(0xc0, 0x39, 0x2b),
    QColor(0x27, 0x8e, 0x3c), QColor(0x8e, 0x44, 0xad), QColor(0xd3, 0x84, 0x00) };

QString timeText(std::int64_t wallSeconds)
{
    const LocalTime t = FromWallSeconds(wallSeconds);
    return QString::asprintf(
        "%02d.%02d.%04d %02d:%02d:%02d", t.day, t.month, t.year, t.hour, t.minute, t.second);
}

QString text(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

QString valueText(double value)
{
    return QString::fromStdString(FormatFixed(value, 1));
}

QString serialText(int serial)
{
    return serial > 0 ? text(texts::chart::kSerial).arg(serial) : text(texts::chart::kNoSerial);
}

} // namespace

ChartWindow::ChartWindow(QWidget* parent)
    : QMainWindow(parent)
    , plot_(new QCustomPlot(this))
    , records_(new QLabel(this))
    , cursor_(new QLabel(this))
    , stats_(new QLabel(this))
{
    setWindowTitle(QStringLiteral("qm482-chart"));
    setAcceptDrops(true);

    plot_->plotLayout()->clear();
    plot_->setNoAntialiasingOnDrag(true);
    auto* margins = new QCPMarginGroup(plot_);
    QSharedPointer<QCPAxisTickerDateTime> ticker(new QCPAxisTickerDateTime);
    // Times are wall-clock seconds counted as UTC: shown as recorded.
    ticker->setDateTimeSpec(Qt::UTC);
    ticker->setDateTimeFormat(QStringLiteral("dd.MM.yyyy\nHH:mm:ss"));
    for (int q = 0; q < ChartSeries::kQuantities; ++q) {
        auto* rect = new QCPAxisRect(plot_);
        rects_[static_cast<std::size_t>(q)] = rect;
        plot_->plotLayout()->addElement(q, 0, rect);
        rect->setMarginGroup(QCP::msLeft | QCP::msRight, margins);
        rect->setRangeDrag(Qt::Horizontal);
        rect->setRangeZoom(Qt::Horizontal);
        QCPAxis* x = rect->axis(QCPAxis::atBottom);
        x->setTicker(ticker);
        x->setTickLabels(q == ChartSeries::kQuantities - 1);
        QCPAxis* y = rect->axis(QCPAxis::atLeft);
        y->setLabel(QStringLiteral("%1 [%2]").arg(
            text(texts::chart::kQuantityTitles[q]), text(texts::chart::kQuantityUnits[q])));
        y->setNumberFormat(QStringLiteral("f"));
        y->setNumberPrecision(1);
        connect(x, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
            &ChartWindow::OnRangeChanged);
    }
    rects_.back()->axis(QCPAxis::atBottom)->setLabel(text(texts::chart::kTimeAxis));
    // Clearing the layout took the default legend with its axis rect.
    plot_->legend = new QCPLegend;
    rects_[0]->insetLayout()->addElement(plot_->legend, Qt::AlignTop | Qt::AlignRight);
    plot_->legend->setLayer(QStringLiteral("legend"));
    plot_->legend->setBrush(QColor(255, 255, 255, 190));
    plot_->legend->setVisible(false);
    plot_->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    connect(plot_, &QCustomPlot::mouseMove, this, [this](QMouseEvent* e) {
        ShowCursor(rects_[0]->axis(QCPAxis::atBottom)->pixelToCoord(e->position().x()));
    });
    setCentralWidget(plot_);

    statusBar()->addWidget(records_);
    statusBar()->addWidget(cursor_, 1);
    auto* statsBar = new QToolBar(text(texts::chart::kStatsBar), this);
    statsBar->setMovable(false);
    stats_->setTextFormat(Qt::PlainText);
    statsBar->addWidget(stats_);
    addToolBar(Qt::BottomToolBarArea, statsBar);

    BuildMenus();
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &ChartWindow::Poll);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &ChartWindow::Poll);
    connect(&pollTimer_, &QTimer::timeout, this, &ChartWindow::Poll);
    UpdateStatus();
}

ChartWindow::~ChartWindow() = default;

void ChartWindow::BuildMenus()
{
    QMenu* file = menuBar()->addMenu(text(texts::chart::kFileMenu));
    file->addAction(
        text(texts::chart::kOpen), QKeySequence::Open, this, &ChartWindow::ChooseAndOpen);
    file->addAction(text(texts::chart::kExportChart), this, [this] { ChooseAndExport(false); });
    file->addAction(text(texts::chart::kExportCsv), this, [this] { ChooseAndExport(true); });
    file->addSeparator();
    file->addAction(text(texts::chart::kQuit), QKeySequence::Quit, this, &QWidget::close);

    QMenu* view = menuBar()->addMenu(text(texts::chart::kViewMenu));
    QToolBar* bar = addToolBar(text(texts::chart::kViewBar));
    bar->setMovable(false);
    const auto span = [&](const QString& label, double seconds) {
        QAction* a = view->addAction(label, this, [this, seconds] { ShowLast(seconds); });
        bar->addAction(a);
    };
    span(text(texts::chart::kLastHour), kHour);
    span(text(texts::chart::kLastDay), kDay);
    span(text(texts::chart::kLastWeek), kWeek);
    QAction* all = view->addAction(text(texts::chart::kWhole), this, &ChartWindow::ShowAll);
    bar->addAction(all);
}

bool ChartWindow::Open(const QString& path)
{
    const QString full = QFileInfo(path).absoluteFilePath();
    auto recording = std::make_unique<ChartRecording>(ChartRecording::KindOf(full.toStdString()));
    auto follower = std::make_unique<FileFollower>(full.toStdString(), *recording);
    if (follower->Poll() == FileFollower::Result::Failed) {
        ShowMessage(this, text(texts::chart::kCannotOpen).arg(full));
        return false;
    }
    if (!watcher_.files().isEmpty())
        watcher_.removePaths(watcher_.files());
    if (!watcher_.directories().isEmpty())
        watcher_.removePaths(watcher_.directories());
    path_ = full;
    recording_ = std::move(recording);
    follower_ = std::move(follower);
    for (auto& [serial, series] : recording_->series())
        series.SortIfNeeded();
    // The folder too: a replaced file is a new one the file watch misses.
    watcher_.addPath(path_);
    watcher_.addPath(QFileInfo(path_).absolutePath());
    pollTimer_.start(kPollMs);
    setWindowTitle(QStringLiteral("%1 – qm482-chart").arg(QFileInfo(path_).fileName()));
    RebuildGraphs();
    ShowAll();
    UpdateStatus();
    return true;
}

void ChartWindow::Poll()
{
    if (!follower_)
        return;
    const FileFollower::Result result = follower_->Poll();
    if (!watcher_.files().contains(path_) && QFileInfo::exists(path_))
        watcher_.addPath(path_);
    if (result == FileFollower::Result::Unchanged || result == FileFollower::Result::Failed)
        return;
    for (auto& [serial, series] : recording_->series())
        series.SortIfNeeded();
    RebuildGraphs();
    if (result == FileFollower::Result::Restarted)
        ShowAll();
    else if (followEnd_)
        ShowLast(rects_[0]->axis(QCPAxis::atBottom)->range().size());
    else
        Redraw();
    UpdateStatus();
}

void ChartWindow::RebuildGraphs()
{
    const std::size_t wanted = recording_ ? recording_->series().size() : 0;
    if (static_cast<std::size_t>(plot_->graphCount()) == wanted * ChartSeries::kQuantities)
        return;
    plot_->clearGraphs();
    if (!recording_)
        return;
    std::size_t index = 0;
    for (const auto& [serial, series] : recording_->series()) {
        const QColor colour = kSeriesColours[index++ % std::size(kSeriesColours)];
        for (int q = 0; q < ChartSeries::kQuantities; ++q) {
            QCPAxisRect* rect = rects_[static_cast<std::size_t>(q)];
            QCPGraph* g
                = plot_->addGraph(rect->axis(QCPAxis::atBottom), rect->axis(QCPAxis::atLeft));
            g->setPen(QPen(colour, 1));
            g->setName(serialText(serial));
            g->setAdaptiveSampling(false); // the data is decimated already
            if (q != 0)
                g->removeFromLegend();
        }
    }
    plot_->legend->setVisible(wanted > 1);
}

void ChartWindow::ShowLast(double seconds)
{
    if (!recording_ || recording_->records() == 0)
        return;
    double last = -std::numeric_limits<double>::infinity();
    for (const auto& [serial, series] : recording_->series())
        if (series.size() != 0)
            last = std::max(last, static_cast<double>(series.times().back()));
    followEnd_ = true;
    // A little room after the newest record, so it is not on the frame.
    const double end = last + std::max(1.0, seconds / 100);
    rects_[0]->axis(QCPAxis::atBottom)->setRange(end - seconds, end);
    Redraw();
}

void ChartWindow::ShowAll()
{
    if (!recording_ || recording_->records() == 0) {
        Redraw();
        return;
    }
    double first = std::numeric_limits<double>::infinity();
    double last = -first;
    for (const auto& [serial, series] : recording_->series()) {
        if (series.size() == 0)
            continue;
        first = std::min(first, static_cast<double>(series.times().front()));
        last = std::max(last, static_cast<double>(series.times().back()));
    }
    ShowLast(std::max(60.0, last - first));
}

void ChartWindow::OnRangeChanged(const QCPRange& range)
{
    if (inRedraw_)
        return;
    double last = -std::numeric_limits<double>::infinity();
    if (recording_)
        for (const auto& [serial, series] : recording_->series())
            if (series.size() != 0)
                last = std::max(last, static_cast<double>(series.times().back()));
    followEnd_ = range.upper >= last;
    Redraw();
}

void ChartWindow::Redraw()
{
    inRedraw_ = true;
    const QCPRange range = rects_[0]->axis(QCPAxis::atBottom)->range();
    for (QCPAxisRect* rect : rects_)
        rect->axis(QCPAxis::atBottom)->setRange(range);
    if (recording_) {
        int g = 0;
        for (const auto& [serial, series] : recording_->series()) {
            const std::int64_t gap = series.gapThreshold();
            for (int q = 0; q < ChartSeries::kQuantities; ++q) {
                const int columns = std::max(1, rects_[static_cast<std::size_t>(q)]->width());
                const auto points = chart::Decimate(series.times(), series.values(q), range.lower,
                    range.upper, columns, gap, &series.summary(q));
                QVector<double> keys(static_cast<qsizetype>(points.size()));
                QVector<double> values(static_cast<qsizetype>(points.size()));
                for (std::size_t i = 0; i < points.size(); ++i) {
                    keys[static_cast<qsizetype>(i)] = points[i].time;
                    values[static_cast<qsizetype>(i)] = points[i].value;
                }
                QCPGraph* graph = plot_->graph(g++);
                graph->setData(keys, values, true);
                // Smoothing or widening thousands of short segments costs more
                // than it shows (a wide pen is stroked as a polygon).
                const bool dense = points.size() >= static_cast<std::size_t>(columns);
                graph->setAntialiased(!dense);
                graph->setPen(QPen(graph->pen().color(), dense ? 1.0 : 1.5));
                // Dots while the records are few enough to tell apart: a lone
                // record has no line to show it.
                const bool sparse = points.size() * 4 < static_cast<std::size_t>(columns);
                graph->setScatterStyle(sparse ? QCPScatterStyle(QCPScatterStyle::ssDisc, 4)
                                              : QCPScatterStyle(QCPScatterStyle::ssNone));
            }
        }
        for (QCPAxisRect* rect : rects_) {
            QCPAxis* y = rect->axis(QCPAxis::atLeft);
            y->rescale(true);
            const QCPRange r = y->range();
            const double pad = std::max(0.5, r.size() * 0.08);
            y->setRange(r.lower - pad, r.upper + pad);
        }
    }
    inRedraw_ = false;
    UpdateStatus();
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void ChartWindow::ShowCursor(double time)
{
    if (!recording_ || recording_->records() == 0)
        return;
    QStringList parts;
    for (const auto& [serial, series] : recording_->series()) {
        const auto& times = series.times();
        auto it = std::lower_bound(times.begin(), times.end(), time,
            [](std::int64_t a, double b) { return static_cast<double>(a) < b; });
        if (it == times.end()
            || (it != times.begin()
                && time - static_cast<double>(*(it - 1)) < static_cast<double>(*it) - time))
            --it;
        const auto i = static_cast<std::size_t>(it - times.begin());
        QString line = timeText(times[i]);
        if (recording_->series().size() > 1)
            line = serialText(serial) + QStringLiteral(": ") + line;
        for (int q = 0; q < ChartSeries::kQuantities; ++q) {
            const float v = series.values(q)[i];
            line += QStringLiteral("  ") + (std::isnan(v) ? QStringLiteral("???") : valueText(v))
                + QStringLiteral(" ") + text(texts::chart::kQuantityUnits[q]);
        }
        parts << line;
    }
    cursor_->setText(parts.join(QStringLiteral("   |   ")));
}

void ChartWindow::UpdateStatus()
{
    if (!recording_) {
        records_->setText(text(texts::chart::kNothingOpen));
        stats_->clear();
        return;
    }
    records_->setText(
        text(texts::chart::kRecords).arg(recording_->records()).arg(recording_->damaged()));
    const QCPRange range = rects_[0]->axis(QCPAxis::atBottom)->range();
    QStringList lines;
    for (int q = 0; q < ChartSeries::kQuantities; ++q) {
        chart::RangeStats all;
        double sum = 0;
        for (const auto& [serial, series] : recording_->series()) {
            const chart::RangeStats s = chart::Stats(
                series.times(), series.values(q), range.lower, range.upper, &series.summary(q));
            if (s.count == 0)
                continue;
            if (all.count == 0 || s.minimum < all.minimum) {
                all.minimum = s.minimum;
                all.minimumTime = s.minimumTime;
            }
            if (all.count == 0 || s.maximum > all.maximum) {
                all.maximum = s.maximum;
                all.maximumTime = s.maximumTime;
            }
            all.count += s.count;
            sum += s.mean * static_cast<double>(s.count);
        }
        const QString unit = text(texts::chart::kQuantityUnits[q]);
        QString line = text(texts::chart::kQuantityTitles[q]) + QStringLiteral(": ");
        if (all.count == 0) {
            line += text(texts::chart::kNoValues);
        } else {
            line += text(texts::chart::kRangeFigures)
                        .arg(valueText(all.minimum), unit, timeText(all.minimumTime),
                            valueText(all.maximum), timeText(all.maximumTime),
                            QString::fromStdString(
                                FormatFixed(sum / static_cast<double>(all.count), 2)));
        }
        lines << line;
    }
    stats_->setText(lines.join(QLatin1Char('\n')));
}

void ChartWindow::ChooseAndOpen()
{
    FileChoice choice;
    choice.title = texts::chart::kOpenTitle;
    choice.filters = { { texts::chart::kMeasurementFiles, "*.qmg" },
        { texts::chart::kReports, "*.txt *.csv" }, { texts::chart::kAllFiles, "*" } };
    if (!path_.isEmpty())
        choice.folder = QFileInfo(path_).absolutePath().toStdString();
    std::string chosen;
    if (Choosers::instance().ChooseFile(this, choice, chosen))
        Open(QString::fromStdString(chosen));
}

void ChartWindow::ChooseAndExport(bool csv)
{
    FileChoice choice;
    if (csv) {
        choice.title = texts::chart::kExportRangeTitle;
        choice.filters = { { texts::chart::kCsvFiles, "*.csv" } };
        choice.defaultExtension = "csv";
    } else {
        choice.title = texts::chart::kExportChartTitle;
        choice.filters
            = { { texts::chart::kPngFiles, "*.png" }, { texts::chart::kSvgFiles, "*.svg" } };
        choice.defaultExtension = "png";
    }
    if (!path_.isEmpty())
        choice.folder = QFileInfo(path_).absolutePath().toStdString();
    std::string chosen;
    if (!Choosers::instance().ChooseFile(this, choice, chosen))
        return;
    const QString target = QString::fromStdString(chosen);
    if (!(csv ? ExportCsv(target) : ExportImage(target)))
        ShowMessage(this, text(texts::chart::kCannotSave).arg(target));
}

bool ChartWindow::ExportImage(const QString& path)
{
    if (path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
        QSvgGenerator svg;
        svg.setFileName(path);
        svg.setSize(plot_->size());
        svg.setViewBox(QRect(QPoint(0, 0), plot_->size()));
        svg.setTitle(windowTitle());
        QCPPainter painter;
        if (!painter.begin(&svg))
            return false;
        plot_->toPainter(&painter, plot_->width(), plot_->height());
        return painter.end();
    }
    return plot_->savePng(path);
}

bool ChartWindow::ExportCsv(const QString& path) const
{
    if (!recording_)
        return false;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QCPRange range = rects_[0]->axis(QCPAxis::atBottom)->range();
    std::string out = texts::chart::kCsvHeader;
    for (const auto& [serial, series] : recording_->series()) {
        const auto& times = series.times();
        for (std::size_t i = 0; i < times.size(); ++i) {
            const auto t = static_cast<double>(times[i]);
            if (t < range.lower || t > range.upper)
                continue;
            const LocalTime lt = FromWallSeconds(times[i]);
            char date[96];
            std::snprintf(date, sizeof date, "%04d.%02d.%02d %02d:%02d:%02d", lt.year, lt.month,
                lt.day, lt.hour, lt.minute, lt.second);
            out += date;
            out += ',' + std::to_string(serial);
            for (int q = 0; q < ChartSeries::kQuantities; ++q) {
                const float v = series.values(q)[i];
                out += ',';
                out += std::isnan(v) ? std::string("???") : FormatFixed(v, 1);
            }
            out += "\r\n";
        }
    }
    return file.write(out.data(), static_cast<qint64>(out.size()))
        == static_cast<qint64>(out.size())
        && file.flush();
}

void ChartWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls() && event->mimeData()->urls().constFirst().isLocalFile())
        event->acceptProposedAction();
}

void ChartWindow::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!urls.isEmpty() && urls.constFirst().isLocalFile()) {
        event->acceptProposedAction();
        Open(urls.constFirst().toLocalFile());
    }
}
