#include "recording/RecordingControl.h"
#include "platform/WindowTimers.h"
#include "recording/BinaryRecord.h"
#include "recording/RecordingFile.h"
#include "recording/ReportFormat.h"
#include "settings/TempDir.h"
#include "support/ScriptedMessageBox.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <sys/resource.h>

namespace {

const QString kReportUnavailable
    = QStringLiteral("Wybrany plik rejestracji wyników pomiaru jest niedostępny.");

// The window as the recording control sees it.
class FakeWindow : public RecordingHost {
public:
    Readings CurrentReadings() const override { return readings; }
    void UpdateStatusLine() override { ++statusUpdates; }
    void EnableRecordingCommand() override { commandEnabled = true; }
    WindowTimers& Timers() override { return timers; }
    QWidget* Window() override { return nullptr; }

    Readings readings;
    int statusUpdates = 0;
    bool commandEnabled = false;
    WindowTimers timers { [](unsigned) {} };
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
    window.timers.SetTimer(RecordingState::TIMER_RECORD_START, 10000);
    control.OnTimer(RecordingState::TIMER_RECORD_START);

    int columns = -1;
    std::string report = "earlier run\r\n" + row(columns);
    std::string binary = record();
    EXPECT_EQ(ReadFile(state.settings.reportFileName), report) << "no header, or not appended";
    EXPECT_EQ(ReadFile(state.settings.binaryFileName), binary);
    EXPECT_TRUE(boxes.shown.empty()) << "the start asked or warned";
    EXPECT_FALSE(window.timers.IsRunning(RecordingState::TIMER_RECORD_START));
    EXPECT_TRUE(window.timers.IsRunning(RecordingState::TIMER_RECORD));
    EXPECT_EQ(state.recordTimer, RecordingState::TIMER_RECORD);
    EXPECT_TRUE(state.recording());
    EXPECT_GT(window.statusUpdates, 0);
    EXPECT_TRUE(window.commandEnabled);

    // A tick: the link is down now; the row says so, the record is bare.
    now.minute = 31;
    window.readings.temperature.valid = false;
    window.readings.pressure.valid = false;
    control.OnTimer(RecordingState::TIMER_RECORD);
    report += row(columns);
    binary += record();
    EXPECT_EQ(ReadFile(state.settings.reportFileName), report);
    EXPECT_EQ(ReadFile(state.settings.binaryFileName), binary);
}

TEST_F(Recording, EmptyNameIsSkippedAndAFileThatCannotOpenSaysSoOnce)
{
    state.settings.binaryFileName.clear();
    state.settings.reportFileName = dir / "no-such-folder/raport.txt";
    control.OnTimer(RecordingState::TIMER_RECORD_START);
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
    control.OnTimer(RecordingState::TIMER_RECORD_START);
    EXPECT_EQ(boxes.count(QStringLiteral("Wybrany plik binarny jest niedostępny.")), 1);
    EXPECT_EQ(dialogs, 1) << "the failure did not bring up the recording settings";
    EXPECT_FALSE(control.binaryOpen());
    EXPECT_EQ(state.settings.binaryEnabled, 0);
    EXPECT_TRUE(control.reportOpen());
    EXPECT_EQ(state.settings.reportEnabled, 1);
    EXPECT_TRUE(state.recording());
}

TEST_F(Recording, AFailingFileShowsOneBoxKeepsNoHalfRowAndTheOtherFileRecords)
{
    // A disk that fills up: writes past a size limit fail part-way.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    WriteFile(state.settings.reportFileName, std::string(4000, 'x') + "\r\n");
    control.OnTimer(RecordingState::TIMER_RECORD_START);
    const std::string whole = ReadFile(state.settings.reportFileName);
    const std::size_t records = ReadFile(state.settings.binaryFileName).size();

    rlimit tight = saved;
    tight.rlim_cur = whole.size() + 10; // room for the first bytes of a row only
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
    for (int tick = 0; tick < 3; ++tick)
        control.OnTimer(RecordingState::TIMER_RECORD);
    std::size_t failureBoxes = boxes.shown.size();
    EXPECT_EQ(failureBoxes, 1U) << "one box per run of failures, not one per tick";
    if (!boxes.shown.empty()) {
        EXPECT_TRUE(boxes.shown[0].text.contains(QString::fromStdString(dir / "raport.txt")));
        EXPECT_EQ(boxes.shown[0].icon, MessageBox::Icon::Error);
    }
    EXPECT_EQ(ReadFile(state.settings.reportFileName), whole) << "a half row was left";
    EXPECT_EQ(ReadFile(state.settings.binaryFileName).size(), records * 4)
        << "the report's failure cost the binary records";
    EXPECT_TRUE(control.reportOpen());

    // The disk has room again: the next tick writes a row, without a box.
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);
    control.OnTimer(RecordingState::TIMER_RECORD);
    int columns = state.writtenColumns;
    EXPECT_EQ(ReadFile(state.settings.reportFileName), whole + row(columns));
    EXPECT_EQ(boxes.shown.size(), failureBoxes);

    // Full once more: a failure after a success is told again.
    tight.rlim_cur = ReadFile(state.settings.reportFileName).size() + 10;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
    control.OnTimer(RecordingState::TIMER_RECORD);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);
    EXPECT_EQ(boxes.shown.size(), failureBoxes + 1);
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
    control.OnTimer(RecordingState::TIMER_RECORD_START);
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
    control.OnTimer(RecordingState::TIMER_RECORD_START);
    int columns = -1;
    std::string report = row(columns);
    std::string binary = record();
    ASSERT_EQ(ReadFile(state.settings.reportFileName), report);

    std::function<void(RecordingSettings&, std::string&)> change;
    bool confirm = false;
    control.SetSettingsDialog([&](QWidget*, RecordingSettings& s, std::string& comment) {
        if (change)
            change(s, comment);
        return confirm;
    });
    auto files = [&] {
        return std::make_pair(
            ReadFile(state.settings.reportFileName), ReadFile(state.settings.binaryFileName));
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
    EXPECT_EQ(ReadFile(state.settings.reportFileName), report);
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
    EXPECT_EQ(ReadFile(state.settings.reportFileName), report);

    // Only the binary file off: it closes; the report and the timer go on.
    change = [](RecordingSettings& s, std::string&) { s.binaryEnabled = 0; };
    binary = ReadFile(state.settings.binaryFileName);
    control.OnRecordingSettings();
    control.OnTimer(RecordingState::TIMER_RECORD);
    report += row(columns) + row(columns);
    EXPECT_EQ(files(), std::make_pair(report, binary));
    EXPECT_FALSE(control.binaryOpen());
    EXPECT_TRUE(window.timers.IsRunning(RecordingState::TIMER_RECORD));
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
    EXPECT_EQ(ReadFile(state.settings.reportFileName), "a day of rows\r\n");
    EXPECT_FALSE(control.reportOpen());
}
