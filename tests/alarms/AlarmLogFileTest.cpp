#include "alarms/AlarmLogFile.h"
#include "recording/RecordingFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sstream>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr auto kWait = std::chrono::seconds(10);

AlarmLogEntry Entry(int n, AlarmEventType type = AlarmEventType::Begin)
{
    AlarmLogEntry e;
    e.time = { 2026, 12, 9, 8, n / 60, n % 60 };
    e.serialNumber = 4660;
    e.kind = AlarmKind::TemperatureHigh;
    e.type = type;
    e.value = 25.0 + n / 100.0;
    e.limit = 25.0;
    return e;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line + "\n");
    return out;
}

// What the writer's thread reported, as the window would collect it.
struct Reports {
    std::mutex mutex;
    std::vector<std::pair<std::string, int>> seen;
    AlarmLogFile::Report fn()
    {
        return [this](const std::string& path, int error) {
            const std::lock_guard lock(mutex);
            seen.emplace_back(path, error);
        };
    }
    std::pair<std::string, int> last()
    {
        const std::lock_guard lock(mutex);
        return seen.empty() ? std::pair<std::string, int> {} : seen.back();
    }
};

} // namespace

TEST(AlarmLogFile, AppendsWholeLinesInOrderToANewFileReadersMayLock)
{
    TempDir dir;
    const std::string path = dir / "alarmy.log";
    const mode_t saved = ::umask(0);
    Reports reports;
    AlarmLogFile log(reports.fn());
    log.SetPath(path);
    std::string expected;
    for (int n = 0; n < 50; ++n) {
        const auto type = n % 3 == 0 ? AlarmEventType::Begin
            : n % 3 == 1             ? AlarmEventType::Acknowledge
                                     : AlarmEventType::End;
        log.Write(Entry(n, type));
        expected += FormatAlarmLogLine(Entry(n, type));
    }
    ASSERT_TRUE(log.WaitIdle(kWait));
    ::umask(saved);
    EXPECT_EQ(ReadFile(path), expected);
    EXPECT_EQ(reports.last(), std::make_pair(path, 0));
    struct stat st { };
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644U);

    // Between lines nothing is locked: a reader's shared lock is granted.
    const int reader = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    EXPECT_EQ(::flock(reader, LOCK_SH | LOCK_NB), 0) << std::strerror(errno);
    ::close(reader);

    // An existing log is appended to, never emptied.
    log.SetPath("");
    log.Write(Entry(99)); // no log: nothing anywhere
    AlarmLogFile again(nullptr);
    again.SetPath(path);
    again.Write(Entry(50));
    ASSERT_TRUE(again.WaitIdle(kWait));
    EXPECT_EQ(ReadFile(path), expected + FormatAlarmLogLine(Entry(50)));
}

TEST(AlarmLogFile, TwoInstancesOnOneLogInterleaveWholeLines)
{
    TempDir dir;
    const std::string path = dir / "alarmy.log";
    AlarmLogFile first(nullptr);
    AlarmLogFile second(nullptr);
    first.SetPath(path);
    second.SetPath(path);
    for (int n = 0; n < 200; ++n) {
        first.Write(Entry(n));
        AlarmLogEntry other = Entry(n);
        other.serialNumber = 5000;
        second.Write(other);
    }
    ASSERT_TRUE(first.WaitIdle(kWait));
    ASSERT_TRUE(second.WaitIdle(kWait));
    const auto lines = Lines(ReadFile(path));
    ASSERT_EQ(lines.size(), 400U);
    int firstNext = 0;
    int secondNext = 0;
    for (const std::string& line : lines) {
        const auto entry = ParseAlarmLogLine(line);
        ASSERT_TRUE(entry) << "torn line: " << line;
        int& next = entry->serialNumber == 4660 ? firstNext : secondNext;
        AlarmLogEntry want = Entry(next++);
        want.serialNumber = entry->serialNumber;
        EXPECT_EQ(line, FormatAlarmLogLine(want)) << "out of order";
    }
}

TEST(AlarmLogFile, AFullDiskTearsNoLineAndLosesNoneOnceThereIsRoom)
{
    TempDir dir;
    const std::string path = dir / "alarmy.log";
    Reports reports;
    AlarmLogFile log(reports.fn());
    log.SetPath(path);
    log.Write(Entry(0));
    ASSERT_TRUE(log.WaitIdle(kWait));
    const std::string first = ReadFile(path);

    // A disk that fills up: a write past the size limit fails part-way.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit tight = saved;
    tight.rlim_cur = first.size() + 10;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
    log.Write(Entry(1));
    log.Write(Entry(2));
    const bool idle = log.WaitIdle(kWait);
    const std::string whileFull = ReadFile(path);
    const auto failed = reports.last();
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);
    ASSERT_TRUE(idle);
    EXPECT_EQ(whileFull, first) << "a torn line was left";
    EXPECT_EQ(failed.first, path);
    EXPECT_EQ(failed.second, EFBIG);
    EXPECT_EQ(log.pending(), 2U) << "the failed lines are kept";

    // Room again: the next line brings the waiting ones first, in order.
    log.Write(Entry(3));
    ASSERT_TRUE(log.WaitIdle(kWait));
    EXPECT_EQ(ReadFile(path),
        first + FormatAlarmLogLine(Entry(1)) + FormatAlarmLogLine(Entry(2))
            + FormatAlarmLogLine(Entry(3)));
    EXPECT_EQ(reports.last(), std::make_pair(path, 0));
}

TEST(AlarmLogFile, AFileThatWillNotOpenIsReportedAndTriedAgainAtTheNextLine)
{
    TempDir dir;
    struct Case {
        const char* name;
        std::string path;
        int error;
    };
    const std::vector<Case> cases {
        { "no such folder", dir / "brak/alarmy.log", ENOENT },
        { "a folder", dir.path(), EISDIR },
    };
    for (const Case& c : cases) {
        Reports reports;
        AlarmLogFile log(reports.fn());
        log.SetPath(c.path);
        log.Write(Entry(1));
        ASSERT_TRUE(log.WaitIdle(kWait)) << c.name;
        EXPECT_EQ(reports.last(), std::make_pair(c.path, c.error)) << c.name;
        EXPECT_EQ(log.pending(), 1U) << c.name;
    }

    // The folder appears: the held line and the new one both arrive.
    Reports reports;
    AlarmLogFile log(reports.fn());
    const std::string path = dir / "pozniej/alarmy.log";
    log.SetPath(path);
    log.Write(Entry(1));
    ASSERT_TRUE(log.WaitIdle(kWait));
    ASSERT_EQ(::mkdir((dir / "pozniej").c_str(), 0755), 0);
    log.Write(Entry(2));
    ASSERT_TRUE(log.WaitIdle(kWait));
    EXPECT_EQ(ReadFile(path), FormatAlarmLogLine(Entry(1)) + FormatAlarmLogLine(Entry(2)));
    EXPECT_EQ(reports.last(), std::make_pair(path, 0));
}

TEST(AlarmLogFile, ASlowDiskHoldsUpNoWriterAndAChangedPathKeepsEachLineWhereItWasMeant)
{
    TempDir dir;
    std::atomic<bool> slow { true };
    AlarmLogFile log(nullptr);
    log.SetAppend([&slow](RecordingFile& file, std::string_view bytes, int& error) {
        while (slow)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return file.Append(bytes, error);
    });
    log.SetPath(dir / "a.log");
    const auto start = std::chrono::steady_clock::now();
    log.Write(Entry(1));
    log.Write(Entry(2));
    log.SetPath(dir / "b.log");
    log.Write(Entry(3));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
    slow = false;
    ASSERT_TRUE(log.WaitIdle(kWait));
    EXPECT_EQ(ReadFile(dir / "a.log"), FormatAlarmLogLine(Entry(1)) + FormatAlarmLogLine(Entry(2)));
    EXPECT_EQ(ReadFile(dir / "b.log"), FormatAlarmLogLine(Entry(3)));
}
