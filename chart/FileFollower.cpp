#include "chart/FileFollower.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

FileFollower::FileFollower(std::string path, FollowedContent& content)
    : path_(std::move(path))
    , content_(content)
{
}

FileFollower::Result FileFollower::Poll()
{
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return Result::Failed;
    struct stat st { };
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return Result::Failed;
    }
    const auto size = static_cast<std::uint64_t>(st.st_size);
    Result result = Result::Unchanged;
    if (known_ && (st.st_dev != device_ || st.st_ino != inode_ || size < content_.fed())) {
        content_.Reset();
        result = Result::Restarted;
    }
    device_ = st.st_dev;
    inode_ = st.st_ino;
    known_ = true;
    if (size > content_.fed()) {
        if (!ReadFrom(fd, content_.fed())) {
            ::close(fd);
            return Result::Failed;
        }
        if (result == Result::Unchanged)
            result = Result::Grew;
    }
    ::close(fd);
    return result;
}

bool FileFollower::ReadFrom(int fd, std::uint64_t offset)
{
    // Large pieces keep a file of hundreds of megabytes quick to open.
    constexpr std::size_t kChunk = std::size_t { 8 } << 20;
    std::vector<char> buffer(kChunk);
    for (;;) {
        const ssize_t n = ::pread(fd, buffer.data(), buffer.size(), static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        content_.Feed(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
        offset += static_cast<std::uint64_t>(n);
    }
}
