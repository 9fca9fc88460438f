#pragma once

#include "platform/PostedCalls.h"
#include "recording/FileWriter.h"
#include "recording/Readings.h"
#include "recording/RecordingState.h"

#include <QObject>

#include <chrono>
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
    virtual Readings currentReadings() const = 0;
    virtual void UpdateStatusLine() = 0;
    virtual void EnableRecordingCommand() = 0;
    virtual WindowTimers& timers() = 0;
    // The parent of the boxes and dialogs the control shows.
    virtual QWidget* window() = 0;
};

// Recording to the text report and the binary file: the start 10 s after
// the program's start, the interval timer, and the files. The rows are
// written by a FileWriter thread, so a slow disk never stops the window;
// outcomes come back to this thread. Each file fails on its own: a write
// that fails shows one box for that file (not one per tick), keeps the file
// open, and the failed row is retried, in order, before the next tick's.
class RecordingControl {
public:
    using Clock = std::function<LocalTime()>;

    // `queueLimit`: rows of one file that may wait for a slow disk; at one
    // row a second the default lasts 18 hours.
    RecordingControl(RecordingState& state, RecordingHost& host,
        std::size_t queueLimit = FileWriter::kDefaultLimit);
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

    bool reportOpen() const { return report_.key != 0; }
    bool binaryOpen() const { return binary_.key != 0; }
    // The binary file being recorded, else the report, else empty: what a
    // chart viewer opens.
    std::string recordedFile() const;
    // The timer period for an interval in seconds: at least 1 s, at most
    // what a timer can count.
    static unsigned PeriodMs(int intervalSeconds);

    // Waits, handling events, until every queued row is written (or holds
    // after a failure) and its outcome handled; false after `timeout`.
    bool WaitForWrites(std::chrono::milliseconds timeout);
    // Tests slow the disk down.
    void SetAppend(FileWriter::AppendFn append) { writer_.SetAppend(std::move(append)); }
    // How long the program's end waits for rows a slow disk has not taken.
    static constexpr std::chrono::seconds kExitWait { 5 };
    // How long a reopening of the same file waits for its earlier rows.
    static constexpr std::chrono::seconds kReopenWait { 10 };

private:
    struct Channel {
        FileWriter::Key key = 0; // 0: no file
        std::string path;
        const char* unavailableText;
        bool failing = false; // the last write failed; its box was shown
        bool boxOpen = false;
        std::size_t refused = 0; // rows not kept: the queue was full
        int separator = 0; // the report's separator when it was opened
    };
    // How one confirmed kind's (re)opening ended.
    enum class Opening {
        Opened,
        Declined, // the question was dismissed: the file stays as it is, closed
        Unavailable, // would not open: the dialog comes back
        Failed, // could not be emptied: the command ends
    };

    void StartupOpening();
    // One run of the settings dialog on `shown` (the values just entered,
    // when it comes back) and what it asks for; true when the dialog must
    // come back (a file would not open).
    bool ApplySettingsOnce(RecordingSettings& shown);
    // Lets the channel's file go and opens `name` in its place for the
    // dialog's confirmation, asking whether to append to a file that exists.
    Opening Reopen(
        Channel& channel, const std::string& name, const char* existsText, bool& appended);
    // After a command that did not go through: the settings name what is
    // recorded (a kind whose file is not open is off, an open file keeps its
    // name and separator, the interval is the timer's), and without a file
    // open the timer stops; the status line then tells what happens.
    void SettleOnWhatRecords();
    void StopIntervalTimer();
    void ShowWriteFailure(Channel& channel, const QString& text);
    bool OpenAtStartup(Channel& channel, const std::string& name, bool enabled);
    void Attach(Channel& channel, std::unique_ptr<RecordingFile> file, const std::string& path);
    // Lets the file go; its queued rows still go to it.
    void Release(Channel& channel);
    // Says on stderr how many rows of the file were refused, once.
    void SayRefused(Channel& channel);
    // Lets the file go before `name` is opened for the channel.
    void ReleaseForReopening(Channel& channel, const std::string& name);
    void WriteReportRow();
    void WriteBinaryRecord();
    void Write(Channel& channel, std::string bytes);
    // An outcome of the writer's, on this thread.
    void OnWritten(FileWriter::Key key, int error);
    // Handles events until `done` or the deadline; true when done.
    static bool WaitWithEvents(
        const std::function<bool()>& done, std::chrono::milliseconds timeout);
    void ArmIntervalTimer();

    RecordingState& state_;
    RecordingHost& host_;
    Clock clock_;
    SettingsDialog dialog_;
    Channel report_;
    Channel binary_;
    int timerSeconds_ = 0; // the interval the timer was armed with
    PostedCalls receiver_; // outcomes are queued to it; dies after the writer
    FileWriter writer_;
};
