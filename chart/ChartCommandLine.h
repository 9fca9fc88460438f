#pragma once

#include <QString>
#include <QStringList>

// qm482-chart [--settings FILE] [--alarms FILE] [--dew-point] [FILE]
struct ChartOptions {
    QString settings; // empty: the program's own settings file
    QString alarms; // the alarm log; empty: none
    bool dewPoint = false;
    QString file; // the recording; empty: none
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
