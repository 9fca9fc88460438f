#pragma once

#include <QString>
#include <QStringList>

// qm482 [--config FILE]
struct CommandLine {
    enum class Outcome { Run, Help, Version, BadUsage };
    Outcome outcome = Outcome::Run;
    QString config; // empty: the program's own settings file
    QString output; // the help, the version or what was wrong, for the terminal
};

// `arguments` as QCoreApplication::arguments() gives them: the program's name
// first, Qt's own options already taken out.
CommandLine ParseCommandLine(const QStringList& arguments);

// Answers --help and --version before Qt is started, so that they work
// without a display: Help or Version when the raw arguments ask for one of
// them and hold nothing else the parser does not know; otherwise Run (Qt's
// own options are then left for the application object to take out).
CommandLine ParseBeforeQt(int argc, char** argv);
