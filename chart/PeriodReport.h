#pragma once

#include "alarms/AlarmSettings.h"
#include "chart/AlarmPeriods.h"
#include "chart/ChartRecording.h"
#include "chart/ChartSeries.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <map>
#include <vector>

// A report of a period of recordings: an A4 PDF with the title block, the
// charts as vector graphics with the alarm limits and periods, each day's
// figures and the whole period's, the gaps, the damaged stretches and the
// alarm periods, pages numbered.

// A file the report was made from, as it was read.
struct ReportSource {
    QString path;
    std::size_t records = 0;
    std::size_t damaged = 0; // stretches of a binary file, rows of a report
    bool binary = true;
    std::vector<ChartRecording::DamagedStretch> stretches;
};

// Several recordings of one or more meters read into one series a meter,
// in time order whatever the order of the files.
class ReportRecordings {
public:
    // False with the file that could not be read.
    bool Read(const QStringList& files, bool dewPoint, QString& failed);

    const std::map<int, ChartSeries>& series() const { return series_; }
    const std::vector<ReportSource>& sources() const { return sources_; }
    static ReportSource SourceOf(const QString& path, const ChartRecording& recording);

private:
    std::map<int, ChartSeries> series_;
    std::vector<ReportSource> sources_;
};

struct ReportContent {
    QString title; // empty: the default one
    // Wall-clock seconds (WallSeconds), both ends included.
    std::int64_t from = 0;
    std::int64_t to = 0;
    const std::map<int, ChartSeries>* series = nullptr;
    std::vector<ReportSource> sources;
    AlarmSettings limits; // drawn when configured
    bool alarmLog = false; // the periods below come from a log
    std::vector<AlarmPeriod> alarms;
    bool dewPoint = false;
    QDateTime made;
};

// The first and the last record of all series; false when there is none.
bool RecordedSpan(
    const std::map<int, ChartSeries>& series, std::int64_t& first, std::int64_t& last);

// The whole document, made in memory: writing it is the caller's, so a slow
// disk holds no one who draws.
QByteArray RenderReportPdf(const ReportContent& content);
