#include "recording/RecordingFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kFlags = O_RDWR | O_APPEND | O_CLOEXEC | O_NOCTTY;

// Creates the file or opens the one that is there, and says which: a
// create that finds the file opens it instead, and a file removed in between
// is created after all.
int OpenOrCreate(const std::string& path, bool& existed, mode_t mode)
{
    for (int attempt = 0; attempt < 4; ++attempt) {
        int fd = ::open(path.c_str(), kFlags | O_CREAT | O_EXCL, mode);
        if (fd >= 0) {
            existed = false;
            return fd;
        }
        if (errno != EEXIST)
            return -1;
        fd = ::open(path.c_str(), kFlags | O_NONBLOCK);
        if (fd >= 0) {
            existed = true;
            return fd;
        }
        if (errno != ENOENT)
            return -1;
    }
    return -1;
}

} // namespace

RecordingFile::RecordingFile(std::string path, int fd, Sharing sharing)
    : path_(std::move(path))
    , fd_(fd)
    , sharing_(sharing)
{
}

RecordingFile::~RecordingFile()
{
    ::close(fd_);
}

std::unique_ptr<RecordingFile> RecordingFile::Open(
    const std::string& path, bool& existed, int& error, unsigned mode, Sharing sharing)
{
    existed = false;
    error = 0;
    if (path.empty()) {
        error = ENOENT;
        return nullptr;
    }
    const int fd = OpenOrCreate(path, existed, static_cast<mode_t>(mode));
    if (fd < 0) {
        error = errno;
        return nullptr;
    }
    // Only a plain file records: a FIFO or a device would block or swallow rows.
    struct stat st { };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        return nullptr;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    // A second writer (another instance of the program) is kept out.
    if (sharing == Sharing::OneWriter && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<RecordingFile>(new RecordingFile(path, fd, sharing));
}

bool RecordingFile::Truncate(int& error)
{
    if (::ftruncate(fd_, 0) != 0 || ::fdatasync(fd_) != 0) {
        error = errno;
        return false;
    }
    return true;
}

bool RecordingFile::Append(std::string_view bytes, int& error)
{
    if (sharing_ == Sharing::OneWriter)
        return AppendLocked(bytes, error);
    // Held only for one row: another writer's row can neither land between
    // our length and our write nor be cut off with a failed row of ours.
    int locked = 0;
    do
        locked = ::flock(fd_, LOCK_EX);
    while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        error = errno;
        return false;
    }
    const bool ok = AppendLocked(bytes, error);
    ::flock(fd_, LOCK_UN);
    return ok;
}

bool RecordingFile::AppendLocked(std::string_view bytes, int& error)
{
    struct stat st { };
    if (::fstat(fd_, &st) != 0) {
        error = errno;
        return false;
    }
    const off_t before = st.st_size;
    std::string_view rest = bytes;
    while (!rest.empty()) {
        const ssize_t n = ::write(fd_, rest.data(), rest.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : ENOSPC;
            break;
        }
        rest.remove_prefix(static_cast<std::size_t>(n));
    }
    if (rest.empty() && ::fdatasync(fd_) == 0)
        return true;
    if (rest.empty())
        error = errno;
    // Half a row would be a broken line for every reader: cut it off.
    if (::ftruncate(fd_, before) == 0)
        ::fdatasync(fd_);
    return false;
}
