#pragma once

#include "chart/ChartCommandLine.h"

#include <QString>

// qm482-chart --report / --daily-csv: the files read, the report written,
// no window. 0 written, 1 a file could not be read or written; `message`
// says which.
int RunReportCommand(const ChartOptions& options, QString& message);

// Whether the arguments, as main() gets them, need no screen (a report, the
// help, a wrong command line without a display), and whether they choose
// Qt's platform themselves.
bool NeedsNoScreen(int argc, const char* const* argv);
bool ChoosesPlatform(int argc, const char* const* argv);
