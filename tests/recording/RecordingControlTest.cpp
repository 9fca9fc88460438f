#include "recording/RecordingControl.h"
#include "platform/WindowTimers.h"
#include "recording/BinaryRecord.h"
#include "recording/FileWriter.h"
#include "recording/RecordingFile.h"
#include "recording/ReportFormat.h"
#include "resources/CommandIds.h"
#include "support/ScriptedMessageBox.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <sys/resource.h>
#include <thread>

namespace {

const QString kReportUnavailable
    = QStringLiteral("Wybrany plik rejestracji wyników pomiaru jest niedostępny.");

// The window as the recording control sees it.
class FakeWindow : public RecordingHost {
public:
    Readings currentReadings() const override { return readings; }
    void UpdateStatusLine() override { ++statusUpdates; }
    void EnableRecordingCommand() override { commandEnabled = true; }
    WindowTimers& timers() override { return windowTimers; }
    QWidget* window() override { return nullptr; }

    Readings readings;
    int statusUpdates = 0;
    bool commandEnabled = false;
    WindowTimers windowTimers { [](unsigned) {} };
};

class Recording : public ::testing::Test {
protected:
    void SetUp() override
    {
        state.settings.reportFileName = dir / "raport.txt";
        state.settings.binaryFileName = dir / "pomiary.qmg";
        state.settings.reportEnabled = 1;
        state.settings.binaryEnabled = 1;
        state.settings.intervalSeconds = 60;
        window.readings.serialNumber = 1234;
        window.readings.temperature = { 21.5, true };
        window.readings.pressure = { 1013.2, true };
        control.SetClock([this] { return now; });
        // No person to answer the settings dialog: it is cancelled unless a
        // test says otherwise.
        control.SetSettingsDialog([](QWidget*, RecordingSettings&, std::string&) { return false; });
    }

    // What the formats make of the current readings at `now`.
    std::string row(int& columns) const
    {
        return report::Row(state.settings, now, window.readings, columns);
    }
    std::string record() const { return qmg::Record(now, window.readings); }
    // A file as it is once every row queued so far is in and its outcome
    // handled.
    std::string Read(const std::string& path)
    {
        EXPECT_TRUE(control.WaitForWrites(std::chrono::seconds(10))) << "the writes never ended";
        return ReadFile(path);
    }

    TempDir dir;
    ScriptedMessageBox boxes;
    RecordingState state;
    FakeWindow window;
    RecordingControl control { state, window };
    LocalTime now { 2009, 10, 5, 12, 30, 0 };
};

} // namespace

TEST_F(Recording, StartAppendsToWhatIsThereWritesAtOnceThenEveryInterval)
{
    WriteFile(state.settings.reportFileName, "earlier run\r\n");
    window.timers().SetTimer(ids::TIMER_RECORD_START, 10000);
    control.OnTimer(ids::TIMER_RECORD_START);

    int columns = -1;
    std::string report = "earlier run\r\n" + row(columns);
    std::string binary = record();
    EXPECT_EQ(Read(state.settings.reportFileName), report) << "no header, or not appended";
    EXPECT_EQ(Read(state.settings.binaryFileName), binary);
    EXPECT_TRUE(boxes.shown.empty()) << "the start asked or warned";
    EXPECT_FALSE(window.timers().isRunning(ids::TIMER_RECORD_START));
    EXPECT_TRUE(window.timers().isRunning(ids::TIMER_RECORD));
    EXPECT_EQ(state.recordTimer, ids::TIMER_RECORD);
    EXPECT_TRUE(state.recording());
    EXPECT_GT(window.statusUpdates, 0);
    EXPECT_TRUE(window.commandEnabled);

    // A tick: the link is down now; the row says so, the record is bare.
    now.minute = 31;
    window.readings.temperature.valid = false;
    window.readings.pressure.valid = false;
    control.OnTimer(ids::TIMER_RECORD);
    report += row(columns);
    binary += record();
    EXPECT_EQ(Read(state.settings.reportFileName), report);
    EXPECT_EQ(Read(state.settings.binaryFileName), binary);
}

TEST_F(Recording, EmptyNameIsSkippedAndAFileThatCannotOpenSaysSoOnce)
{
    state.settings.binaryFileName.clear();
    state.settings.reportFileName = dir / "no-such-folder/raport.txt";
    control.OnTimer(ids::TIMER_RECORD_START);
    EXPECT_EQ(boxes.count(kReportUnavailable), 1);
    EXPECT_EQ(boxes.shown.size(), 1U) << "the empty binary name was not passed over silently";
    EXPECT_FALSE(control.reportOpen());
    EXPECT_FALSE(control.binaryOpen());
    EXPECT_FALSE(state.recording());
    EXPECT_TRUE(window.commandEnabled);
}

TEST_F(Recording, ASecondWriterIsKeptOutAndTheDialogCancelledEndsThatKindOnly)
{
    bool existed = false;
    int error = 0;
    // Another instance of the program records into the binary file.
    auto other = RecordingFile::Open(state.settings.binaryFileName, existed, error);
    ASSERT_NE(other, nullptr);
    int dialogs = 0;
    control.SetSettingsDialog([&](QWidget*, RecordingSettings&, std::string&) {
        ++dialogs;
        return false;
    });
    control.OnTimer(ids::TIMER_RECORD_START);
    EXPECT_EQ(boxes.count(QStringLiteral("Wybrany plik binarny jest niedostępny.")), 1);
    EXPECT_EQ(dialogs, 1) << "the failure did not bring up the recording settings";
    EXPECT_FALSE(control.binaryOpen());
    EXPECT_EQ(state.settings.binaryEnabled, 0);
    EXPECT_TRUE(control.reportOpen());
    EXPECT_EQ(state.settings.reportEnabled, 1);
    EXPECT_TRUE(state.recording());
}

TEST_F(Recording, AFullDiskShowsOneBoxKeepsWholeRowsAndCatchesUpInOrder)
{
    // A disk that fills up: writes past a size limit fail part-way.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    WriteFile(state.settings.reportFileName, std::string(4000, 'x') + "\r\n");
    control.OnTimer(ids::TIMER_RECORD_START);
    const std::string whole = Read(state.settings.reportFileName);
    const std::size_t records = Read(state.settings.binaryFileName).size();

    rlimit tight = saved;
    tight.rlim_cur = whole.size() + 10; // room for the first bytes of a row only
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
    int columns = state.writtenColumns;
    std::string waiting;
    for (int tick = 1; tick <= 3; ++tick) {
        now.second = tick;
        control.OnTimer(ids::TIMER_RECORD);
        waiting += row(columns);
        ASSERT_TRUE(control.WaitForWrites(std::chrono::seconds(10)));
    }
    std::size_t failureBoxes = boxes.shown.size();
    EXPECT_EQ(failureBoxes, 1U) << "one box per run of failures, not one per tick";
    if (!boxes.shown.empty()) {
        EXPECT_TRUE(boxes.shown[0].text.contains(QString::fromStdString(dir / "raport.txt")));
        EXPECT_EQ(boxes.shown[0].icon, MessageBox::Icon::Error);
    }
    EXPECT_EQ(Read(state.settings.reportFileName), whole) << "a half row was left";
    EXPECT_EQ(Read(state.settings.binaryFileName).size(), records * 4)
        << "the report's failure cost the binary records";
    EXPECT_TRUE(control.reportOpen());

    // The disk has room again: the next tick writes the rows that waited, in
    // their order, then its own, without a box.
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);
    now.second = 4;
    control.OnTimer(ids::TIMER_RECORD);
    waiting += row(columns);
    EXPECT_EQ(Read(state.settings.reportFileName), whole + waiting);
    EXPECT_EQ(boxes.shown.size(), failureBoxes);

    // Full once more: a failure after a success is told again.
    tight.rlim_cur = Read(state.settings.reportFileName).size() + 10;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
    control.OnTimer(ids::TIMER_RECORD);
    EXPECT_TRUE(control.WaitForWrites(std::chrono::seconds(10)));
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);
    EXPECT_EQ(boxes.shown.size(), failureBoxes + 1);
}

TEST_F(Recording, ASlowDiskNeverHoldsUpTheWindowAndEveryRowArrivesInOrder)
{
    // Every row takes the disk 2 s, as on a stalling stick or share.
    control.SetAppend([](RecordingFile& file, std::string_view bytes, int& error) {
        std::this_thread::sleep_for(std::chrono::seconds(2));
        return file.Append(bytes, error);
    });
    // The window's own pulse: a timer that must keep firing on time.
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    QTimer pulse;
    QObject::connect(&pulse, &QTimer::timeout, [&] {
        longest = std::max(longest, clock.elapsed() - last);
        last = clock.elapsed();
    });
    clock.start();
    pulse.start(50);

    const auto timed = [&](unsigned id) {
        QElapsedTimer t;
        t.start();
        control.OnTimer(id);
        return t.elapsed();
    };
    int columns = -1;
    EXPECT_LT(timed(ids::TIMER_RECORD_START), 570) << "the start waited for the disk";
    std::string report = row(columns);
    std::string binary = record();
    now.second = 1;
    EXPECT_LT(timed(ids::TIMER_RECORD), 570) << "a tick waited for the disk";
    report += row(columns);
    binary += record();

    ASSERT_TRUE(control.WaitForWrites(std::chrono::seconds(30)));
    EXPECT_GE(clock.elapsed(), 7000) << "the disk was not slow";
    EXPECT_LT(longest, 570) << "the window stood still while the disk wrote";
    EXPECT_EQ(ReadFile(state.settings.reportFileName), report);
    EXPECT_EQ(ReadFile(state.settings.binaryFileName), binary);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(Recording, ClosingOrReopeningWhileRowsWaitLosesNoneAndWritesNoneAfter)
{
    control.SetAppend([](RecordingFile& file, std::string_view bytes, int& error) {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        return file.Append(bytes, error);
    });
    int columns = -1;
    control.OnTimer(ids::TIMER_RECORD_START);
    std::string report = row(columns);
    std::string binary = record();
    for (int tick = 1; tick <= 3; ++tick) {
        now.second = tick;
        control.OnTimer(ids::TIMER_RECORD);
        report += row(columns);
        binary += record();
    }
    // Rows still wait when the dialog turns the binary file off and a new
    // separator reopens the same report (appended to).
    control.SetSettingsDialog([](QWidget*, RecordingSettings& s, std::string&) {
        s.binaryEnabled = 0;
        s.separatorFormat = 1;
        return true;
    });
    boxes.answers = { MessageBox::Result::Yes };
    now.second = 4;
    control.OnRecordingSettings();
    EXPECT_FALSE(control.binaryOpen());
    ASSERT_TRUE(control.reportOpen()) << "the report's earlier rows kept it locked";
    EXPECT_EQ(boxes.shown.size(), 1U) << "only the append question";
    columns = -1;
    report += row(columns);
    now.second = 5;
    control.OnTimer(ids::TIMER_RECORD);
    report += row(columns);
    EXPECT_EQ(Read(state.settings.reportFileName), report);
    EXPECT_EQ(ReadFile(state.settings.binaryFileName), binary)
        << "the closed file lost its queued records or got later ones";
}

TEST_F(Recording, TheEndOfTheProgramWritesWhatIsQueued)
{
    state.settings.binaryEnabled = 0;
    auto ending = std::make_unique<RecordingControl>(state, window);
    ending->SetClock([this] { return now; });
    ending->SetAppend([](RecordingFile& file, std::string_view bytes, int& error) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        return file.Append(bytes, error);
    });
    int columns = -1;
    std::string report;
    ending->OnTimer(ids::TIMER_RECORD_START);
    report += row(columns);
    for (int tick = 1; tick <= 3; ++tick) {
        now.second = tick;
        ending->OnTimer(ids::TIMER_RECORD);
        report += row(columns);
    }
    ending.reset();
    EXPECT_EQ(ReadFile(state.settings.reportFileName), report);
}

TEST_F(Recording, AStalledDiskThatFillsTheQueueSaysSoOnceAndKeepsTheEarliestRows)
{
    state.settings.binaryEnabled = 0;
    auto stalled = std::make_shared<std::atomic<bool>>(true);
    RecordingControl stuck(state, window, 3);
    stuck.SetClock([this] { return now; });
    stuck.SetAppend([stalled](RecordingFile& file, std::string_view bytes, int& error) {
        while (*stalled)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return file.Append(bytes, error);
    });
    int columns = -1;
    std::string kept;
    stuck.OnTimer(ids::TIMER_RECORD_START);
    kept += row(columns);
    for (int tick = 1; tick <= 5; ++tick) {
        now.second = tick;
        stuck.OnTimer(ids::TIMER_RECORD);
        const std::string r = row(columns);
        if (tick <= 2)
            kept += r; // the queue holds three rows
    }
    const QString stalledText = QStringLiteral(
        "Dysk od dłuższego czasu nie przyjmuje pomiarów do pliku %1.\nZaległe pomiary czekają "
        "na zapis; następne nie będą rejestrowane, dopóki dysk ich nie przyjmie.")
                                    .arg(QString::fromStdString(state.settings.reportFileName));
    EXPECT_EQ(boxes.count(stalledText), 1);
    EXPECT_EQ(boxes.shown.size(), 1U);

    // The disk wakes up: the rows it was given arrive, and recording goes on.
    *stalled = false;
    ASSERT_TRUE(stuck.WaitForWrites(std::chrono::seconds(10)));
    now.second = 6;
    stuck.OnTimer(ids::TIMER_RECORD);
    kept += row(columns);
    ASSERT_TRUE(stuck.WaitForWrites(std::chrono::seconds(10)));
    EXPECT_EQ(ReadFile(state.settings.reportFileName), kept);
    EXPECT_EQ(boxes.shown.size(), 1U);
}

TEST(FileWriterEnd, AStalledDiskHoldsTheEndOnlyBrieflyAndWhatIsLeftIsCounted)
{
    TempDir dir;
    bool existed = false;
    int error = 0;
    auto file = RecordingFile::Open(dir / "raport.txt", existed, error);
    ASSERT_NE(file, nullptr);
    auto stalled = std::make_shared<std::atomic<bool>>(true);
    FileWriter writer(nullptr);
    writer.SetAppend([stalled](RecordingFile& f, std::string_view bytes, int& e) {
        while (*stalled)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return f.Append(bytes, e);
    });
    const FileWriter::Key key = writer.Attach(std::move(file));
    for (const char* row : { "1\r\n", "2\r\n", "3\r\n" })
        ASSERT_TRUE(writer.Append(key, row));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(writer.Shutdown(std::chrono::milliseconds(200)), 3U);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    // The thread left in the disk ends on its own once the disk answers.
    *stalled = false;
}

TEST(RecordingInterval, PeriodIsAtLeastOneSecondAndNeverOverflows)
{
    EXPECT_EQ(RecordingControl::PeriodMs(1), 1000U);
    EXPECT_EQ(RecordingControl::PeriodMs(0), 1000U);
    EXPECT_EQ(RecordingControl::PeriodMs(-5), 1000U);
    EXPECT_EQ(RecordingControl::PeriodMs(3600), 3600000U);
    EXPECT_LE(RecordingControl::PeriodMs(2000000000), 2147483647U);
    EXPECT_GE(RecordingControl::PeriodMs(2000000000), 2147483000U);
}

TEST_F(Recording, AStartFailureCancelledEndsBothKindsBeforeTheBinaryOpens)
{
    state.settings.reportFileName = dir / "no-such-folder/raport.txt";
    control.SetSettingsDialog([](QWidget*, RecordingSettings&, std::string&) { return false; });
    control.OnTimer(ids::TIMER_RECORD_START);
    EXPECT_EQ(state.settings.reportEnabled, 0);
    EXPECT_EQ(state.settings.binaryEnabled, 0);
    EXPECT_FALSE(control.binaryOpen());
    EXPECT_FALSE(std::filesystem::exists(state.settings.binaryFileName));
    EXPECT_FALSE(state.recording());
}

TEST_F(Recording, TheSettingsCommandReopensExactlyWhatTheChangeAsksFor)
{
    state.settings.writeComment = 1;
    state.settings.commentSerialNumber = 1;
    control.OnTimer(ids::TIMER_RECORD_START);
    int columns = -1;
    std::string report = row(columns);
    std::string binary = record();
    ASSERT_EQ(Read(state.settings.reportFileName), report);

    std::function<void(RecordingSettings&, std::string&)> change;
    bool confirm = false;
    control.SetSettingsDialog([&](QWidget*, RecordingSettings& s, std::string& comment) {
        if (change)
            change(s, comment);
        return confirm;
    });
    auto files = [&] {
        return std::make_pair(
            Read(state.settings.reportFileName), Read(state.settings.binaryFileName));
    };

    // Cancelled while both record: both go on, nothing written.
    control.OnRecordingSettings();
    EXPECT_EQ(files(), std::make_pair(report, binary));
    EXPECT_TRUE(control.reportOpen() && control.binaryOpen() && state.recording());

    // Confirmed unchanged: one row and one record at once; no question, no comment.
    confirm = true;
    control.OnRecordingSettings();
    report += row(columns);
    binary += record();
    EXPECT_EQ(files(), std::make_pair(report, binary));
    EXPECT_TRUE(boxes.shown.empty());

    // Only the columns: the same file, a new header.
    change = [](RecordingSettings& s, std::string&) { s.columnHumidity = 0; };
    control.OnRecordingSettings();
    report += row(columns);
    EXPECT_EQ(Read(state.settings.reportFileName), report);
    EXPECT_TRUE(boxes.shown.empty());

    // The separator: reopened, the question asked; "Nie" empties the file,
    // which starts again with the comment block and a header.
    change = [](RecordingSettings& s, std::string& comment) {
        s.separatorFormat = 2;
        comment = "Hala 2";
    };
    boxes.answers = { MessageBox::Result::No };
    control.OnRecordingSettings();
    ASSERT_EQ(boxes.shown.size(), 1U);
    EXPECT_EQ(boxes.shown[0].icon, MessageBox::Icon::Question);
    EXPECT_EQ(boxes.shown[0].buttons, MessageBox::Buttons::YesNo);
    EXPECT_TRUE(boxes.shown[0].text.startsWith(
        QStringLiteral("Plik rejestracji pomiarów już istnieje.\r\nWybierz Tak")));
    columns = -1;
    report = report::CommentBlock(false, "Hala 2", true, 1234) + row(columns);
    EXPECT_EQ(Read(state.settings.reportFileName), report);

    // Only the binary file off: it closes; the report and the timer go on.
    change = [](RecordingSettings& s, std::string&) { s.binaryEnabled = 0; };
    binary = Read(state.settings.binaryFileName);
    control.OnRecordingSettings();
    control.OnTimer(ids::TIMER_RECORD);
    report += row(columns) + row(columns);
    EXPECT_EQ(files(), std::make_pair(report, binary));
    EXPECT_FALSE(control.binaryOpen());
    EXPECT_TRUE(window.timers().isRunning(ids::TIMER_RECORD));
}

TEST_F(Recording, AQuestionLeftUnansweredLeavesTheFileAsItWas)
{
    // The program is closed while it asks whether to append or empty.
    WriteFile(state.settings.reportFileName, "a day of rows\r\n");
    state.settings.binaryEnabled = 0;
    control.SetSettingsDialog([](QWidget*, RecordingSettings&, std::string&) { return true; });
    boxes.answers = { MessageBox::Result::Cancelled };
    control.OnRecordingSettings();
    EXPECT_EQ(boxes.shown.size(), 1U);
    EXPECT_EQ(Read(state.settings.reportFileName), "a day of rows\r\n");
    EXPECT_FALSE(control.reportOpen());
}

TEST_F(Recording, ANewNameThatExistsIsAskedAboutAndEachAnswerDoesWhatItSays)
{
    state.settings.writeComment = 1;
    control.OnTimer(ids::TIMER_RECORD_START);
    const std::string firstBinary = state.settings.binaryFileName;
    const std::string firstReport = state.settings.reportFileName;
    const std::string otherReport = dir / "stary.txt";
    const std::string otherBinary = dir / "stary.qmg";
    WriteFile(otherReport, "old rows\r\n");
    WriteFile(otherBinary, "old records");
    std::function<void(RecordingSettings&)> change;
    control.SetSettingsDialog([&](QWidget*, RecordingSettings& s, std::string& comment) {
        change(s);
        comment = "Hala 3";
        return true;
    });

    // Both names changed to files that exist; "Tak" to both appends.
    change = [&](RecordingSettings& s) {
        s.reportFileName = otherReport;
        s.binaryFileName = otherBinary;
    };
    boxes.answers = { MessageBox::Result::Yes, MessageBox::Result::Yes };
    control.OnRecordingSettings();
    ASSERT_EQ(boxes.shown.size(), 2U);
    EXPECT_EQ(boxes.shown[0].text,
        QStringLiteral("Plik rejestracji pomiarów już istnieje.\r\nWybierz Tak aby dopisywać "
                       "wyniki do poprzednich,\r\nwybierz Nie aby skasować poprzednią zawartość "
                       "pliku."));
    EXPECT_EQ(boxes.shown[1].text,
        QStringLiteral("Plik binarny już istnieje.\r\nWybierz Tak aby dopisywać wyniki do "
                       "poprzednich,\r\nwybierz Nie aby skasować poprzednią zawartość pliku."));
    EXPECT_EQ(boxes.shown[1].icon, MessageBox::Icon::Question);
    EXPECT_EQ(boxes.shown[1].buttons, MessageBox::Buttons::YesNo);
    int columns = -1;
    std::string report
        = "old rows\r\n" + report::CommentBlock(true, "Hala 3", false, 1234) + row(columns);
    std::string binary = "old records" + record();
    EXPECT_EQ(Read(otherReport), report);
    EXPECT_EQ(Read(otherBinary), binary);
    const std::string firstReportRows = ReadFile(firstReport);
    const std::string firstBinaryRecords = ReadFile(firstBinary);
    control.OnTimer(ids::TIMER_RECORD);
    report += row(columns);
    binary += record();
    EXPECT_EQ(Read(otherReport), report);
    EXPECT_EQ(Read(otherBinary), binary);
    EXPECT_EQ(ReadFile(firstReport), firstReportRows) << "the old report still records";
    EXPECT_EQ(ReadFile(firstBinary), firstBinaryRecords) << "the old binary file still records";

    // Back to the first binary file: "Nie" empties it; the report is not asked about.
    change = [&](RecordingSettings& s) { s.binaryFileName = firstBinary; };
    boxes.answers = { MessageBox::Result::No };
    control.OnRecordingSettings();
    EXPECT_EQ(boxes.shown.size(), 3U);
    EXPECT_EQ(Read(firstBinary), record());
    EXPECT_EQ(Read(otherReport), report + row(columns));
}

TEST_F(Recording, ADismissedQuestionLeavesItsFileAsItIsAndTheRestGoesOn)
{
    control.OnTimer(ids::TIMER_RECORD_START);
    const std::string report = Read(state.settings.reportFileName);
    std::string binary = Read(state.settings.binaryFileName);
    std::function<void(RecordingSettings&)> change;
    control.SetSettingsDialog([&](QWidget*, RecordingSettings& s, std::string&) {
        change(s);
        return true;
    });

    // A new separator and interval; the report's question dismissed: its
    // file is kept whole and no longer recorded, the binary file and the
    // new interval go on.
    change = [](RecordingSettings& s) {
        s.separatorFormat = 1;
        s.intervalSeconds = 5;
    };
    boxes.answers = { MessageBox::Result::Cancelled };
    control.OnRecordingSettings();
    EXPECT_EQ(boxes.shown.size(), 1U);
    control.OnTimer(ids::TIMER_RECORD);
    binary += record() + record();
    EXPECT_EQ(Read(state.settings.reportFileName), report);
    EXPECT_EQ(Read(state.settings.binaryFileName), binary);
    EXPECT_FALSE(control.reportOpen());
    EXPECT_EQ(state.settings.reportEnabled, 0) << "the settings say a report records";
    EXPECT_EQ(window.timers().PeriodMs(ids::TIMER_RECORD), 5000U);
    EXPECT_EQ(state.settings.intervalSeconds, 5);

    // The binary file's question dismissed too: nothing records any more,
    // and the status line no longer says it does.
    const std::string other = dir / "inny.qmg";
    WriteFile(other, "other records");
    change = [&](RecordingSettings& s) { s.binaryFileName = other; };
    boxes.answers = { MessageBox::Result::Cancelled };
    control.OnRecordingSettings();
    EXPECT_EQ(boxes.shown.size(), 2U);
    EXPECT_EQ(ReadFile(other), "other records");
    EXPECT_EQ(Read(dir / "pomiary.qmg"), binary);
    EXPECT_FALSE(control.binaryOpen());
    EXPECT_EQ(state.settings.binaryEnabled, 0);
    EXPECT_FALSE(state.recording());
    EXPECT_FALSE(window.timers().isRunning(ids::TIMER_RECORD));
}

TEST_F(Recording, AReportThatWillNotReopenLeavesTheBinaryFileAndIntervalTellingWhatRecords)
{
    control.OnTimer(ids::TIMER_RECORD_START);
    const std::string oldBinary = state.settings.binaryFileName;
    const std::string newBinary = dir / "nowe.qmg";
    std::string binary = Read(oldBinary);
    int runs = 0;
    RecordingSettings shownAgain;
    std::function<bool(RecordingSettings&)> again;
    control.SetSettingsDialog([&](QWidget*, RecordingSettings& s, std::string&) {
        if (++runs % 2 == 0) {
            shownAgain = s;
            return again(s);
        }
        s.reportEnabled = 1;
        s.reportFileName = dir / "no-such-folder/raport.txt";
        s.binaryFileName = newBinary;
        s.intervalSeconds = 5;
        return true;
    });

    // The dialog comes back with the values entered; cancelled, the binary
    // file records on where it did, and the settings say so.
    again = [](RecordingSettings&) { return false; };
    control.OnRecordingSettings();
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(boxes.count(kReportUnavailable), 1);
    EXPECT_EQ(shownAgain.binaryFileName, newBinary);
    EXPECT_EQ(shownAgain.intervalSeconds, 5);
    EXPECT_EQ(state.settings.binaryFileName, oldBinary);
    EXPECT_EQ(state.settings.reportEnabled, 0);
    EXPECT_EQ(state.settings.intervalSeconds, 60);
    EXPECT_EQ(window.timers().PeriodMs(ids::TIMER_RECORD), 60000U);
    control.OnTimer(ids::TIMER_RECORD);
    binary += record();
    EXPECT_EQ(Read(oldBinary), binary);
    EXPECT_FALSE(std::filesystem::exists(newBinary));

    // Confirmed again with a report that opens: the binary file moves too.
    again = [&](RecordingSettings& s) {
        s.reportFileName = dir / "raport2.txt";
        return true;
    };
    control.OnRecordingSettings();
    EXPECT_EQ(runs, 4);
    EXPECT_EQ(Read(newBinary), record());
    EXPECT_EQ(Read(oldBinary), binary) << "the old binary file still records";
    EXPECT_EQ(control.recordedFile(), newBinary);
    EXPECT_EQ(state.settings.binaryFileName, newBinary);
    EXPECT_EQ(window.timers().PeriodMs(ids::TIMER_RECORD), 5000U);
}
