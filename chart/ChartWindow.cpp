#include "chart/ChartWindow.h"

#include "chart/ChartDecimation.h"
#include "chart/PeriodReport.h"
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
#include <QSaveFile>
#include <QStatusBar>
#include <QSvgGenerator>
#include <QToolBar>
#include <QVBoxLayout>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

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

QString titleText(int column)
{
    return text(column == ChartSeries::kDewPoint ? texts::chart::kDewPointTitle
                                                 : texts::chart::kQuantityTitles[column]);
}

QString unitText(int column)
{
    return text(column == ChartSeries::kDewPoint ? texts::chart::kDewPointUnit
                                                 : texts::chart::kQuantityUnits[column]);
}

QString serialText(int serial)
{
    return serial > 0 ? text(texts::chart::kSerial).arg(serial) : text(texts::chart::kNoSerial);
}

} // namespace

ChartWindow::ChartWindow(QWidget* parent)
    : QMainWindow(parent)
    , plot_(new QCustomPlot(this))
    , overlays_(plot_)
    , records_(new QLabel(this))
    , cursor_(new QLabel(this))
    , stats_(new QLabel(this))
{
    setWindowTitle(QStringLiteral("qm482-chart"));
    setAcceptDrops(true);

    plot_->setNoAntialiasingOnDrag(true);
    BuildPlots();
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

ChartWindow::~ChartWindow()
{
    // A report on its way is finished, not left half written.
    for (const QPointer<QThread>& writer : reportWriters_)
        if (writer)
            writer->wait();
}

void ChartWindow::BuildPlots()
{
    // The items and graphs hold the axes of the plots taken down here.
    const bool rebuilt = !rects_.empty();
    const QCPRange range = rebuilt ? rects_[0]->axis(QCPAxis::atBottom)->range() : QCPRange(0, 60);
    overlays_.Detach();
    plot_->clearGraphs();
    plot_->plotLayout()->clear();
    delete margins_;
    rects_.clear();

    margins_ = new QCPMarginGroup(plot_);
    QSharedPointer<QCPAxisTickerDateTime> ticker(new QCPAxisTickerDateTime);
    // Times are wall-clock seconds counted as UTC: shown as recorded.
    ticker->setDateTimeSpec(Qt::UTC);
    ticker->setDateTimeFormat(QStringLiteral("dd.MM.yyyy\nHH:mm:ss"));
    const int count = dewPoint_ ? ChartSeries::kColumns : ChartSeries::kQuantities;
    for (int q = 0; q < count; ++q) {
        auto* rect = new QCPAxisRect(plot_);
        rects_.push_back(rect);
        plot_->plotLayout()->addElement(q, 0, rect);
        rect->setMarginGroup(QCP::msLeft | QCP::msRight, margins_);
        rect->setRangeDrag(Qt::Horizontal);
        rect->setRangeZoom(Qt::Horizontal);
        QCPAxis* x = rect->axis(QCPAxis::atBottom);
        x->setTicker(ticker);
        x->setTickLabels(q == count - 1);
        x->setRange(range);
        QCPAxis* y = rect->axis(QCPAxis::atLeft);
        y->setLabel(QStringLiteral("%1 [%2]").arg(titleText(q), unitText(q)));
        y->setNumberFormat(QStringLiteral("f"));
        y->setNumberPrecision(1);
        connect(x, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
            &ChartWindow::OnRangeChanged);
    }
    rects_.back()->axis(QCPAxis::atBottom)->setLabel(text(texts::chart::kTimeAxis));
    // Clearing the layout took the legend with its axis rect.
    plot_->legend = new QCPLegend;
    rects_[0]->insetLayout()->addElement(plot_->legend, Qt::AlignTop | Qt::AlignRight);
    plot_->legend->setLayer(QStringLiteral("legend"));
    plot_->legend->setBrush(QColor(255, 255, 255, 190));
    plot_->legend->setVisible(false);
    overlays_.Attach(rects_);
    if (rebuilt) {
        // The new plots' widths, which the decimation goes by, as a replot lays them out.
        for (const auto phase : { QCPLayoutElement::upPreparation, QCPLayoutElement::upMargins,
                 QCPLayoutElement::upLayout })
            plot_->plotLayout()->update(phase);
        RebuildGraphs();
        Redraw();
    }
}

void ChartWindow::BuildMenus()
{
    QMenu* file = menuBar()->addMenu(text(texts::chart::kFileMenu));
    file->addAction(
        text(texts::chart::kOpen), QKeySequence::Open, this, &ChartWindow::ChooseAndOpen);
    file->addAction(text(texts::chart::kOpenAlarmLog), this, &ChartWindow::ChooseAndOpenAlarmLog);
    file->addAction(text(texts::chart::kExportChart), this, [this] { ChooseAndExport(false); });
    file->addAction(text(texts::chart::kExportCsv), this, [this] { ChooseAndExport(true); });
    file->addAction(text(texts::chart::kReportMenu), this, &ChartWindow::ChooseAndReport);
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
    view->addSeparator();
    dewPointAction_ = view->addAction(text(texts::chart::kDewPointView));
    dewPointAction_->setCheckable(true);
    connect(dewPointAction_, &QAction::toggled, this, &ChartWindow::ShowDewPoint);
}

void ChartWindow::ShowDewPoint(bool shown)
{
    if (dewPointAction_->isChecked() != shown)
        dewPointAction_->setChecked(shown); // comes back here through toggled
    if (shown == dewPoint_)
        return;
    dewPoint_ = shown;
    if (recording_)
        recording_->KeepDewPoint(shown);
    BuildPlots();
}

void ChartWindow::SetAlarmSettings(const AlarmSettings& settings)
{
    overlays_.SetLimits(settings);
    Redraw();
}

bool ChartWindow::OpenAlarmLog(const QString& path)
{
    const QString full = QFileInfo(path).absoluteFilePath();
    auto log = std::make_unique<AlarmLogReading>();
    auto follower = std::make_unique<FileFollower>(full.toStdString(), *log);
    if (follower->Poll() == FileFollower::Result::Failed) {
        ShowMessage(this, text(texts::chart::kCannotOpen).arg(full));
        return false;
    }
    alarmLogPath_ = full;
    alarmLog_ = std::move(log);
    alarmFollower_ = std::move(follower);
    Watch();
    UpdatePeriods();
    Redraw();
    return true;
}

void ChartWindow::UpdatePeriods()
{
    if (!alarmLog_) {
        overlays_.SetPeriods({});
        return;
    }
    // A recording of one meter shows that meter's alarms only.
    std::optional<long> serial;
    if (recording_ && recording_->series().size() == 1)
        serial = recording_->series().begin()->first;
    overlays_.SetPeriods(alarmLog_->Periods(serial));
}

void ChartWindow::Watch()
{
    if (!watcher_.files().isEmpty())
        watcher_.removePaths(watcher_.files());
    if (!watcher_.directories().isEmpty())
        watcher_.removePaths(watcher_.directories());
    // The folders too: a replaced file is a new one the file watch misses.
    for (const QString& path : { path_, alarmLogPath_ }) {
        if (path.isEmpty())
            continue;
        watcher_.addPath(path);
        watcher_.addPath(QFileInfo(path).absolutePath());
    }
    pollTimer_.start(kPollMs);
}

bool ChartWindow::Open(const QString& path)
{
    const QString full = QFileInfo(path).absoluteFilePath();
    auto recording = std::make_unique<ChartRecording>(ChartRecording::KindOf(full.toStdString()));
    // Computed as it is read: a large file is read once.
    recording->KeepDewPoint(dewPoint_);
    auto follower = std::make_unique<FileFollower>(full.toStdString(), *recording);
    if (follower->Poll() == FileFollower::Result::Failed) {
        ShowMessage(this, text(texts::chart::kCannotOpen).arg(full));
        return false;
    }
    path_ = full;
    recording_ = std::move(recording);
    follower_ = std::move(follower);
    for (auto& [serial, series] : recording_->series())
        series.SortIfNeeded();
    Watch();
    UpdatePeriods();
    setWindowTitle(QStringLiteral("%1 – qm482-chart").arg(QFileInfo(path_).fileName()));
    RebuildGraphs();
    ShowAll();
    UpdateStatus();
    return true;
}

void ChartWindow::Poll()
{
    for (const QString& path : { path_, alarmLogPath_ })
        if (!path.isEmpty() && !watcher_.files().contains(path) && QFileInfo::exists(path))
            watcher_.addPath(path);
    const auto changed = [](FileFollower::Result r) {
        return r == FileFollower::Result::Grew || r == FileFollower::Result::Restarted;
    };
    const bool alarms = alarmFollower_ && changed(alarmFollower_->Poll());
    const FileFollower::Result result
        = follower_ ? follower_->Poll() : FileFollower::Result::Unchanged;
    if (!changed(result)) {
        if (alarms) {
            UpdatePeriods();
            Redraw();
        }
        return;
    }
    for (auto& [serial, series] : recording_->series())
        series.SortIfNeeded();
    // A second meter in the recording brings its alarms in.
    UpdatePeriods();
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
    if (static_cast<std::size_t>(plot_->graphCount()) == wanted * rects_.size())
        return;
    plot_->clearGraphs();
    if (!recording_)
        return;
    std::size_t index = 0;
    for (const auto& [serial, series] : recording_->series()) {
        const QColor colour = kSeriesColours[index++ % std::size(kSeriesColours)];
        for (std::size_t q = 0; q < rects_.size(); ++q) {
            QCPAxisRect* rect = rects_[q];
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

double ChartWindow::newestTime() const
{
    double last = -std::numeric_limits<double>::infinity();
    if (recording_)
        for (const auto& [serial, series] : recording_->series())
            if (series.size() != 0)
                last = std::max(last, static_cast<double>(series.times().back()));
    return last;
}

void ChartWindow::ShowLast(double seconds)
{
    if (!recording_ || recording_->records() == 0)
        return;
    const double last = newestTime();
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
    // Room on both sides: the first record belongs to the whole as much as the last.
    const double pad = std::max(1.0, std::max(60.0, last - first) / 100);
    followEnd_ = true;
    rects_[0]->axis(QCPAxis::atBottom)->setRange(first - pad, std::max(last, first + 60) + pad);
    Redraw();
}

void ChartWindow::OnRangeChanged(const QCPRange& range)
{
    if (inRedraw_)
        return;
    followEnd_ = range.upper >= newestTime();
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
            for (int q = 0; q < plotCount(); ++q) {
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
    }
    for (std::size_t q = 0; q < rects_.size(); ++q) {
        QCPAxis* y = rects_[q]->axis(QCPAxis::atLeft);
        bool found = false;
        QCPRange r;
        for (int g = 0; g < plot_->graphCount(); ++g) {
            if (plot_->graph(g)->valueAxis() != y)
                continue;
            bool some = false;
            const QCPRange values = plot_->graph(g)->getValueRange(some);
            if (some)
                r = found
                    ? QCPRange(std::min(r.lower, values.lower), std::max(r.upper, values.upper))
                    : values;
            found = found || some;
        }
        // The limits stay in sight: how near the readings come is the point.
        const std::vector<double> limits = overlays_.limitsOf(static_cast<int>(q));
        for (const double limit : limits) {
            r = found ? QCPRange(std::min(r.lower, limit), std::max(r.upper, limit))
                      : QCPRange(limit, limit);
            found = true;
        }
        if (!found)
            continue;
        // Room for a limit's label beyond its line, at the edge too.
        constexpr int kLabelRoom = 20;
        const int height = rects_[q]->height();
        const double share = limits.empty() || height <= 3 * kLabelRoom
            ? 0.08
            : std::max(0.08, double { kLabelRoom } / (height - 2 * kLabelRoom));
        const double pad = std::max(0.5, r.size() * share);
        y->setRange(r.lower - pad, r.upper + pad);
    }
    overlays_.Update(range.lower, range.upper, newestTime());
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
        for (int q = 0; q < plotCount(); ++q) {
            const float v = series.values(q)[i];
            if (q == ChartSeries::kDewPoint)
                line += QStringLiteral("  ") + text(texts::chart::kDewPointTitle);
            line += QStringLiteral("  ") + (std::isnan(v) ? QStringLiteral("???") : valueText(v))
                + QStringLiteral(" ") + unitText(q);
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
    for (int q = 0; q < plotCount(); ++q) {
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
        const QString unit = unitText(q);
        QString line = titleText(q) + QStringLiteral(": ");
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

void ChartWindow::ChooseAndOpenAlarmLog()
{
    FileChoice choice;
    choice.title = texts::chart::kOpenAlarmLogTitle;
    choice.filters
        = { { texts::chart::kAlarmLogs, "*.log *.txt" }, { texts::chart::kAllFiles, "*" } };
    // Where the log is, or where the program's settings say it goes.
    QString near = alarmLogPath_;
    if (near.isEmpty())
        near = QString::fromStdString(overlays_.limits().logFile);
    if (near.isEmpty())
        near = path_;
    if (!near.isEmpty())
        choice.folder = QFileInfo(near).absolutePath().toStdString();
    std::string chosen;
    if (Choosers::instance().ChooseFile(this, choice, chosen))
        OpenAlarmLog(QString::fromStdString(chosen));
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

void ChartWindow::ChooseAndReport()
{
    if (!recording_ || recording_->records() == 0) {
        ShowMessage(this, text(texts::chart::kReportNoRecords));
        return;
    }
    FileChoice choice;
    choice.title = texts::chart::kReportSaveTitle;
    choice.filters = { { texts::chart::kPdfFiles, "*.pdf" } };
    choice.defaultExtension = "pdf";
    choice.folder = QFileInfo(path_).absolutePath().toStdString();
    std::string chosen;
    if (Choosers::instance().ChooseFile(this, choice, chosen))
        WriteReport(QString::fromStdString(chosen));
}

void ChartWindow::WriteReport(const QString& path)
{
    if (!recording_)
        return;
    std::int64_t first = 0;
    std::int64_t last = 0;
    if (!RecordedSpan(recording_->series(), first, last))
        return;
    const QCPRange range = rects_[0]->axis(QCPAxis::atBottom)->range();
    ReportContent content;
    content.title = QStringLiteral("%1 – %2").arg(
        text(texts::chart::kReportTitleDefault), QFileInfo(path_).fileName());
    content.from = std::max(first, static_cast<std::int64_t>(std::ceil(range.lower)));
    content.to = std::min(last, static_cast<std::int64_t>(std::floor(range.upper)));
    if (content.to < content.from)
        std::swap(content.from, content.to);
    content.series = &recording_->series();
    content.sources = { ReportRecordings::SourceOf(path_, *recording_) };
    content.limits = overlays_.limits();
    content.alarmLog = alarmLog_ != nullptr;
    content.alarms = overlays_.periods();
    content.dewPoint = dewPoint_;
    content.made = QDateTime::currentDateTime();
    // Drawn here from the block figures, quickly; the disk may be slow.
    const QByteArray pdf = RenderReportPdf(content);
    auto ok = std::make_shared<bool>(false);
    QThread* writer = QThread::create([pdf, path, ok] {
        QSaveFile file(path);
        *ok = !pdf.isEmpty() && file.open(QIODevice::WriteOnly) && file.write(pdf) == pdf.size()
            && file.commit();
    });
    connect(writer, &QThread::finished, this, [this, ok, path] {
        if (!*ok)
            ShowMessage(this, text(texts::chart::kCannotSave).arg(path));
    });
    connect(writer, &QThread::finished, writer, &QObject::deleteLater);
    std::erase_if(reportWriters_, [](const QPointer<QThread>& w) { return w.isNull(); });
    reportWriters_.emplace_back(writer);
    writer->start();
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
