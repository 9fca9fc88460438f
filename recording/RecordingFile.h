#pragma once

#include <memory>
#include <string>
#include <string_view>

// One recording file (the report or the binary file). Opened read-write and
// created when missing, never truncated unless asked; an exclusive advisory
// lock keeps a second writer out while other programs read it as it grows.
// Each Append is whole or nothing: one write, flushed to the disk, and on a
// failure the file is cut back to its length before, so it only ever holds
// whole rows and records.
class RecordingFile {
public:
    enum class Sharing {
        OneWriter, // an exclusive lock for as long as the file is open
        Appenders, // writers take turns: a short exclusive lock around each Append
    };

    ~RecordingFile();
    RecordingFile(const RecordingFile&) = delete;
    RecordingFile& operator=(const RecordingFile&) = delete;

    // nullptr when the file cannot be opened or another program holds its
    // lock; `error` then says why (an errno value). `existed` tells whether
    // the file was there before, as the open itself found it. A new file
    // gets `mode`, less the umask.
    static std::unique_ptr<RecordingFile> Open(const std::string& path, bool& existed, int& error,
        unsigned mode = 0666, Sharing sharing = Sharing::OneWriter);

    // Empties the file (the user chose to overwrite it).
    bool Truncate(int& error);
    bool Append(std::string_view bytes, int& error);

    const std::string& path() const { return path_; }

private:
    RecordingFile(std::string path, int fd, Sharing sharing);
    bool AppendLocked(std::string_view bytes, int& error);

    std::string path_;
    int fd_;
    Sharing sharing_;
};
