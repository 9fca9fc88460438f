#pragma once

#include "chart/ChartRecording.h"
#include "chart/FileFollower.h"

#include <QFileSystemWatcher>
#include <QLabel>
#include <QMainWindow>
#include <QTimer>

#include <array>
#include <memory>

class QCustomPlot;
class QCPAxisRect;
class QCPRange;

// The chart viewer's window: temperature, humidity and pressure of one
// recording in three stacked plots on one time axis, following the file
// while the program records into it.
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

    QCustomPlot* plot() const { return plot_; }
    const ChartRecording* recording() const { return recording_.get(); }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildMenus();
    void ChooseAndOpen();
    void ChooseAndExport(bool csv);
    void Poll();
    void RebuildGraphs();
    void Redraw();
    void OnRangeChanged(const QCPRange& range);
    void ShowCursor(double time);
    void UpdateStatus();

    QCustomPlot* plot_;
    std::array<QCPAxisRect*, ChartSeries::kQuantities> rects_ {};
    QLabel* records_;
    QLabel* cursor_;
    QLabel* stats_;
    QFileSystemWatcher watcher_;
    QTimer pollTimer_;
    QString path_;
    std::unique_ptr<ChartRecording> recording_;
    std::unique_ptr<FileFollower> follower_;
    bool followEnd_ = true; // the view keeps the newest record in sight
    bool inRedraw_ = false;
};
