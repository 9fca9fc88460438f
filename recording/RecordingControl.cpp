#include "recording/RecordingControl.h"

#include "platform/MessageBox.h"
#include "platform/WindowTimers.h"
#include "recording/BinaryRecord.h"
#include "recording/RecordingDialog.h"
#include "recording/RecordingFile.h"
#include "recording/ReportFormat.h"
#include "resources/RecordingTexts.h"

#include <QString>

#include <algorithm>
#include <climits>
#include <cstring>
#include <ctime>

namespace {

QString utf8(const char* s)
{
    return QString::fromUtf8(s);
}

} // namespace

RecordingControl::RecordingControl(RecordingState& state, RecordingHost& host)
    : state_(state)
    , host_(host)
    , clock_(&RecordingControl::LocalNow)
    , dialog_([](QWidget* parent, RecordingSettings& settings, std::string& comment) {
        RecordingDialog dialog(settings, comment, parent);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        settings = dialog.settings();
        comment = dialog.comment();
        return true;
    })
{
    report_.unavailableText = texts::recording::kReportUnavailable;
    binary_.unavailableText = texts::recording::kBinaryUnavailable;
}

RecordingControl::~RecordingControl() = default;

LocalTime RecordingControl::LocalNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm t {};
    ::localtime_r(&now, &t);
    return { t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec };
}

unsigned RecordingControl::PeriodMs(int intervalSeconds)
{
    // A hand-edited interval below 1 s would arm a timer that never rests;
    // one beyond what a timer counts is clamped rather than overflowed.
    constexpr int kLongest = INT_MAX / 1000;
    return static_cast<unsigned>(std::clamp(intervalSeconds, 1, kLongest)) * 1000U;
}

void RecordingControl::OnTimer(unsigned id)
{
    if (id == RecordingState::TIMER_RECORD) {
        WriteReportRow();
        WriteBinaryRecord();
        ReportFailures();
    } else if (id == RecordingState::TIMER_RECORD_START) {
        StartupOpening();
    }
}

void RecordingControl::StartupOpening()
{
    host_.Timers().KillTimer(RecordingState::TIMER_RECORD_START);
    const RecordingSettings& s = state_.settings;
    if (OpenAtStartup(report_, s.reportFileName, s.reportEnabled != 0))
        WriteReportRow();
    if (OpenAtStartup(binary_, s.binaryFileName, s.binaryEnabled != 0))
        WriteBinaryRecord();
    ReportFailures();
    host_.EnableRecordingCommand();
}

bool RecordingControl::OpenAtStartup(Channel& channel, const std::string& name, bool enabled)
{
    // An empty name is passed over silently; a file the recording dialog
    // already opened is left as it is.
    if (name.empty() || !enabled || channel.file != nullptr)
        return false;
    bool existed = false;
    int error = 0;
    auto file = RecordingFile::Open(name, existed, error);
    if (file == nullptr) {
        ShowMessage(host_.Window(), utf8(channel.unavailableText));
        OnRecordingSettings();
        return false;
    }
    // At start-up a file is always appended to: no question, no comment.
    channel.file = std::move(file);
    channel.failing = false;
    ArmIntervalTimer();
    return true;
}

void RecordingControl::ArmIntervalTimer()
{
    WindowTimers& timers = host_.Timers();
    if (state_.recordTimer != 0)
        timers.KillTimer(state_.recordTimer);
    state_.settings.intervalSeconds = std::max(state_.settings.intervalSeconds, 1);
    state_.recordTimer
        = timers.SetTimer(RecordingState::TIMER_RECORD, PeriodMs(state_.settings.intervalSeconds));
    host_.UpdateStatusLine();
}

void RecordingControl::WriteReportRow()
{
    if (report_.file == nullptr)
        return;
    Write(report_,
        report::Row(state_.settings, clock_(), host_.CurrentReadings(), state_.writtenColumns));
}

void RecordingControl::WriteBinaryRecord()
{
    if (binary_.file == nullptr)
        return;
    Write(binary_, qmg::Record(clock_(), host_.CurrentReadings()));
}

void RecordingControl::Write(Channel& channel, const std::string& bytes)
{
    int error = 0;
    if (channel.file->Append(bytes, error)) {
        channel.failing = false;
        channel.error = 0;
    } else {
        channel.error = error;
    }
}

void RecordingControl::ReportFailures()
{
    for (Channel* channel : { &report_, &binary_ }) {
        const int error = channel->error;
        channel->error = 0;
        if (error != 0 && channel->file != nullptr)
            ShowWriteFailure(*channel, channel->file->path(), error);
    }
}

void RecordingControl::ShowWriteFailure(Channel& channel, const std::string& path, int error)
{
    // One box per file at a time, and one per run of failures: a disk that
    // stays full must not stack a box every tick.
    if (channel.failing || channel.boxOpen) {
        channel.failing = true;
        return;
    }
    channel.failing = true;
    channel.boxOpen = true;
    const QString text
        = utf8(texts::recording::kWriteFailed)
              .arg(QString::fromStdString(path), QString::fromLocal8Bit(std::strerror(error)));
    ShowMessage(host_.Window(), text, MessageBox::Icon::Error);
    channel.boxOpen = false;
}

void RecordingControl::OnRecordingSettings()
{
    // A file that will not open brings the dialog back with the values just
    // entered, until it opens or the user cancels.
    while (ApplySettingsOnce()) { }
}

bool RecordingControl::ApplySettingsOnce()
{
    RecordingSettings& s = state_.settings;
    const RecordingSettings previous = s;
    RecordingSettings edited = s;
    std::string comment = state_.recordingComment;
    if (!dialog_ || !dialog_(host_.Window(), edited, comment)) {
        // Cancelled: a kind whose file is not open is off; the rest runs on.
        if (report_.file == nullptr)
            s.reportEnabled = 0;
        if (binary_.file == nullptr)
            s.binaryEnabled = 0;
        host_.UpdateStatusLine();
        return false;
    }
    s = edited;
    state_.recordingComment = comment;

    const bool reportOn = s.reportEnabled != 0;
    const bool binaryOn = s.binaryEnabled != 0;
    if (!reportOn && !binaryOn) {
        if (state_.recordTimer != 0)
            host_.Timers().KillTimer(state_.recordTimer);
        state_.recordTimer = 0;
    }
    if (!reportOn)
        report_.file.reset();
    if (!binaryOn)
        binary_.file.reset();
    if (!reportOn && !binaryOn) {
        host_.UpdateStatusLine();
        return false;
    }

    if (reportOn) {
        if (report_.file == nullptr || s.reportFileName != previous.reportFileName
            || s.reportEnabled != previous.reportEnabled
            || s.separatorFormat != previous.separatorFormat) {
            // Closed first: no row goes to the old file after a failed reopening.
            report_.file.reset();
            bool appended = false;
            bool again = false;
            auto file = OpenConfirmed(
                report_, s.reportFileName, texts::recording::kReportExists, appended, again);
            if (file == nullptr)
                return again;
            state_.writtenColumns = -1;
            report_.file = std::move(file);
            report_.failing = false;
            if (s.writeComment != 0) {
                Write(report_,
                    report::CommentBlock(appended, comment, s.commentSerialNumber != 0,
                        host_.CurrentReadings().serialNumber));
            }
        }
        if (report_.error == 0)
            WriteReportRow();
        if (report_.error != 0) {
            ReportFailures();
            return false;
        }
    }

    if (binaryOn) {
        if (binary_.file == nullptr || s.binaryFileName != previous.binaryFileName
            || s.binaryEnabled != previous.binaryEnabled) {
            binary_.file.reset();
            bool appended = false;
            bool again = false;
            auto file = OpenConfirmed(
                binary_, s.binaryFileName, texts::recording::kBinaryExists, appended, again);
            if (file == nullptr)
                return again;
            binary_.file = std::move(file);
            binary_.failing = false;
        }
        WriteBinaryRecord();
        if (binary_.error != 0) {
            ReportFailures();
            return false;
        }
    }

    // The next tick comes one whole interval from now.
    ArmIntervalTimer();
    return false;
}

std::unique_ptr<RecordingFile> RecordingControl::OpenConfirmed(
    Channel& channel, const std::string& name, const char* existsText, bool& appended, bool& again)
{
    bool existed = false;
    int error = 0;
    auto file = RecordingFile::Open(name, existed, error);
    if (file == nullptr) {
        ShowMessage(host_.Window(), utf8(channel.unavailableText));
        again = true;
        return nullptr;
    }
    // While the question is open the file is not the channel's: that kind's
    // ticks are skipped, the other kind records on.
    MessageBox::Result answer = MessageBox::Result::Yes;
    if (existed) {
        answer = ShowMessage(host_.Window(), utf8(existsText), MessageBox::Icon::Question,
            MessageBox::Buttons::YesNo);
    }
    if (answer != MessageBox::Result::Yes && answer != MessageBox::Result::No) {
        // Not answered (the program is being closed): the file is left as it is.
        again = false;
        return nullptr;
    }
    appended = existed && answer == MessageBox::Result::Yes;
    if (answer == MessageBox::Result::No && !file->Truncate(error)) {
        // The user asked for an empty file: none rather than the old content.
        ShowWriteFailure(channel, name, error);
        again = false;
        return nullptr;
    }
    return file;
}

std::string RecordingControl::recordedFile() const
{
    if (binary_.file != nullptr)
        return binary_.file->path();
    if (report_.file != nullptr)
        return report_.file->path();
    return {};
}
