#pragma once

#include <functional>
#include <string>

class QWidget;

// "Uruchom Plotan": starts the companion charting program, without
// waiting for it; says so when nothing could be started.
class CompanionLauncher {
public:
    // The file being recorded that a chart viewer should open, or empty.
    using RecordedFile = std::function<std::string()>;

    CompanionLauncher(QWidget* window, RecordedFile recorded);

    // True when a program started.
    bool Run();

    // Where the program lies (tests put an empty folder here).
    void SetProgramDirectory(std::string directory) { programDirectory_ = std::move(directory); }

private:
    QWidget* window_;
    RecordedFile recorded_;
    std::string programDirectory_;
};
