#include "settings/InstanceLock.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The holder's answer to a request it has taken.
constexpr std::string_view kAnswer = "ok\n";
// Between two tries while the holder is still starting.
constexpr auto kRetryPause = std::chrono::milliseconds(50);
// One try's wait for an answer: a holder that is ending no longer answers,
// but soon lets go of the lock.
constexpr auto kOneTry = std::chrono::seconds(1);

std::string RealPath(const std::string& path)
{
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : std::string();
}

std::string Absolute(const std::string& path)
{
    if (!path.empty() && path.front() == '/')
        return path;
    std::vector<char> cwd(4096);
    if (::getcwd(cwd.data(), cwd.size()) == nullptr)
        return path;
    return std::string(cwd.data()) + "/" + path;
}

int MillisecondsUntil(Clock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, 60'000));
}

bool FillAddress(const std::string& path, sockaddr_un& address)
{
    address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path))
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

} // namespace

InstanceLock::InstanceLock(const std::string& directory, std::string_view canonicalPath)
{
    if (directory.empty())
        return;
    std::string base = directory + "/qm482-" + Key(canonicalPath);
    lockPath_ = base + ".lock";
    socketPath_ = base + ".socket";
}

InstanceLock::~InstanceLock()
{
    if (listener_ >= 0) {
        ::close(listener_);
        // Still under the lock: no other instance can have bound this name.
        ::unlink(socketPath_.c_str());
    }
    // The lock file stays: removing it would let a third start lock a new
    // file while a second still waits on the old one.
    if (lockFd_ >= 0)
        ::close(lockFd_);
}

InstanceLock::Outcome InstanceLock::Acquire(
    std::string_view request, std::chrono::milliseconds patience)
{
    if (lockPath_.empty())
        return Outcome::NoPlace;
    const Clock::time_point deadline = Clock::now() + patience;
    for (;;) {
        if (lockFd_ < 0) {
            lockFd_ = ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
            if (lockFd_ < 0) {
                std::fprintf(
                    stderr, "qm482: cannot open %s: %s\n", lockPath_.c_str(), std::strerror(errno));
                return Outcome::NoPlace;
            }
        }
        if (TryLock()) {
            if (!Listen())
                std::fprintf(stderr, "qm482: cannot listen on %s: %s\n", socketPath_.c_str(),
                    std::strerror(errno));
            return Outcome::Primary;
        }
        if (Ask(request, std::min(deadline, Clock::now() + kOneTry)))
            return Outcome::Answered;
        const int left = MillisecondsUntil(deadline);
        if (left <= 0)
            return Outcome::Unanswered;
        ::poll(nullptr, 0, std::min(left, static_cast<int>(kRetryPause.count())));
    }
}

bool InstanceLock::TryLock()
{
    while (::flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EINTR)
            return false;
    }
    return true;
}

bool InstanceLock::Listen()
{
    sockaddr_un address {};
    if (!FillAddress(socketPath_, address)) {
        errno = ENAMETOOLONG;
        return false;
    }
    // Any socket of this name is a dead holder's: the lock was free.
    ::unlink(socketPath_.c_str());
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast): the sockets API
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0
        || ::listen(fd, 4) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return false;
    }
    listener_ = fd;
    return true;
}

bool InstanceLock::Ask(std::string_view request, Clock::time_point deadline) const
{
    sockaddr_un address {};
    if (!FillAddress(socketPath_, address))
        return false;
    // Non-blocking: a holder that accepts nothing must not hold the start.
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    std::string line(request);
    line += '\n';
    bool answered = false;
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast): the sockets API
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0
        && ::send(fd, line.data(), line.size(), MSG_NOSIGNAL)
            == static_cast<ssize_t>(line.size())) {
        std::string got;
        std::array<char, 16> buffer {};
        for (;;) {
            pollfd p { fd, POLLIN, 0 };
            const int ready = ::poll(&p, 1, MillisecondsUntil(deadline));
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready <= 0)
                break;
            const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
            if (n < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            if (n <= 0)
                break;
            got.append(buffer.data(), static_cast<std::size_t>(n));
            if (got.size() >= kAnswer.size() || got.find('\n') != std::string::npos) {
                answered = got == kAnswer;
                break;
            }
        }
    }
    ::close(fd);
    return answered;
}

std::string InstanceLock::CanonicalPath(const std::string& path)
{
    if (std::string real = RealPath(path); !real.empty())
        return real;
    std::string absolute = Absolute(path);
    const std::size_t slash = absolute.rfind('/');
    if (slash == std::string::npos)
        return absolute;
    const std::string folder = slash == 0 ? "/" : absolute.substr(0, slash);
    if (std::string real = RealPath(folder); !real.empty())
        return (real == "/" ? "" : real) + absolute.substr(slash);
    return absolute;
}

std::string InstanceLock::RuntimeDirectory(
    const char* xdgRuntimeDir, const std::string& fallbackParent)
{
    if (xdgRuntimeDir != nullptr && xdgRuntimeDir[0] == '/')
        return xdgRuntimeDir;
    const uid_t uid = ::getuid();
    std::string folder = fallbackParent + "/qm482-" + std::to_string(uid);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    // Someone else's folder of that name would let them hold our lock.
    struct stat st { };
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != uid
        || (st.st_mode & 077U) != 0)
        return {};
    return folder;
}

std::string InstanceLock::Key(std::string_view canonicalPath)
{
    std::uint64_t hash = 14695981039346656037ULL;
    for (char c : canonicalPath) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    std::array<char, 17> text {};
    std::snprintf(text.data(), text.size(), "%016llx", static_cast<unsigned long long>(hash));
    return text.data();
}
