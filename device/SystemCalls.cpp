#include "device/SystemCalls.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

int SystemCalls::Open(const char* path, int flags)
{
    return ::open(path, flags);
}

int SystemCalls::Close(int fd)
{
    return ::close(fd);
}

int SystemCalls::Ioctl(int fd, unsigned long request, void* arg)
{
    return ::ioctl(fd, request, arg);
}

int SystemCalls::GetAttributes(int fd, termios* t)
{
    return ::tcgetattr(fd, t);
}

int SystemCalls::SetAttributes(int fd, int when, const termios* t)
{
    return ::tcsetattr(fd, when, t);
}

int SystemCalls::Flush(int fd, int queues)
{
    return ::tcflush(fd, queues);
}

ssize_t SystemCalls::Read(int fd, void* buffer, size_t size)
{
    return ::read(fd, buffer, size);
}

int SystemCalls::Poll(pollfd* fds, nfds_t count, int timeoutMs)
{
    return ::poll(fds, count, timeoutMs);
}

SystemCalls& SystemCalls::Real()
{
    static SystemCalls calls;
    return calls;
}
