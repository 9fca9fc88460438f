#pragma once

#include "recording/Readings.h"
#include "recording/RecordingState.h"

#include <functional>
#include <memory>
#include <string>

class QWidget;
class RecordingFile;
class WindowTimers;

// What the recording control needs of the main window, and no more.
class RecordingHost {
public:
    virtual ~RecordingHost() = default;
    // The readings as the panels show them (valid: shown and not blinking).
    virtual Readings CurrentReadings() const = 0;
    virtual void UpdateStatusLine() = 0;
    virtual void EnableRecordingCommand() = 0;
    virtual WindowTimers& Timers() = 0;
    // The parent of the boxes and dialogs the control shows.
    virtual QWidget* Window() = 0;
};

// Recording to the text report and the binary file: the start 10 s after
// the program's start, the interval timer, and the files. Each file fails
// on its own: a write that fails shows one box for that file (not one per
// tick), keeps the file open and is retried at the next tick.
class RecordingControl {
public:
    using Clock = std::function<LocalTime()>;

    RecordingControl(RecordingState& state, RecordingHost& host);
    ~RecordingControl();
    RecordingControl(const RecordingControl&) = delete;
    RecordingControl& operator=(const RecordingControl&) = delete;

    // Timers 1034 and 1036.
    void OnTimer(unsigned id);
    // The menu command "Rejestracja do pliku".
    void OnRecordingSettings();

    // Runs the recording settings dialog on the values given; false when it
    // is cancelled. Tests answer in place of a person.
    using SettingsDialog
        = std::function<bool(QWidget* parent, RecordingSettings& settings, std::string& comment)>;
    void SetSettingsDialog(SettingsDialog dialog) { dialog_ = std::move(dialog); }

    // Tests set the local time the rows carry.
    void SetClock(Clock clock) { clock_ = std::move(clock); }
    static LocalTime LocalNow();

    bool reportOpen() const { return report_.file != nullptr; }
    bool binaryOpen() const { return binary_.file != nullptr; }
    // The binary file being recorded, else the report, else empty: what a
    // chart viewer opens.
    std::string recordedFile() const;
    // The timer period for an interval in seconds: at least 1 s, at most
    // what a timer can count.
    static unsigned PeriodMs(int intervalSeconds);

private:
    struct Channel {
        std::unique_ptr<RecordingFile> file;
        const char* unavailableText;
        bool failing = false; // the last write failed; its box was shown
        bool boxOpen = false;
        int error = 0; // of a failure not yet shown
    };

    void StartupOpening();
    // One run of the settings dialog and what it asks for; true when the
    // dialog must come back (a file would not open).
    bool ApplySettingsOnce();
    // Opens `name` for the dialog's confirmation, asking whether to append
    // to a file that exists. nullptr after its box when it cannot; `again`
    // then tells whether the dialog must come back (the file would not open)
    // or the command ends (the file could not be emptied).
    std::unique_ptr<RecordingFile> OpenConfirmed(Channel& channel, const std::string& name,
        const char* existsText, bool& appended, bool& again);
    void ShowWriteFailure(Channel& channel, const std::string& path, int error);
    bool OpenAtStartup(Channel& channel, const std::string& name, bool enabled);
    void WriteReportRow();
    void WriteBinaryRecord();
    void Write(Channel& channel, const std::string& bytes);
    // Shows the boxes of the failures of the last writes, one per file.
    void ReportFailures();
    void ArmIntervalTimer();

    RecordingState& state_;
    RecordingHost& host_;
    Clock clock_;
    SettingsDialog dialog_;
    Channel report_;
    Channel binary_;
};
