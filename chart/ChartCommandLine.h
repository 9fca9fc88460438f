#pragma once

#include <QString>
#include <QStringList>

#include <QDate>

// qm482-chart [--settings FILE] [--alarms FILE] [--dew-point] [FILE]
// qm482-chart --report OUT.pdf|--daily-csv OUT.csv [--from DAY] [--to DAY]
//             [--title TEXT] [--settings FILE] [--alarms FILE] [--dew-point] FILE...
struct ChartOptions {
    QString settings; // empty: the program's own settings file
    QString alarms; // the alarm log; empty: none
    bool dewPoint = false;
    QString file; // the recording; empty: none
    // A report written without the window: files read together.
    QString report; // the PDF; empty: none
    QString dailyCsv; // the daily table; empty: none
    QDate from; // invalid: from the first record
    QDate to; // invalid: to the last record
    QString title; // empty: the default title
    QStringList files;
    bool headless() const { return !report.isEmpty() || !dailyCsv.isEmpty(); }
};

struct ChartCommandLine {
    enum class Outcome { Run, Help, Version, BadUsage };
    Outcome outcome = Outcome::Run;
    ChartOptions options;
    QString output; // the help, the version or what was wrong, for the terminal
};

// `arguments` as QCoreApplication::arguments() gives them, the program's
// name first and Qt's own options already taken out.
ChartCommandLine ParseChartCommandLine(const QStringList& arguments);
