#pragma once

#include "alarms/AlarmLog.h"
#include "recording/FileWriter.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>

// The alarm log: one line per beginning, end and acknowledgement, appended
// as the report is written. Each line is one write, flushed, and cut back
// when it fails, so readers following the file only ever see whole lines.
// The file is opened and written on a thread of its own; a slow disk never
// holds up the caller. A line that fails (a full disk, a file that will not
// open) waits and is tried again, in order, before the next one. No lock is
// held between lines: readers may lock the file to read it, and another
// instance of the program may log to the same file, each line whole.
class AlarmLogFile {
public:
    // Called on the writer's thread after each attempt: the file and 0 or the
    // errno of the failure. Must not block nor call this object (post it on).
    using Report = std::function<void(const std::string& path, int error)>;

    // How long the end of the program waits for lines a slow disk has not taken.
    static constexpr std::chrono::seconds kExitWait { 5 };

    explicit AlarmLogFile(Report report, std::size_t limit = FileWriter::kDefaultLimit);
    ~AlarmLogFile();
    AlarmLogFile(const AlarmLogFile&) = delete;
    AlarmLogFile& operator=(const AlarmLogFile&) = delete;

    // Empty: no log. Another path lets the old file go once its queued lines
    // are in; a line that failed there is not carried over.
    void SetPath(const std::string& path);
    // Queued; returns at once. Nothing without a path.
    void Write(const AlarmLogEntry& entry);

    const std::string& path() const { return path_; }
    // Lines not yet in the file, the one being written included.
    std::size_t pending() const;
    // Waits until every line is written or one holds after a failure.
    bool WaitIdle(std::chrono::milliseconds timeout) { return writer_.WaitIdle(timeout); }
    // Tests slow the disk down.
    void SetAppend(FileWriter::AppendFn append) { writer_.SetAppend(std::move(append)); }

private:
    void OnWritten(FileWriter::Key key, int error);

    Report report_;
    std::string path_;
    FileWriter::Key key_ = 0;
    bool refused_ = false; // the last line found the queue full; said once
    mutable std::mutex mutex_; // guards paths_
    std::map<FileWriter::Key, std::string> paths_;
    FileWriter writer_; // last: its thread ends before the rest goes
};
