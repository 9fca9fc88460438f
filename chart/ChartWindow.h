#pragma once

#include "alarms/AlarmSettings.h"
#include "chart/AlarmPeriods.h"
#include "chart/ChartOverlays.h"
#include "chart/ChartRecording.h"
#include "chart/FileFollower.h"

#include <QFileSystemWatcher>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <memory>
#include <vector>

class QAction;
class QCustomPlot;
class QCPAxisRect;
class QCPMarginGroup;
class QCPRange;

// The chart viewer's window: temperature, humidity and pressure of one
// recording in three stacked plots on one time axis (the dew point in a
// fourth on demand), following the file while the program records into it.
// Over them the alarm limits of the settings and the alarm periods of the
// alarm log, followed as it grows too.
class ChartWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit ChartWindow(QWidget* parent = nullptr);
    ~ChartWindow() override;

    // False (after a message box) when the file cannot be read.
    bool Open(const QString& path);
    // The span shown, as wall-clock seconds (see WallSeconds).
    void ShowLast(double seconds);
    void ShowAll();
    bool ExportImage(const QString& path);
    bool ExportCsv(const QString& path) const;
    // The report of the visible period, drawn here and written to `path` on
    // a thread of its own; a message box if it cannot be written.
    void WriteReport(const QString& path);
    // The limits drawn (none unless configured).
    void SetAlarmSettings(const AlarmSettings& settings);
    // False (after a message box) when the log cannot be read.
    bool OpenAlarmLog(const QString& path);
    void ShowDewPoint(bool shown);

    QCustomPlot* plot() const { return plot_; }
    const ChartRecording* recording() const { return recording_.get(); }
    const AlarmLogReading* alarmLog() const { return alarmLog_.get(); }
    const ChartOverlays& overlays() const { return overlays_; }
    bool dewPointShown() const { return dewPoint_; }
    // Temperature, humidity, pressure and, when shown, the dew point.
    int plotCount() const { return static_cast<int>(rects_.size()); }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildMenus();
    void BuildPlots();
    void Watch();
    void UpdatePeriods();
    double newestTime() const;
    void ChooseAndOpen();
    void ChooseAndOpenAlarmLog();
    void ChooseAndExport(bool csv);
    void ChooseAndReport();
    void Poll();
    void RebuildGraphs();
    void Redraw();
    void OnRangeChanged(const QCPRange& range);
    void ShowCursor(double time);
    void UpdateStatus();

    QCustomPlot* plot_;
    std::vector<QCPAxisRect*> rects_;
    QCPMarginGroup* margins_ = nullptr;
    ChartOverlays overlays_;
    QAction* dewPointAction_ = nullptr;
    QLabel* records_;
    QLabel* cursor_;
    QLabel* stats_;
    QFileSystemWatcher watcher_;
    QTimer pollTimer_;
    QString path_;
    std::unique_ptr<ChartRecording> recording_;
    std::unique_ptr<FileFollower> follower_;
    QString alarmLogPath_;
    std::unique_ptr<AlarmLogReading> alarmLog_;
    std::unique_ptr<FileFollower> alarmFollower_;
    bool dewPoint_ = false;
    bool followEnd_ = true; // the view keeps the newest record in sight
    bool inRedraw_ = false;
    std::vector<QPointer<QThread>> reportWriters_; // those still writing
};
