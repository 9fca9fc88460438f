#include "chart/ChartOverlays.h"

#include "alarms/AlarmText.h"
#include "chart/ChartSeries.h"
#include "common/ValueFormat.h"
#include "resources/ChartTexts.h"

#include <qcustomplot.h>

#include <algorithm>
#include <array>

namespace {

// Apart from every series colour, dark enough on white and on a band.
const QColor kLimitColour(0xd3, 0x54, 0x00);
const std::array<QColor, 3> kBandColours = {
    QColor(0xe0, 0x30, 0x30, 48), // beyond a limit
    QColor(0x30, 0x70, 0xe0, 48), // condensation
    QColor(0x60, 0x60, 0x60, 56), // the link or the meter
};

QString text(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

} // namespace

ChartOverlays::ChartOverlays(QCustomPlot* plot)
    : plot_(plot)
{
}

void ChartOverlays::Detach()
{
    for (QCPAbstractItem* item : limitItems_)
        plot_->removeItem(item);
    for (auto& pool : bands_)
        for (QCPItemRect* item : pool)
            plot_->removeItem(item);
    limitItems_.clear();
    bands_.clear();
    rects_.clear();
}

void ChartOverlays::Attach(const std::vector<QCPAxisRect*>& rects)
{
    Detach();
    rects_ = rects;
    bands_.resize(rects_.size());
    BuildLimits();
}

void ChartOverlays::SetLimits(const AlarmSettings& settings)
{
    limits_ = settings;
    for (QCPAbstractItem* item : limitItems_)
        plot_->removeItem(item);
    limitItems_.clear();
    BuildLimits();
}

void ChartOverlays::SetPeriods(std::vector<AlarmPeriod> periods)
{
    periods_ = std::move(periods);
}

const LimitSettings* ChartOverlays::LimitsOf(const AlarmSettings& settings, int index)
{
    if (!settings.configured)
        return nullptr;
    switch (index) {
    case 0:
        return &settings.temperature;
    case 1:
        return &settings.humidity;
    case 2:
        return &settings.pressure;
    default:
        return nullptr; // the dew point has a spread, not a limit
    }
}

std::vector<double> ChartOverlays::limitsOf(int index) const
{
    std::vector<double> out;
    if (const LimitSettings* l = LimitsOf(limits_, index)) {
        if (l->highOn)
            out.push_back(l->high);
        if (l->lowOn)
            out.push_back(l->low);
    }
    return out;
}

void ChartOverlays::BuildLimits()
{
    for (std::size_t p = 0; p < rects_.size(); ++p) {
        const LimitSettings* l = LimitsOf(limits_, static_cast<int>(p));
        if (l == nullptr)
            continue;
        QCPAxisRect* rect = rects_[p];
        QCPAxis* x = rect->axis(QCPAxis::atBottom);
        QCPAxis* y = rect->axis(QCPAxis::atLeft);
        const auto add = [&](double value, bool upper) {
            auto* line = new QCPItemStraightLine(plot_);
            line->setClipAxisRect(rect);
            for (QCPItemPosition* end : { line->point1, line->point2 }) {
                end->setAxes(x, y);
                end->setAxisRect(rect);
                end->setTypeX(QCPItemPosition::ptAxisRectRatio);
                end->setTypeY(QCPItemPosition::ptPlotCoords);
            }
            line->point1->setCoords(0, value);
            line->point2->setCoords(1, value);
            QPen pen(kLimitColour, 1.5, Qt::DashLine);
            line->setPen(pen);
            line->setSelectable(false);

            auto* label = new QCPItemText(plot_);
            label->setClipAxisRect(rect);
            label->position->setAxes(x, y);
            label->position->setAxisRect(rect);
            label->position->setTypeX(QCPItemPosition::ptAxisRectRatio);
            label->position->setTypeY(QCPItemPosition::ptPlotCoords);
            // Above an upper limit, below a lower one: on the side of the alarm.
            label->position->setCoords(0.995, value);
            label->setPositionAlignment(Qt::AlignRight | (upper ? Qt::AlignBottom : Qt::AlignTop));
            label->setText(text(upper ? texts::chart::kUpperLimit : texts::chart::kLowerLimit)
                               .arg(QString::fromStdString(FormatFixed(value, 1)),
                                   text(texts::chart::kQuantityUnits[p])));
            label->setColor(kLimitColour);
            label->setBrush(QColor(255, 255, 255, 200));
            label->setPadding(QMargins(3, 1, 3, 3));
            label->setSelectable(false);
            // Over the readings, which would hide it at the plot's edge.
            label->setLayer(LabelLayer());
            limitItems_.push_back(line);
            limitItems_.push_back(label);
        };
        if (l->highOn)
            add(l->high, true);
        if (l->lowOn)
            add(l->low, false);
    }
}

QCPLayer* ChartOverlays::LabelLayer()
{
    const QString name = QStringLiteral("limitLabels");
    if (QCPLayer* layer = plot_->layer(name))
        return layer;
    plot_->addLayer(name, plot_->layer(QStringLiteral("main")), QCustomPlot::limAbove);
    return plot_->layer(name);
}

QCPItemRect* ChartOverlays::BandItem(std::size_t plot, std::size_t index)
{
    auto& pool = bands_[plot];
    while (pool.size() <= index) {
        QCPAxisRect* rect = rects_[plot];
        auto* band = new QCPItemRect(plot_);
        // Under the readings and the limits, over the grid.
        band->setLayer(QStringLiteral("grid"));
        band->setClipAxisRect(rect);
        for (QCPItemPosition* corner : { band->topLeft, band->bottomRight }) {
            corner->setAxes(rect->axis(QCPAxis::atBottom), rect->axis(QCPAxis::atLeft));
            corner->setAxisRect(rect);
            corner->setTypeX(QCPItemPosition::ptPlotCoords);
            corner->setTypeY(QCPItemPosition::ptAxisRectRatio);
        }
        band->setPen(Qt::NoPen);
        band->setSelectable(false);
        pool.push_back(band);
    }
    return pool[index];
}

void ChartOverlays::Update(double from, double to, double newest)
{
    for (std::size_t p = 0; p < rects_.size(); ++p) {
        std::array<std::vector<std::pair<double, double>>, kBandKinds> spans;
        for (const AlarmPeriod& a : periods_) {
            const int panel = AlarmPanel(a.kind);
            const bool condensation = a.kind == AlarmKind::Condensation;
            // Condensation is the dew point's alarm as much as humidity's.
            const bool here = panel == -1 || panel == static_cast<int>(p)
                || (condensation && p == static_cast<std::size_t>(ChartSeries::kDewPoint));
            if (!here)
                continue;
            const Band kind = panel == -1 ? kMeterBand
                : condensation            ? kCondensationBand
                                          : kLimitBand;
            const auto end = static_cast<double>(a.end);
            spans[kind].emplace_back(
                static_cast<double>(a.begin), a.open ? std::max(end, newest) : end);
        }
        const double pixel = (to - from) / std::max(1, rects_[p]->width());
        std::size_t used = 0;
        for (int kind = 0; kind < kBandKinds; ++kind) {
            for (const auto& [begin, end] :
                chart::VisibleBands(std::move(spans[kind]), from, to, pixel)) {
                QCPItemRect* band = BandItem(p, used++);
                band->setBrush(kBandColours[kind]);
                band->topLeft->setCoords(begin, 0);
                band->bottomRight->setCoords(end, 1);
                band->setVisible(true);
            }
        }
        for (std::size_t i = used; i < bands_[p].size(); ++i)
            bands_[p][i]->setVisible(false);
    }
}
