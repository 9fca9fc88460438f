#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class RecordingFile;

// Writes the rows and records of the recording files on a thread of its
// own, so that a slow or stalled disk (a USB stick, a network share, a dying
// disk) never holds up the window. Each file has its own queue, written in
// order, each row in one RecordingFile::Append (one write, flushed, cut back
// on failure). A row that fails stays at the head of its queue and waits:
// the file's next Append retries it first, so a file never gets a later row
// before an earlier one, and a full disk loses no row once it has room again.
// A queue holds at most `limit` rows; beyond that a row is refused, counted
// and not kept.
class FileWriter {
public:
    using Key = std::uint64_t;
    // How one row is put into its file; tests slow it down.
    using AppendFn = std::function<bool(RecordingFile&, std::string_view, int& error)>;
    // Called on the writer's thread after each attempt: the file's key and 0
    // or the errno of the failure. Must not block; it is never called again
    // once Shutdown has begun.
    using Report = std::function<void(Key key, int error)>;
    // Opens a file on the writer's thread; nullptr and an errno on failure.
    using OpenFn = std::function<std::unique_ptr<RecordingFile>(int& error)>;

    static constexpr std::size_t kDefaultLimit = 65536;

    explicit FileWriter(Report report, std::size_t limit = kDefaultLimit);
    ~FileWriter();
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;

    void SetAppend(AppendFn append);

    // Hands a file to the writer; from now on only the writer's thread
    // touches it.
    Key Attach(std::unique_ptr<RecordingFile> file);
    // A file opened by the writer's thread before its first row, so that a
    // slow disk holds up no caller. An open that fails is a failed row: it is
    // reported, the row is held, and the next Append tries the open again.
    Key Attach(std::string path, OpenFn open);
    // Queues one row (and retries the failed one before it). false when the
    // queue is full: the row is not kept.
    bool Append(Key key, std::string bytes);
    // The file is let go: what is queued is still written to it, in order,
    // each failed row is dropped rather than held, and the file is closed
    // (its lock released) after its last row.
    void Close(Key key);
    // True while the file is open here (queued rows, or not yet closed).
    bool Holds(Key key) const;
    // Rows of the file not yet written, the one being written included.
    std::size_t Pending(Key key) const;
    // Waits until every queue is written out or holds a failed row, at most
    // `timeout`.
    bool WaitIdle(std::chrono::milliseconds timeout);

    // Ends the thread: every file is closed as above, at most `timeout` is
    // spent writing; returns the rows still queued then, which are not
    // written. A thread stuck in the disk past that is left to end with
    // the process.
    std::size_t Shutdown(std::chrono::milliseconds timeout);

private:
    struct Queue {
        Key key = 0;
        std::shared_ptr<RecordingFile> file; // null until `open` succeeds
        OpenFn open;
        std::string path;
        std::deque<std::string> rows;
        bool held = false; // the head failed; waits for the next Append
        bool closed = false;
        bool busy = false; // the head is being written
    };
    struct Shared {
        mutable std::mutex mutex;
        std::condition_variable wake; // work for the thread
        std::condition_variable idle; // a row done
        std::vector<std::shared_ptr<Queue>> queues;
        Report report;
        AppendFn append;
        bool stop = false;
        std::size_t next = 0; // round robin over the queues
    };

    static void Run(const std::shared_ptr<Shared>& shared);
    static std::shared_ptr<Queue> NextWork(Shared& shared);
    static bool Busy(const Shared& shared);
    // With the mutex held.
    Queue* Find(Key key) const;

    std::shared_ptr<Shared> shared_;
    std::size_t limit_;
    Key lastKey_ = 0;
    std::thread thread_;
};
