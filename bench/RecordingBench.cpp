// What one recorded row costs on a disk, and how long a recording tick holds
// up the window when the disk is slow: writing on the window's thread (as the
// program did) against the writer thread. Each write of the slow disk sleeps
// first, then writes and flushes for real. Prints figures; run offscreen:
//   QT_QPA_PLATFORM=offscreen build/bench/qm482_recording_bench [folder] [rows] [slow ms]
#include "platform/WindowTimers.h"
#include "recording/BinaryRecord.h"
#include "recording/RecordingControl.h"
#include "recording/RecordingFile.h"
#include "recording/ReportFormat.h"
#include "resources/CommandIds.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

class BenchWindow : public RecordingHost {
public:
    Readings currentReadings() const override
    {
        return { 1234, { 21.5, true }, { 45.2, true }, { 1013.2, true } };
    }
    void UpdateStatusLine() override { }
    void EnableRecordingCommand() override { }
    WindowTimers& timers() override { return windowTimers; }
    QWidget* window() override { return nullptr; }

    WindowTimers windowTimers { [](unsigned) {} };
};

double at(const std::vector<double>& sorted, double q)
{
    return sorted[static_cast<std::size_t>(q * static_cast<double>(sorted.size() - 1))];
}

void printSpread(const char* what, std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    std::printf("%-44s median %8.3f ms  p10 %8.3f  p90 %8.3f  min %8.3f  max %8.3f  (n=%zu)\n",
        what, at(ms, 0.5), at(ms, 0.1), at(ms, 0.9), ms.front(), ms.back(), ms.size());
}

std::unique_ptr<RecordingFile> openEmpty(const std::string& path)
{
    ::unlink(path.c_str());
    bool existed = false;
    int error = 0;
    auto file = RecordingFile::Open(path, existed, error);
    if (file == nullptr) {
        std::fprintf(stderr, "cannot open %s\n", path.c_str());
        std::exit(1);
    }
    return file;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const std::string folder = argc > 1 ? argv[1] : ".";
    const int rows = argc > 2 ? std::atoi(argv[2]) : 200;
    const int slowMs = argc > 3 ? std::atoi(argv[3]) : 1000;
    const std::string reportPath = folder + "/qm482-bench-raport.txt";
    const std::string binaryPath = folder + "/qm482-bench-pomiary.qmg";
    BenchWindow window;
    RecordingSettings settings;
    int columns = -1;
    LocalTime now { 2025, 1, 1, 0, 0, 0 };

    // One row and one record, each one write and fdatasync, on this disk.
    {
        auto report = openEmpty(reportPath);
        auto binary = openEmpty(binaryPath);
        std::vector<double> ms;
        for (int i = 0; i < rows; ++i) {
            now.second = i % 60;
            const std::string row = report::Row(settings, now, window.currentReadings(), columns);
            const std::string record = qmg::Record(now, window.currentReadings());
            QElapsedTimer t;
            t.start();
            int error = 0;
            if (!report->Append(row, error) || !binary->Append(record, error))
                std::fprintf(stderr, "write failed: %d\n", error);
            ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        }
        std::printf("folder %s\n", folder.c_str());
        printSpread("row + record, write + fdatasync each", ms);
    }

    const auto slow = [slowMs](RecordingFile& file, std::string_view bytes, int& error) {
        std::this_thread::sleep_for(std::chrono::milliseconds(slowMs));
        return file.Append(bytes, error);
    };
    constexpr int kTicks = 3;
    std::printf("slow disk: every write waits %d ms first\n", slowMs);

    // Before: the tick writes on the window's thread.
    {
        auto report = openEmpty(reportPath);
        auto binary = openEmpty(binaryPath);
        std::vector<double> ms;
        for (int i = 0; i < kTicks; ++i) {
            QElapsedTimer t;
            t.start();
            int error = 0;
            slow(*report, report::Row(settings, now, window.currentReadings(), columns), error);
            slow(*binary, qmg::Record(now, window.currentReadings()), error);
            ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        }
        printSpread("tick on the window's thread: stall", ms);
    }

    // After: the tick queues, the writer thread writes; a 20 ms timer shows
    // how long the window's event loop ever stood still.
    {
        ::unlink(reportPath.c_str());
        ::unlink(binaryPath.c_str());
        RecordingState state;
        state.settings.reportFileName = reportPath;
        state.settings.binaryFileName = binaryPath;
        state.settings.reportEnabled = 1;
        state.settings.binaryEnabled = 1;
        RecordingControl control(state, window);
        control.SetAppend(slow);
        QElapsedTimer clock;
        qint64 last = 0;
        qint64 longestGap = 0;
        QTimer pulse;
        QObject::connect(&pulse, &QTimer::timeout, [&] {
            longestGap = std::max(longestGap, clock.elapsed() - last);
            last = clock.elapsed();
        });
        clock.start();
        pulse.start(20);
        std::vector<double> ms;
        for (int i = 0; i < kTicks; ++i) {
            QElapsedTimer t;
            t.start();
            control.OnTimer(i == 0 ? ids::TIMER_RECORD_START : ids::TIMER_RECORD);
            ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        }
        const bool done = control.WaitForWrites(std::chrono::milliseconds(kTicks * 4 * slowMs));
        printSpread("tick with the writer thread: stall", ms);
        std::printf("%-44s %lld ms over %lld ms (20 ms timer), rows all written: %s\n",
            "longest stall of the event loop", static_cast<long long>(longestGap),
            static_cast<long long>(clock.elapsed()), done ? "yes" : "no");
    }
    ::unlink(reportPath.c_str());
    ::unlink(binaryPath.c_str());
    return 0;
}
