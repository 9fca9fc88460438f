#include "device/NetworkConnector.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// A dead link (a cable pulled, a server switched off) without a reset is
// noticed after about half a minute; a live silent server is kept.
constexpr int kKeepIdleS = 15;
constexpr int kKeepIntervalS = 5;
constexpr int kKeepCount = 3;

std::atomic<int> resolversRunning { 0 };

struct AddressList {
    addrinfo* list = nullptr;
    ~AddressList()
    {
        if (list != nullptr)
            ::freeaddrinfo(list);
    }
};

// What a resolver thread shares with the thread waiting for it; whichever
// lets go last frees it.
struct Resolution {
    int doneFd = -1;
    std::mutex mutex;
    int status = 0;
    AddressList addresses;
    ~Resolution()
    {
        if (doneFd >= 0)
            ::close(doneFd);
    }
};

addrinfo hintsFor(int flags)
{
    addrinfo hints {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = flags | AI_NUMERICSERV;
    return hints;
}

int remainingMs(Clock::time_point deadline)
{
    const auto left
        = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Waits for `fd` (events) or the stop; 1 ready, 0 timed out, -1 stopped or failed.
int waitFor(int fd, short events, int stopFd, Clock::time_point deadline)
{
    for (;;) {
        pollfd fds[2] = { { stopFd, POLLIN, 0 }, { fd, events, 0 } };
        const int ready = ::poll(fds, 2, remainingMs(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return -1;
        if ((fds[0].revents & POLLIN) != 0) {
            errno = ECANCELED;
            return -1;
        }
        return ready == 0 ? 0 : 1;
    }
}

// Resolves a name that is not an address literal; false with errno set.
bool resolveName(const NetworkAddress& address, int stopFd, Clock::time_point deadline,
    std::shared_ptr<Resolution>& out)
{
    if (resolversRunning.load() >= NetworkConnector::kMaxResolvers) {
        errno = EAGAIN; // earlier names still hang; tried again next time
        return false;
    }
    auto resolution = std::make_shared<Resolution>();
    resolution->doneFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (resolution->doneFd < 0)
        return false;
    ++resolversRunning;
    try {
        std::thread([resolution, host = address.host, port = std::to_string(address.port)] {
            const addrinfo hints = hintsFor(0);
            addrinfo* list = nullptr;
            const int status = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &list);
            {
                std::lock_guard lock(resolution->mutex);
                resolution->status = status;
                resolution->addresses.list = list;
            }
            const std::uint64_t one = 1;
            [[maybe_unused]] const auto n = ::write(resolution->doneFd, &one, sizeof one);
            --resolversRunning;
        }).detach();
    } catch (...) {
        --resolversRunning;
        errno = EAGAIN;
        return false;
    }
    const int ready = waitFor(resolution->doneFd, POLLIN, stopFd, deadline);
    if (ready <= 0) {
        if (ready == 0)
            errno = ETIMEDOUT;
        return false;
    }
    std::lock_guard lock(resolution->mutex);
    if (resolution->status != 0) {
        errno = EHOSTUNREACH;
        return false;
    }
    out = std::move(resolution);
    return true;
}

void keepAlive(int fd)
{
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &kKeepIdleS, sizeof kKeepIdleS);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &kKeepIntervalS, sizeof kKeepIntervalS);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &kKeepCount, sizeof kKeepCount);
    // The Telnet answers are a few bytes each; no reason to hold them back.
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

// One address: a connected socket or -1 with errno set.
int connectOne(const addrinfo& a, int stopFd, Clock::time_point deadline)
{
    const int fd
        = ::socket(a.ai_family, a.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a.ai_protocol);
    if (fd < 0)
        return -1;
    if (::connect(fd, a.ai_addr, a.ai_addrlen) != 0 && errno != EINPROGRESS) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    const int ready = waitFor(fd, POLLOUT, stopFd, deadline);
    int error = ready == 0 ? ETIMEDOUT : errno;
    if (ready > 0) {
        socklen_t size = sizeof error;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
            error = errno;
    }
    if (ready <= 0 || error != 0) {
        ::close(fd);
        errno = error;
        return -1;
    }
    keepAlive(fd);
    return fd;
}

} // namespace

int NetworkConnector::Connect(const NetworkAddress& address, int stopFd, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const std::string port = std::to_string(address.port);
    // An address literal needs no resolver and never waits.
    AddressList literal;
    std::shared_ptr<Resolution> resolved;
    const addrinfo* list = nullptr;
    const addrinfo hints = hintsFor(AI_NUMERICHOST);
    const int status = ::getaddrinfo(address.host.c_str(), port.c_str(), &hints, &literal.list);
    if (status == 0) {
        list = literal.list;
    } else {
        if (!resolveName(address, stopFd, deadline, resolved))
            return -1;
        list = resolved->addresses.list;
    }
    int error = EHOSTUNREACH;
    for (const addrinfo* a = list; a != nullptr; a = a->ai_next) {
        const int fd = connectOne(*a, stopFd, deadline);
        if (fd >= 0)
            return fd;
        error = errno;
        if (error == ECANCELED || error == ETIMEDOUT)
            break;
    }
    errno = error;
    return -1;
}
