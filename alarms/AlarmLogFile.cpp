#include "alarms/AlarmLogFile.h"

#include "recording/RecordingFile.h"
#include "resources/AlarmTexts.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

AlarmLogFile::AlarmLogFile(Report report, std::size_t limit)
    : report_(std::move(report))
    , writer_([this](FileWriter::Key key, int error) { OnWritten(key, error); }, limit)
{
}

AlarmLogFile::~AlarmLogFile()
{
    writer_.Shutdown(kExitWait);
}

void AlarmLogFile::SetPath(const std::string& path)
{
    if (path == path_)
        return;
    if (key_ != 0)
        writer_.Close(key_);
    key_ = 0;
    path_ = path;
    refused_ = false;
    // Files the writer has let go are not asked about again. The writer's
    // lock is never taken under ours: its reports take ours under its own.
    std::vector<FileWriter::Key> gone;
    {
        const std::lock_guard lock(mutex_);
        for (const auto& [key, name] : paths_)
            gone.push_back(key);
    }
    std::erase_if(gone, [this](FileWriter::Key key) { return writer_.Holds(key); });
    if (!path_.empty()) {
        key_ = writer_.Attach(path_, [path = path_](int& error) {
            bool existed = false;
            return RecordingFile::Open(
                path, existed, error, 0644, RecordingFile::Sharing::Appenders);
        });
    }
    const std::lock_guard lock(mutex_);
    for (const FileWriter::Key key : gone)
        paths_.erase(key);
    if (key_ != 0)
        paths_[key_] = path_;
}

void AlarmLogFile::Write(const AlarmLogEntry& entry)
{
    if (key_ == 0)
        return;
    if (writer_.Append(key_, FormatAlarmLogLine(entry))) {
        refused_ = false;
        return;
    }
    // A disk stalled for so long that the queue is full: said once.
    if (!refused_) {
        std::fprintf(stderr, texts::alarm::kLogWriteFailed, path_.c_str(), std::strerror(ENOBUFS));
        std::fputc('\n', stderr);
    }
    refused_ = true;
}

std::size_t AlarmLogFile::pending() const
{
    return key_ == 0 ? 0 : writer_.Pending(key_);
}

void AlarmLogFile::OnWritten(FileWriter::Key key, int error)
{
    if (!report_)
        return;
    std::string path;
    {
        const std::lock_guard lock(mutex_);
        const auto it = paths_.find(key);
        if (it == paths_.end())
            return;
        path = it->second;
    }
    report_(path, error);
}
