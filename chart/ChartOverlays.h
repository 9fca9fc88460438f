#pragma once

#include "alarms/AlarmSettings.h"
#include "chart/AlarmPeriods.h"

#include <QColor>

#include <vector>

class QCustomPlot;
class QCPAxisRect;
class QCPAbstractItem;
class QCPItemRect;
class QCPLayer;

// What the chart draws over the readings: the alarm limits as dashed lines
// with their labels, and the periods of the alarm log as translucent bands
// on the plot of their quantity (those of the whole meter on every plot).
class ChartOverlays {
public:
    explicit ChartOverlays(QCustomPlot* plot);

    // Plot i shows quantity i of ChartSeries (the dew point last). Detach
    // before the plots are taken down, attach to the new ones.
    void Attach(const std::vector<QCPAxisRect*>& rects);
    void Detach();

    void SetLimits(const AlarmSettings& settings);
    void SetPeriods(std::vector<AlarmPeriod> periods);
    // The bands of [from, to]; a period still on reaches at least `newest`
    // (the newest record), since the log says nothing until it ends.
    void Update(double from, double to, double newest);

    // The limits drawn on plot `index`, which its value axis takes in.
    std::vector<double> limitsOf(int index) const;
    const AlarmSettings& limits() const { return limits_; }
    const std::vector<AlarmPeriod>& periods() const { return periods_; }

private:
    enum Band { kLimitBand, kCondensationBand, kMeterBand, kBandKinds };
    static const LimitSettings* LimitsOf(const AlarmSettings& settings, int index);
    void BuildLimits();
    QCPItemRect* BandItem(std::size_t plot, std::size_t index);
    QCPLayer* LabelLayer();

    QCustomPlot* plot_;
    std::vector<QCPAxisRect*> rects_;
    AlarmSettings limits_;
    std::vector<AlarmPeriod> periods_;
    std::vector<QCPAbstractItem*> limitItems_;
    std::vector<std::vector<QCPItemRect*>> bands_; // per plot, reused from one draw to the next
};
