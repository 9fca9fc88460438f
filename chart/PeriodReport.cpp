#include "chart/PeriodReport.h"

#include "chart/ChartDecimation.h"
#include "chart/ChartOverlays.h"
#include "chart/FileFollower.h"
#include "chart/ReportFigures.h"
#include "common/ValueFormat.h"
#include "resources/ChartTexts.h"

#include <QBuffer>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPdfWriter>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

namespace {

QString text(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

QString dayText(std::int64_t wall)
{
    const LocalTime t = FromWallSeconds(wall);
    return QString::asprintf("%02d.%02d.%04d", t.day, t.month, t.year);
}

QString clockText(std::int64_t wall)
{
    const LocalTime t = FromWallSeconds(wall);
    return QString::asprintf("%02d:%02d:%02d", t.hour, t.minute, t.second);
}

QString momentText(std::int64_t wall)
{
    return dayText(wall) + QLatin1Char(' ') + clockText(wall);
}

QString durationText(std::int64_t seconds)
{
    if (seconds >= 86400)
        return QString::asprintf("%lld d %lld h %02lld min",
            static_cast<long long>(seconds / 86400), static_cast<long long>(seconds / 3600 % 24),
            static_cast<long long>(seconds / 60 % 60));
    if (seconds >= 3600)
        return QString::asprintf("%lld h %02lld min", static_cast<long long>(seconds / 3600),
            static_cast<long long>(seconds / 60 % 60));
    if (seconds >= 60)
        return QString::asprintf("%lld min %02lld s", static_cast<long long>(seconds / 60),
            static_cast<long long>(seconds % 60));
    return QString::asprintf("%lld s", static_cast<long long>(seconds));
}

QString serialText(int serial)
{
    return serial > 0 ? text(texts::chart::kSerial).arg(serial) : text(texts::chart::kNoSerial);
}

QString titleOf(int column)
{
    return text(column == ChartSeries::kDewPoint ? texts::chart::kDewPointTitle
                                                 : texts::chart::kQuantityTitles[column]);
}

QString unitOf(int column)
{
    return text(column == ChartSeries::kDewPoint ? texts::chart::kDewPointUnit
                                                 : texts::chart::kQuantityUnits[column]);
}

QString limitsText(const AlarmSettings& s)
{
    QStringList parts;
    const LimitSettings* limits[] = { &s.temperature, &s.humidity, &s.pressure };
    for (int q = 0; q < ChartSeries::kQuantities; ++q) {
        const LimitSettings& l = *limits[q];
        const QString unit = unitOf(q);
        if (l.lowOn)
            parts << text(texts::chart::kLowerLimit)
                         .arg(QString::fromStdString(FormatFixed(l.low, 1)), unit);
        if (l.highOn)
            parts << text(texts::chart::kUpperLimit)
                         .arg(QString::fromStdString(FormatFixed(l.high, 1)), unit);
    }
    return parts.join(QStringLiteral(", "));
}

// A4 pages at 96 dots an inch, filled from the top: run once without a
// painter to count the pages, once with it to draw them.
class Layout {
public:
    Layout(QPdfWriter& writer, QCPPainter* painter, int pages)
        : writer_(writer)
        , painter_(painter)
        , pages_(pages)
    {
        const QRect paint = writer.pageLayout().paintRectPixels(writer.resolution());
        area_ = QRectF(0, 0, paint.width(), paint.height() - kFooter);
    }

    QCPPainter* painter() const { return painter_; }
    double width() const { return area_.width(); }
    double y() const { return y_; }
    int page() const { return page_; }

    // Starts a new page unless `height` fits on this one.
    bool Need(double height)
    {
        if (y_ + height <= area_.bottom() || y_ == 0)
            return false;
        Break();
        return true;
    }

    void Break()
    {
        Footer();
        if (painter_ != nullptr)
            writer_.newPage();
        ++page_;
        y_ = 0;
    }

    void Finish() { Footer(); }
    void Skip(double height) { y_ += height; }

    // Text across the page's width, wrapped.
    void Paragraph(const QString& s, const QFont& font, double indent = 0, double after = 2)
    {
        const QRectF box(indent, 0, width() - indent, 1e6);
        const QRectF used = QFontMetricsF(font, &writer_).boundingRect(box, Qt::TextWordWrap, s);
        Need(used.height());
        if (painter_ != nullptr) {
            painter_->setFont(font);
            painter_->setPen(Qt::black);
            painter_->drawText(
                QRectF(indent, y_, width() - indent, used.height() + 2), Qt::TextWordWrap, s);
        }
        y_ += used.height() + after;
    }

    // One line of cells at the given left edges, right-aligned where asked.
    void Row(const QStringList& cells, const std::vector<double>& edges, const QFont& font,
        const std::vector<bool>& right, bool shaded)
    {
        const double h = QFontMetricsF(font, &writer_).height() + 3;
        if (painter_ != nullptr) {
            if (shaded)
                painter_->fillRect(QRectF(0, y_, edges.back(), h), QColor(0xf0, 0xf0, 0xf0));
            painter_->setFont(font);
            painter_->setPen(Qt::black);
            for (qsizetype i = 0; i < cells.size(); ++i) {
                const auto c = static_cast<std::size_t>(i);
                // A time stands apart from the value to its left.
                const double pad = c > 0 && !right[c] ? 7 : 3;
                const QRectF cell(edges[c] + pad, y_, edges[c + 1] - edges[c] - pad - 3, h);
                painter_->drawText(
                    cell, Qt::AlignVCenter | (right[c] ? Qt::AlignRight : Qt::AlignLeft), cells[i]);
            }
        }
        y_ += h;
    }

    void Rule(double right)
    {
        if (painter_ != nullptr) {
            painter_->setPen(QPen(Qt::black, 0.6));
            painter_->drawLine(QPointF(0, y_), QPointF(right, y_));
        }
        y_ += 1;
    }

    double RowHeight(const QFont& font) const { return QFontMetricsF(font, &writer_).height() + 3; }

private:
    static constexpr double kFooter = 24;

    void Footer()
    {
        if (painter_ == nullptr)
            return;
        QFont font(QStringLiteral("DejaVu Sans"), 8);
        painter_->setFont(font);
        painter_->setPen(Qt::black);
        painter_->drawText(QRectF(0, area_.bottom() + 6, width(), kFooter - 6),
            Qt::AlignRight | Qt::AlignBottom,
            text(texts::chart::kReportPage).arg(page_).arg(pages_));
    }

    QPdfWriter& writer_;
    QCPPainter* painter_;
    QRectF area_;
    double y_ = 0;
    int page_ = 1;
    int pages_;
};

struct Fonts {
    QFont title { QStringLiteral("DejaVu Sans"), 16, QFont::Bold };
    QFont heading { QStringLiteral("DejaVu Sans"), 12, QFont::Bold };
    QFont subheading { QStringLiteral("DejaVu Sans"), 10, QFont::Bold };
    QFont body { QStringLiteral("DejaVu Sans"), 9 };
    QFont table { QStringLiteral("DejaVu Sans"), 8 };
    QFont tableHead { QStringLiteral("DejaVu Sans"), 8, QFont::Bold };
};

// Ticks at local midnights, whole hours or the first days of months, at
// most eight: the date ticker of the plots would place them by this
// machine's offset from UTC, which wall-clock seconds do not have.
std::vector<std::pair<std::int64_t, QString>> timeTicks(std::int64_t from, std::int64_t to)
{
    constexpr std::int64_t kHourSeconds = 3600;
    constexpr std::int64_t kDay = chart::kDaySeconds;
    constexpr std::int64_t kSteps[] = { kHourSeconds, 2 * kHourSeconds, 3 * kHourSeconds,
        6 * kHourSeconds, 12 * kHourSeconds, kDay, 2 * kDay, 4 * kDay, 7 * kDay, 14 * kDay };
    constexpr int kMostTicks = 8;
    const std::int64_t span = to + 1 - from;
    std::vector<std::pair<std::int64_t, QString>> ticks;
    for (const std::int64_t step : kSteps) {
        if (span / step > kMostTicks)
            continue;
        // Days counted from the period's first midnight, hours from midnights.
        const std::int64_t start = step >= kDay
            ? (chart::DayOf(from) == from ? from : chart::DayOf(from) + kDay)
            : (from + step - 1) / step * step;
        for (std::int64_t t = start; t <= to; t += step)
            ticks.emplace_back(t,
                step < kDay ? dayText(t) + QLatin1Char('\n') + clockText(t).left(5) : dayText(t));
        return ticks;
    }
    // Months: every first, or every second, third... first.
    const LocalTime first = FromWallSeconds(from);
    const int months = static_cast<int>(span / (30 * kDay)) + 1;
    const int every = (months + kMostTicks - 1) / kMostTicks;
    for (int m = 0;; m += every) {
        const int index = first.month - 1 + 1 + m; // the month after the first day's
        const std::int64_t t = WallSeconds({ first.year + index / 12, index % 12 + 1, 1, 0, 0, 0 });
        if (t > to)
            break;
        ticks.emplace_back(t, dayText(t));
    }
    return ticks;
}

// The charts of one meter, drawn at the layout's place.
void drawCharts(Layout& layout, const ReportContent& content, const ChartSeries& series,
    const std::vector<AlarmPeriod>& periods, double height)
{
    QCustomPlot plot;
    const int count = content.dewPoint && series.keepsDewPoint() ? ChartSeries::kColumns
                                                                 : ChartSeries::kQuantities;
    plot.plotLayout()->clear();
    auto* margins = new QCPMarginGroup(&plot);
    QSharedPointer<QCPAxisTickerText> ticker(new QCPAxisTickerText);
    for (const auto& [at, label] : timeTicks(content.from, content.to))
        ticker->addTick(static_cast<double>(at), label);
    ticker->setSubTickCount(0);
    std::vector<QCPAxisRect*> rects;
    const auto from = static_cast<double>(content.from);
    const auto to = static_cast<double>(content.to);
    for (int q = 0; q < count; ++q) {
        auto* rect = new QCPAxisRect(&plot);
        plot.plotLayout()->addElement(q, 0, rect);
        rect->setMarginGroup(QCP::msLeft | QCP::msRight, margins);
        QCPAxis* x = rect->axis(QCPAxis::atBottom);
        x->setTicker(ticker);
        x->setTickLabels(q == count - 1);
        x->setRange(from, to + 1);
        QCPAxis* y = rect->axis(QCPAxis::atLeft);
        y->setLabel(QStringLiteral("%1 [%2]").arg(titleOf(q), unitOf(q)));
        y->setNumberFormat(QStringLiteral("f"));
        y->setNumberPrecision(1);
        rects.push_back(rect);
    }
    rects.back()->axis(QCPAxis::atBottom)->setLabel(text(texts::chart::kTimeAxis));
    ChartOverlays overlays(&plot);
    overlays.Attach(rects);
    overlays.SetLimits(content.limits);
    overlays.SetPeriods(periods);

    // Laid out at the page's size first: the decimation and the bands go by
    // the plots' widths.
    plot.setViewport(QRect(0, 0, static_cast<int>(layout.width()), static_cast<int>(height)));
    for (const auto phase : { QCPLayoutElement::upPreparation, QCPLayoutElement::upMargins,
             QCPLayoutElement::upLayout })
        plot.plotLayout()->update(phase);
    const int columns = std::max(1, rects[0]->width());
    const std::int64_t gap = series.gapThreshold();
    for (int q = 0; q < count; ++q) {
        QCPAxisRect* rect = rects[static_cast<std::size_t>(q)];
        QCPGraph* graph = plot.addGraph(rect->axis(QCPAxis::atBottom), rect->axis(QCPAxis::atLeft));
        graph->setPen(QPen(QColor(0x1f, 0x5f, 0xbf), 0.8));
        graph->setAdaptiveSampling(false);
        const auto points = chart::Decimate(
            series.times(), series.values(q), from, to, columns, gap, &series.summary(q));
        QVector<double> keys;
        QVector<double> values;
        keys.reserve(static_cast<qsizetype>(points.size()));
        values.reserve(static_cast<qsizetype>(points.size()));
        double lo = std::numeric_limits<double>::infinity();
        double hi = -lo;
        for (const chart::Point& p : points) {
            keys.push_back(p.time);
            values.push_back(p.value);
            if (!std::isnan(p.value) && p.time >= from && p.time <= to) {
                lo = std::min(lo, p.value);
                hi = std::max(hi, p.value);
            }
        }
        graph->setData(keys, values, true);
        if (points.size() * 4 < static_cast<std::size_t>(columns))
            graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, 3));
        // The limits stay in sight: how near the readings come is the point.
        for (const double limit : overlays.limitsOf(q)) {
            lo = std::min(lo, limit);
            hi = std::max(hi, limit);
        }
        if (lo <= hi) {
            const double pad = std::max(0.5, (hi - lo) * 0.12);
            rect->axis(QCPAxis::atLeft)->setRange(lo - pad, hi + pad);
        }
    }
    overlays.Update(from, to + 1, to);
    QCPPainter* painter = layout.painter();
    painter->save();
    painter->translate(0, layout.y());
    painter->setMode(QCPPainter::pmVectorized);
    plot.toPainter(painter, static_cast<int>(layout.width()), static_cast<int>(height));
    painter->restore();
}

void dailyTable(
    Layout& layout, const Fonts& fonts, const std::vector<chart::DayFigures>& days, int q)
{
    static const std::vector<double> kWidths = { 80, 72, 140, 72, 140, 60, 114 };
    std::vector<double> edges { 0 };
    for (const double w : kWidths)
        edges.push_back(edges.back() + w);
    const std::vector<bool> right = { false, true, false, true, false, true, true };
    QStringList head;
    for (const char* c : texts::chart::kReportColumns)
        head << text(c);
    const auto header = [&] {
        layout.Paragraph(
            text(texts::chart::kReportTableTitle).arg(titleOf(q), unitOf(q)), fonts.subheading);
        layout.Row(head, edges, fonts.tableHead, right, false);
        layout.Rule(edges.back());
    };
    // The heading never alone at a page's foot.
    layout.Need(4 * layout.RowHeight(fonts.table) + 20);
    header();
    for (std::size_t d = 0; d < days.size(); ++d) {
        const bool whole = d + 1 == days.size();
        if (whole) {
            if (layout.Need(layout.RowHeight(fonts.table) + 2))
                header();
            layout.Rule(edges.back());
        } else if (layout.Need(layout.RowHeight(fonts.table))) {
            header();
        }
        const chart::RangeStats& s = days[d].quantity[q];
        const auto when = [&](std::int64_t t) { return whole ? momentText(t) : clockText(t); };
        const QString none = text(texts::chart::kReportNoValue);
        QStringList cells { whole ? text(texts::chart::kReportWhole) : dayText(days[d].day) };
        if (s.count == 0) {
            cells << none << none << none << none << none;
        } else {
            cells << QString::fromStdString(FormatFixed(s.minimum, 1)) << when(s.minimumTime)
                  << QString::fromStdString(FormatFixed(s.maximum, 1)) << when(s.maximumTime)
                  << QString::fromStdString(FormatFixed(s.mean, 2));
        }
        cells << QStringLiteral("%1 / %2").arg(s.count).arg(days[d].records);
        layout.Row(
            cells, edges, whole ? fonts.tableHead : fonts.table, right, !whole && d % 2 == 1);
    }
    layout.Skip(10);
}

void document(Layout& layout, const ReportContent& content)
{
    const Fonts fonts;
    const std::map<int, ChartSeries>& all = *content.series;
    layout.Paragraph(
        content.title.isEmpty() ? text(texts::chart::kReportTitleDefault) : content.title,
        fonts.title, 0, 8);
    QStringList meters;
    for (const auto& [serial, series] : all)
        if (chart::DailyFigures(series, content.from, content.to).back().records != 0)
            meters << serialText(serial);
    layout.Paragraph(
        text(texts::chart::kReportMeters).arg(meters.join(QStringLiteral(", "))), fonts.body);
    // Whole days by their dates, a part of one (the window's view) to the second.
    const bool wholeDays = chart::DayOf(content.from) == content.from
        && chart::DayOf(content.to + 1) == content.to + 1;
    layout.Paragraph(text(texts::chart::kReportPeriod)
                         .arg(wholeDays ? dayText(content.from) : momentText(content.from),
                             wholeDays ? dayText(content.to) : momentText(content.to)),
        fonts.body);
    layout.Paragraph(content.limits.configured && !limitsText(content.limits).isEmpty()
            ? text(texts::chart::kReportLimits).arg(limitsText(content.limits))
            : text(texts::chart::kReportNoLimits),
        fonts.body);
    layout.Paragraph(text(texts::chart::kReportFiles), fonts.body);
    for (const ReportSource& s : content.sources)
        layout.Paragraph(text(texts::chart::kReportFile).arg(s.path).arg(s.records).arg(s.damaged),
            fonts.body, 12);
    layout.Paragraph(text(texts::chart::kReportMade)
                         .arg(content.made.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")),
                             QStringLiteral("qm482-chart " QM482_VERSION)),
        fonts.body, 0, 10);

    bool any = false;
    bool first = true;
    for (const auto& [serial, series] : all) {
        const std::vector<chart::DayFigures> days
            = chart::DailyFigures(series, content.from, content.to);
        if (days.back().records == 0)
            continue;
        any = true;
        if (!first)
            layout.Break();
        first = false;
        layout.Paragraph(serialText(serial), fonts.heading, 0, 6);
        std::vector<AlarmPeriod> periods;
        for (const AlarmPeriod& p : content.alarms)
            if (p.serialNumber == serial && p.end >= content.from && p.begin <= content.to)
                periods.push_back(p);
        const int plots = content.dewPoint && series.keepsDewPoint() ? 4 : 3;
        const double height = plots * 165.0;
        layout.Need(height);
        if (layout.painter() != nullptr)
            drawCharts(layout, content, series, periods, height);
        layout.Skip(height + 10);
        for (int q = 0; q < plots; ++q)
            dailyTable(layout, fonts, days, q);

        const std::int64_t threshold = series.gapThreshold();
        const chart::Gaps gaps = chart::FindGaps(series, content.from, content.to, threshold);
        layout.Need(60);
        layout.Paragraph(text(texts::chart::kReportGaps).arg(threshold), fonts.subheading, 0, 4);
        if (gaps.count == 0)
            layout.Paragraph(text(texts::chart::kReportNone), fonts.body, 12);
        for (const chart::Gap& g : gaps.listed)
            layout.Paragraph(text(texts::chart::kReportGap)
                                 .arg(momentText(g.last), momentText(g.next),
                                     durationText(chart::LocalWallToEpoch(g.next)
                                         - chart::LocalWallToEpoch(g.last))),
                fonts.body, 12);
        if (gaps.count > gaps.listed.size())
            layout.Paragraph(text(texts::chart::kReportMore).arg(gaps.count - gaps.listed.size()),
                fonts.body, 12);
        layout.Skip(8);

        if (content.alarmLog) {
            layout.Need(60);
            layout.Paragraph(text(texts::chart::kReportAlarms), fonts.subheading, 0, 4);
            if (periods.empty())
                layout.Paragraph(text(texts::chart::kReportNone), fonts.body, 12);
            for (const AlarmPeriod& p : periods)
                layout.Paragraph(
                    text(texts::chart::kReportAlarm)
                        .arg(text(texts::chart::kAlarmNames[static_cast<int>(p.kind)]),
                            momentText(p.begin),
                            p.open ? text(texts::chart::kReportAlarmOpen) : momentText(p.end)),
                    fonts.body, 12);
            layout.Skip(8);
        }
    }
    if (!any)
        layout.Paragraph(text(texts::chart::kReportNoRecords), fonts.body);

    // The files' damage, whichever meter it hit.
    layout.Need(60);
    layout.Paragraph(text(texts::chart::kReportDamaged), fonts.subheading, 0, 4);
    bool damage = false;
    const auto when = [](std::int64_t t) {
        return t == ChartRecording::DamagedStretch::kNone ? text(texts::chart::kReportNoRecord)
                                                          : momentText(t);
    };
    for (const ReportSource& s : content.sources) {
        if (s.damaged == 0)
            continue;
        damage = true;
        const QString name = QFileInfo(s.path).fileName();
        if (!s.binary) {
            layout.Paragraph(text(texts::chart::kReportDamagedFile)
                                 .arg(name, text(texts::chart::kReportBadRows).arg(s.damaged)),
                fonts.body, 12);
            continue;
        }
        layout.Paragraph(
            text(texts::chart::kReportDamagedFile).arg(name).arg(s.damaged), fonts.body, 12);
        for (const ChartRecording::DamagedStretch& d : s.stretches)
            layout.Paragraph(text(texts::chart::kReportDamagedStretch)
                                 .arg(d.offset)
                                 .arg(d.offset + d.size - 1)
                                 .arg(d.size)
                                 .arg(when(d.after), when(d.before)),
                fonts.body, 24, 1);
        if (s.damaged > s.stretches.size())
            layout.Paragraph(text(texts::chart::kReportMore).arg(s.damaged - s.stretches.size()),
                fonts.body, 24);
    }
    if (!damage)
        layout.Paragraph(text(texts::chart::kReportNone), fonts.body, 12);
    layout.Finish();
}

} // namespace

bool RecordedSpan(const std::map<int, ChartSeries>& series, std::int64_t& first, std::int64_t& last)
{
    bool found = false;
    for (const auto& [serial, s] : series) {
        if (s.size() == 0)
            continue;
        first = found ? std::min(first, s.times().front()) : s.times().front();
        last = found ? std::max(last, s.times().back()) : s.times().back();
        found = true;
    }
    return found;
}

ReportSource ReportRecordings::SourceOf(const QString& path, const ChartRecording& recording)
{
    ReportSource s;
    s.path = path;
    s.records = recording.records();
    s.damaged = recording.damaged();
    s.binary = recording.kind() == ChartRecording::Kind::Binary;
    s.stretches = recording.damagedStretches();
    return s;
}

bool ReportRecordings::Read(const QStringList& files, bool dewPoint, QString& failed)
{
    for (const QString& path : files) {
        const std::string name = QFileInfo(path).absoluteFilePath().toStdString();
        ChartRecording recording(ChartRecording::KindOf(name));
        recording.KeepDewPoint(dewPoint);
        recording.ExpectBytes(static_cast<std::uint64_t>(QFileInfo(path).size()));
        FileFollower reader(name, recording);
        if (reader.Poll() == FileFollower::Result::Failed) {
            failed = path;
            return false;
        }
        sources_.push_back(SourceOf(path, recording));
        // The first file's series are taken as they are; the others' records
        // are added to them, sorted once all are in.
        for (auto& entry : recording.series()) {
            const int serial = entry.first;
            ChartSeries& series = entry.second;
            auto [it, added] = series_.try_emplace(serial);
            if (added) {
                it->second = std::move(series);
                continue;
            }
            ChartSeries& into = it->second;
            into.KeepDewPoint(dewPoint);
            const auto quantity = [&](int q, std::size_t i) {
                const float v = series.values(q)[i];
                return RecordedQuantity { std::isnan(v) ? 0.0 : static_cast<double>(v),
                    !std::isnan(v) };
            };
            for (std::size_t i = 0; i < series.size(); ++i) {
                Readings r;
                r.serialNumber = serial;
                r.temperature = quantity(0, i);
                r.humidity = quantity(1, i);
                r.pressure = quantity(2, i);
                into.Append(series.times()[i], r);
            }
            series.Clear();
        }
    }
    for (auto& [serial, series] : series_)
        series.SortIfNeeded();
    return true;
}

QByteArray RenderReportPdf(const ReportContent& content)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(96);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
            QMarginsF(15, 15, 15, 12), QPageLayout::Millimeter));
        writer.setTitle(
            content.title.isEmpty() ? text(texts::chart::kReportTitleDefault) : content.title);
        writer.setCreator(QStringLiteral("qm482-chart " QM482_VERSION));
        Layout count(writer, nullptr, 0);
        document(count, content);
        QCPPainter painter;
        if (!painter.begin(&writer))
            return {};
        painter.setRenderHint(QPainter::Antialiasing);
        Layout pages(writer, &painter, count.page());
        document(pages, content);
        painter.end();
    }
    return buffer.data();
}
