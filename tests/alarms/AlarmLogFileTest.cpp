#include "alarms/AlarmLogFile.h"
#include "recording/RecordingFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <sstream>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr auto kWait = std::chrono::seconds(10);

AlarmLogEntry Entry(int n, long serial = 4660)
{
    return { { 2026, 12, 9, 8, n / 60, n % 60 }, serial, AlarmKind::TemperatureHigh,
        static_cast<AlarmEventType>(n % 3), 25.0 + n / 100.0, 25.0 };
}

std::string Lines(int from, int to)
{
    std::string out;
    for (int n = from; n < to; ++n)
        out += FormatAlarmLogLine(Entry(n));
    return out;
}

// The latest outcome the writer's thread reported.
struct LastReport {
    std::mutex mutex;
    std::pair<std::string, int> last;
    AlarmLogFile::Report fn()
    {
        return [this](const std::string& path, int error) {
            const std::lock_guard lock(mutex);
            last = { path, error };
        };
    }
    std::pair<std::string, int> get()
    {
        const std::lock_guard lock(mutex);
        return last;
    }
};

} // namespace

TEST(AlarmLogFile, ASlowDiskHoldsUpNoCallerAndEachLineArrivesWholeInOrderWhereItWasMeant)
{
    TempDir dir;
    const mode_t umask = ::umask(0);
    std::atomic<bool> slow { true };
    AlarmLogFile log(nullptr);
    log.SetAppend([&slow](RecordingFile& file, std::string_view bytes, int& error) {
        while (slow)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return file.Append(bytes, error);
    });
    const auto start = std::chrono::steady_clock::now();
    log.SetPath(dir / "a.log");
    for (int n = 0; n < 30; ++n)
        log.Write(Entry(n));
    log.SetPath(dir / "b.log");
    log.Write(Entry(30));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
    slow = false;
    ASSERT_TRUE(log.WaitIdle(kWait));
    ::umask(umask);
    EXPECT_EQ(ReadFile(dir / "a.log"), Lines(0, 30));
    EXPECT_EQ(ReadFile(dir / "b.log"), Lines(30, 31));
    struct stat st { };
    ASSERT_EQ(::stat((dir / "b.log").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644U);

    // Between lines nothing is locked: a reader's shared lock is granted.
    const int reader = ::open((dir / "b.log").c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_EQ(::flock(reader, LOCK_SH | LOCK_NB), 0);
    ::close(reader);
}

TEST(AlarmLogFile, TwoProgramsOnOneLogAppendWholeLinesEachInItsOrder)
{
    TempDir dir;
    AlarmLogFile first(nullptr);
    AlarmLogFile second(nullptr);
    first.SetPath(dir / "alarmy.log");
    second.SetPath(dir / "alarmy.log");
    for (int n = 0; n < 200; ++n) {
        first.Write(Entry(n));
        second.Write(Entry(n, 5000));
    }
    ASSERT_TRUE(first.WaitIdle(kWait) && second.WaitIdle(kWait));
    std::istringstream in(ReadFile(dir / "alarmy.log"));
    int next[2] = { 0, 0 };
    for (std::string line; std::getline(in, line);) {
        const auto entry = ParseAlarmLogLine(line);
        ASSERT_TRUE(entry) << "torn line: " << line;
        int& n = next[entry->serialNumber == 4660 ? 0 : 1];
        EXPECT_EQ(line + '\n', FormatAlarmLogLine(Entry(n++, entry->serialNumber)));
    }
    EXPECT_EQ(next[0], 200);
    EXPECT_EQ(next[1], 200);
}

TEST(AlarmLogFile, AFailureIsReportedTearsNoLineAndTheHeldLinesFollowInOrderOnceItPasses)
{
    TempDir dir;
    const std::string path = dir / "pozniej/alarmy.log";
    LastReport report;
    AlarmLogFile log(report.fn());
    log.SetPath(path);
    log.Write(Entry(0));
    ASSERT_TRUE(log.WaitIdle(kWait));
    EXPECT_EQ(report.get(), std::make_pair(path, ENOENT));
    EXPECT_EQ(log.pending(), 1U);
    // The folder appears: the held line and the new one both arrive.
    ASSERT_EQ(::mkdir((dir / "pozniej").c_str(), 0755), 0);
    log.Write(Entry(1));
    ASSERT_TRUE(log.WaitIdle(kWait));
    EXPECT_EQ(ReadFile(path), Lines(0, 2));
    EXPECT_EQ(report.get(), std::make_pair(path, 0));

    // A disk that fills up: a write past the size limit fails part-way.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit full = saved;
    full.rlim_cur = Lines(0, 2).size() + 10;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &full), 0);
    log.Write(Entry(2));
    log.Write(Entry(3));
    const bool idle = log.WaitIdle(kWait);
    const std::string whileFull = ReadFile(path);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);
    ASSERT_TRUE(idle);
    EXPECT_EQ(whileFull, Lines(0, 2)) << "a torn line was left";
    EXPECT_EQ(report.get(), std::make_pair(path, EFBIG));
    log.Write(Entry(4));
    ASSERT_TRUE(log.WaitIdle(kWait));
    EXPECT_EQ(ReadFile(path), Lines(0, 5));
    EXPECT_EQ(report.get(), std::make_pair(path, 0));

    log.SetPath(dir.path());
    log.Write(Entry(5));
    ASSERT_TRUE(log.WaitIdle(kWait));
    EXPECT_EQ(report.get(), std::make_pair(dir.path(), EISDIR));
    EXPECT_EQ(log.pending(), 1U);
}
