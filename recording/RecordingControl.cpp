#include "recording/RecordingControl.h"

#include "platform/MessageBox.h"
#include "platform/WindowTimers.h"
#include "recording/BinaryRecord.h"
#include "recording/RecordingDialog.h"
#include "recording/RecordingFile.h"
#include "recording/ReportFormat.h"
#include "resources/CommandIds.h"
#include "resources/RecordingTexts.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QString>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

QString utf8(const char* s)
{
    return QString::fromUtf8(s);
}

QString WriteFailedText(const std::string& path, int error)
{
    return utf8(texts::recording::kWriteFailed)
        .arg(QString::fromStdString(path), QString::fromLocal8Bit(std::strerror(error)));
}

} // namespace

RecordingControl::RecordingControl(
    RecordingState& state, RecordingHost& host, std::size_t queueLimit)
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
    , writer_([this](FileWriter::Key key,
                  int error) { receiver_.Post([this, key, error] { OnWritten(key, error); }); },
          queueLimit)
{
    report_.unavailableText = texts::recording::kReportUnavailable;
    binary_.unavailableText = texts::recording::kBinaryUnavailable;
}

RecordingControl::~RecordingControl()
{
    // Rows a slow disk has not taken yet get a bounded wait, so the program
    // still ends; what is left is said where a log reader sees it.
    Release(report_);
    Release(binary_);
    const std::size_t left = writer_.Shutdown(kExitWait);
    if (left != 0) {
        std::fprintf(stderr,
            "qm482: %zu recorded rows were still waiting for the disk after %lld s and are not "
            "written\n",
            left, static_cast<long long>(kExitWait.count()));
    }
}

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
    if (id == ids::TIMER_RECORD) {
        WriteReportRow();
        WriteBinaryRecord();
    } else if (id == ids::TIMER_RECORD_START) {
        StartupOpening();
    }
}

void RecordingControl::StartupOpening()
{
    host_.timers().KillTimer(ids::TIMER_RECORD_START);
    const RecordingSettings& s = state_.settings;
    if (OpenAtStartup(report_, s.reportFileName, s.reportEnabled != 0))
        WriteReportRow();
    if (OpenAtStartup(binary_, s.binaryFileName, s.binaryEnabled != 0))
        WriteBinaryRecord();
    host_.EnableRecordingCommand();
}

void RecordingControl::ReleaseForReopening(Channel& channel, const std::string& name)
{
    const FileWriter::Key old = channel.key;
    const bool same = old != 0 && channel.path == name;
    Release(channel);
    // The same file opens only once its earlier rows are in and its lock is
    // free; the window goes on meanwhile, as under a box. A disk that does
    // not get there in time leaves the file locked, and the opening says so.
    if (same)
        WaitWithEvents([this, old] { return !writer_.Holds(old); }, kReopenWait);
}

bool RecordingControl::OpenAtStartup(Channel& channel, const std::string& name, bool enabled)
{
    // An empty name is passed over silently; a file the recording dialog
    // already opened is left as it is.
    if (name.empty() || !enabled || channel.key != 0)
        return false;
    bool existed = false;
    int error = 0;
    auto file = RecordingFile::Open(name, existed, error);
    if (file == nullptr) {
        ShowMessage(host_.window(), utf8(channel.unavailableText));
        OnRecordingSettings();
        return false;
    }
    // At start-up a file is always appended to: no question, no comment.
    Attach(channel, std::move(file), name);
    ArmIntervalTimer();
    return true;
}

void RecordingControl::ArmIntervalTimer()
{
    WindowTimers& timers = host_.timers();
    if (state_.recordTimer != 0)
        timers.KillTimer(state_.recordTimer);
    state_.settings.intervalSeconds = std::max(state_.settings.intervalSeconds, 1);
    timerSeconds_ = state_.settings.intervalSeconds;
    state_.recordTimer = timers.SetTimer(ids::TIMER_RECORD, PeriodMs(timerSeconds_));
    host_.UpdateStatusLine();
}

void RecordingControl::StopIntervalTimer()
{
    if (state_.recordTimer != 0)
        host_.timers().KillTimer(state_.recordTimer);
    state_.recordTimer = 0;
}

void RecordingControl::Attach(
    Channel& channel, std::unique_ptr<RecordingFile> file, const std::string& path)
{
    channel.key = writer_.Attach(std::move(file));
    channel.path = path;
    channel.separator = state_.settings.separatorFormat;
    channel.failing = false;
    channel.refused = 0;
}

void RecordingControl::Release(Channel& channel)
{
    if (channel.key == 0)
        return;
    writer_.Close(channel.key);
    channel.key = 0;
    SayRefused(channel);
}

void RecordingControl::SayRefused(Channel& channel)
{
    if (channel.refused == 0)
        return;
    std::fprintf(stderr, "qm482: %zu rows were not recorded to %s: the disk did not take them\n",
        channel.refused, channel.path.c_str());
    channel.refused = 0;
}

void RecordingControl::WriteReportRow()
{
    if (report_.key == 0)
        return;
    Write(report_,
        report::Row(state_.settings, clock_(), host_.currentReadings(), state_.writtenColumns));
}

void RecordingControl::WriteBinaryRecord()
{
    if (binary_.key == 0)
        return;
    Write(binary_, qmg::Record(clock_(), host_.currentReadings()));
}

void RecordingControl::Write(Channel& channel, std::string bytes)
{
    if (writer_.Append(channel.key, std::move(bytes)))
        return;
    // The disk has not taken a row for as long as the queue lasts: from now
    // on rows are counted, not kept, and the user is told once.
    if (channel.refused++ == 0) {
        std::fprintf(stderr, "qm482: the disk is not taking rows for %s; new rows are not kept\n",
            channel.path.c_str());
        ShowWriteFailure(channel,
            utf8(texts::recording::kWriteStalled).arg(QString::fromStdString(channel.path)));
    }
}

void RecordingControl::OnWritten(FileWriter::Key key, int error)
{
    Channel* channel = nullptr;
    for (Channel* c : { &report_, &binary_ }) {
        if (c->key == key)
            channel = c;
    }
    // A file let go reports its own losses (the writer says them).
    if (channel == nullptr || key == 0)
        return;
    if (error == 0) {
        channel->failing = false;
        if (writer_.Pending(key) == 0)
            SayRefused(*channel);
        return;
    }
    ShowWriteFailure(*channel, WriteFailedText(channel->path, error));
}

bool RecordingControl::WaitWithEvents(
    const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer poll;
    QTimer::singleShot(timeout, &loop, &QEventLoop::quit);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(5);
    // Timers and the meter go on; the window takes no input meanwhile, so no
    // command runs inside another.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return done();
}

bool RecordingControl::WaitForWrites(std::chrono::milliseconds timeout)
{
    const bool idle = WaitWithEvents(
        [this] { return writer_.WaitIdle(std::chrono::milliseconds(0)); }, timeout);
    // The outcomes were queued before the writer went idle.
    receiver_.RunPosted();
    return idle;
}

void RecordingControl::ShowWriteFailure(Channel& channel, const QString& text)
{
    // One box per file at a time, and one per run of failures: a disk that
    // stays full must not stack a box every tick.
    if (channel.failing || channel.boxOpen) {
        channel.failing = true;
        return;
    }
    channel.failing = true;
    channel.boxOpen = true;
    ShowMessage(host_.window(), text, MessageBox::Icon::Error);
    channel.boxOpen = false;
}

void RecordingControl::OnRecordingSettings()
{
    // A file that will not open brings the dialog back with the values just
    // entered, until it opens or the user cancels.
    RecordingSettings shown = state_.settings;
    while (ApplySettingsOnce(shown)) { }
}

bool RecordingControl::ApplySettingsOnce(RecordingSettings& shown)
{
    RecordingSettings edited = shown;
    std::string comment = state_.recordingComment;
    if (!dialog_ || !dialog_(host_.window(), edited, comment)) {
        // Cancelled: what records runs on as it is.
        SettleOnWhatRecords();
        return false;
    }
    shown = edited;
    RecordingSettings& s = state_.settings;
    s = edited;
    state_.recordingComment = comment;

    if (s.reportEnabled == 0)
        Release(report_);
    if (s.binaryEnabled == 0)
        Release(binary_);
    if (s.reportEnabled == 0 && s.binaryEnabled == 0) {
        StopIntervalTimer();
        host_.UpdateStatusLine();
        return false;
    }

    // Against what is open, not against the settings before: a dialog that
    // came back after a failure has those already.
    if (s.reportEnabled != 0) {
        if (report_.key == 0 || report_.path != s.reportFileName
            || report_.separator != s.separatorFormat) {
            bool appended = false;
            const Opening o
                = Reopen(report_, s.reportFileName, texts::recording::kReportExists, appended);
            if (o == Opening::Unavailable || o == Opening::Failed) {
                SettleOnWhatRecords();
                return o == Opening::Unavailable;
            }
            if (o == Opening::Declined) {
                s.reportEnabled = 0;
            } else {
                state_.writtenColumns = -1;
                if (s.writeComment != 0) {
                    Write(report_,
                        report::CommentBlock(appended, comment, s.commentSerialNumber != 0,
                            host_.currentReadings().serialNumber));
                }
            }
        }
        WriteReportRow();
    }

    if (s.binaryEnabled != 0) {
        if (binary_.key == 0 || binary_.path != s.binaryFileName) {
            bool appended = false;
            const Opening o
                = Reopen(binary_, s.binaryFileName, texts::recording::kBinaryExists, appended);
            if (o == Opening::Unavailable || o == Opening::Failed) {
                SettleOnWhatRecords();
                return o == Opening::Unavailable;
            }
            if (o == Opening::Declined)
                s.binaryEnabled = 0;
        }
        WriteBinaryRecord();
    }

    // The next tick comes one whole interval from now.
    if (report_.key != 0 || binary_.key != 0)
        ArmIntervalTimer();
    else
        StopIntervalTimer();
    host_.UpdateStatusLine();
    return false;
}

void RecordingControl::SettleOnWhatRecords()
{
    RecordingSettings& s = state_.settings;
    if (report_.key == 0) {
        s.reportEnabled = 0;
    } else {
        s.reportFileName = report_.path;
        s.separatorFormat = report_.separator;
    }
    if (binary_.key == 0)
        s.binaryEnabled = 0;
    else
        s.binaryFileName = binary_.path;
    if (report_.key == 0 && binary_.key == 0)
        StopIntervalTimer();
    if (state_.recordTimer != 0)
        s.intervalSeconds = timerSeconds_;
    host_.UpdateStatusLine();
}

RecordingControl::Opening RecordingControl::Reopen(
    Channel& channel, const std::string& name, const char* existsText, bool& appended)
{
    // Closed first: no row goes to the old file after a failed reopening.
    ReleaseForReopening(channel, name);
    bool existed = false;
    int error = 0;
    auto file = RecordingFile::Open(name, existed, error);
    if (file == nullptr) {
        ShowMessage(host_.window(), utf8(channel.unavailableText));
        return Opening::Unavailable;
    }
    // While the question is open the file is not the channel's: that kind's
    // ticks are skipped, the other kind records on.
    MessageBox::Result answer = MessageBox::Result::Yes;
    if (existed) {
        answer = ShowMessage(host_.window(), utf8(existsText), MessageBox::Icon::Question,
            MessageBox::Buttons::YesNo);
    }
    // Only "Nie" itself empties a file: one dismissed (Escape, the window's
    // close button, the program closing) is left as it is.
    if (answer != MessageBox::Result::Yes && answer != MessageBox::Result::No)
        return Opening::Declined;
    appended = existed && answer == MessageBox::Result::Yes;
    if (answer == MessageBox::Result::No && !file->Truncate(error)) {
        // The user asked for an empty file: none rather than the old content.
        ShowWriteFailure(channel, WriteFailedText(name, error));
        return Opening::Failed;
    }
    Attach(channel, std::move(file), name);
    return Opening::Opened;
}

std::string RecordingControl::recordedFile() const
{
    if (binary_.key != 0)
        return binary_.path;
    if (report_.key != 0)
        return report_.path;
    return {};
}
