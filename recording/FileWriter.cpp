#include "recording/FileWriter.h"

#include "recording/RecordingFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

FileWriter::FileWriter(Report report, std::size_t limit)
    : shared_(std::make_shared<Shared>())
    , limit_(std::max<std::size_t>(limit, 1))
{
    shared_->report = std::move(report);
    thread_ = std::thread([shared = shared_] { Run(shared); });
}

FileWriter::~FileWriter()
{
    Shutdown(std::chrono::milliseconds(0));
}

void FileWriter::SetAppend(AppendFn append)
{
    const std::lock_guard lock(shared_->mutex);
    shared_->append = std::move(append);
}

FileWriter::Key FileWriter::Attach(std::unique_ptr<RecordingFile> file)
{
    auto queue = std::make_shared<Queue>();
    queue->key = ++lastKey_;
    queue->path = file->path();
    queue->file = std::move(file);
    const std::lock_guard lock(shared_->mutex);
    shared_->queues.push_back(std::move(queue));
    return lastKey_;
}

FileWriter::Key FileWriter::Attach(std::string path, OpenFn open)
{
    auto queue = std::make_shared<Queue>();
    queue->key = ++lastKey_;
    queue->path = std::move(path);
    queue->open = std::move(open);
    const std::lock_guard lock(shared_->mutex);
    shared_->queues.push_back(std::move(queue));
    return lastKey_;
}

FileWriter::Queue* FileWriter::Find(Key key) const
{
    for (const auto& q : shared_->queues) {
        if (q->key == key)
            return q.get();
    }
    return nullptr;
}

bool FileWriter::Append(Key key, std::string bytes)
{
    const std::lock_guard lock(shared_->mutex);
    Queue* q = Find(key);
    if (q == nullptr || q->closed)
        return false;
    // A refused row still lets a held one try again: the disk may be back.
    q->held = false;
    const bool room = q->rows.size() + (q->busy ? 1 : 0) < limit_;
    if (room)
        q->rows.push_back(std::move(bytes));
    shared_->wake.notify_all();
    return room;
}

void FileWriter::Close(Key key)
{
    std::shared_ptr<Queue> gone;
    {
        const std::lock_guard lock(shared_->mutex);
        auto& queues = shared_->queues;
        const auto it = std::find_if(
            queues.begin(), queues.end(), [key](const auto& q) { return q->key == key; });
        if (it == queues.end())
            return;
        Queue& q = **it;
        q.closed = true;
        q.held = false;
        if (q.rows.empty() && !q.busy) {
            gone = std::move(*it);
            queues.erase(it);
        }
        shared_->wake.notify_all();
    }
    // Closed outside the lock: the file's last data was flushed with its last row.
}

bool FileWriter::Holds(Key key) const
{
    const std::lock_guard lock(shared_->mutex);
    return Find(key) != nullptr;
}

std::size_t FileWriter::Pending(Key key) const
{
    const std::lock_guard lock(shared_->mutex);
    const Queue* q = Find(key);
    return q == nullptr ? 0 : q->rows.size() + (q->busy ? 1 : 0);
}

bool FileWriter::Busy(const Shared& shared)
{
    return std::any_of(shared.queues.begin(), shared.queues.end(),
        [](const auto& q) { return q->busy || (!q->held && !q->rows.empty()); });
}

bool FileWriter::WaitIdle(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(shared_->mutex);
    return shared_->idle.wait_for(lock, timeout, [this] { return !Busy(*shared_); });
}

std::size_t FileWriter::Shutdown(std::chrono::milliseconds timeout)
{
    if (!thread_.joinable())
        return 0;
    std::unique_lock lock(shared_->mutex);
    // Whoever hears of outcomes is going away; the rows still go to their files.
    shared_->report = nullptr;
    shared_->stop = true;
    for (const auto& q : shared_->queues) {
        q->closed = true;
        q->held = false;
    }
    shared_->wake.notify_all();
    const bool done
        = shared_->idle.wait_for(lock, timeout, [this] { return shared_->queues.empty(); });
    std::size_t left = 0;
    for (const auto& q : shared_->queues) {
        left += q->rows.size() + (q->busy ? 1 : 0);
        q->rows.clear();
    }
    lock.unlock();
    if (done) {
        thread_.join();
    } else {
        // Stuck in the disk: waiting on would hang the program's exit. The
        // thread owns what it uses and ends with the process.
        thread_.detach();
    }
    return left;
}

std::shared_ptr<FileWriter::Queue> FileWriter::NextWork(Shared& shared)
{
    const std::size_t n = shared.queues.size();
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t at = (shared.next + i) % n;
        const auto& q = shared.queues[at];
        if (!q->busy && !q->held && !q->rows.empty()) {
            shared.next = at + 1;
            return q;
        }
    }
    return nullptr;
}

void FileWriter::Run(const std::shared_ptr<Shared>& shared)
{
    std::unique_lock lock(shared->mutex);
    for (;;) {
        std::shared_ptr<Queue> q;
        shared->wake.wait(lock, [&] {
            q = NextWork(*shared);
            return q != nullptr || shared->stop;
        });
        if (q == nullptr) {
            // Stopping, and nothing left that could be written.
            shared->queues.clear();
            shared->idle.notify_all();
            return;
        }
        q->busy = true;
        std::string row = std::move(q->rows.front());
        q->rows.pop_front();
        const AppendFn append = shared->append;
        lock.unlock();

        // Only this thread touches the file, so it opens outside the lock.
        int error = 0;
        if (!q->file && q->open)
            q->file = q->open(error);
        bool ok = false;
        if (q->file)
            ok = append ? append(*q->file, row, error) : q->file->Append(row, error);
        else if (error == 0)
            error = ENOENT;

        lock.lock();
        q->busy = false;
        if (!ok && q->closed) {
            // Nobody will ask for these again: say what is lost rather than
            // leave a gap in the middle of the file.
            const std::size_t lost = q->rows.size() + 1;
            q->rows.clear();
            std::fprintf(stderr, "qm482: %zu rows not written to %s: %s\n", lost, q->path.c_str(),
                std::strerror(error));
        } else if (!ok) {
            q->rows.push_front(std::move(row));
            q->held = true;
        }
        const Key key = q->key;
        if (shared->report)
            shared->report(key, ok ? 0 : error);
        if (q->closed && q->rows.empty()) {
            // The file closes (and its lock goes) outside the lock, and only
            // then does the queue go: until Holds() says so, the same file
            // cannot be opened again.
            std::shared_ptr<RecordingFile> file = std::move(q->file);
            lock.unlock();
            file.reset();
            lock.lock();
            auto& queues = shared->queues;
            queues.erase(std::remove(queues.begin(), queues.end(), q), queues.end());
        }
        shared->idle.notify_all();
    }
}
