#pragma once

#include <poll.h>
#include <sys/types.h>
#include <termios.h>

// The system calls of the serial line, behind one seam: tests derive from
// it to make a call fail (EINTR, EAGAIN, EIO) or to watch the modem lines,
// which a pseudo-terminal does not have.
class SystemCalls {
public:
    virtual ~SystemCalls() = default;

    virtual int Open(const char* path, int flags);
    virtual int Close(int fd);
    // Only the requests that take a pointer argument (TIOCMBIS, TIOCMBIC,
    // TIOCMGET) or none (TIOCEXCL, TIOCNXCL, arg nullptr) are used.
    virtual int Ioctl(int fd, unsigned long request, void* arg);
    virtual int GetAttributes(int fd, termios* t);
    virtual int SetAttributes(int fd, int when, const termios* t);
    virtual int Flush(int fd, int queues);
    virtual ssize_t Read(int fd, void* buffer, size_t size);
    virtual int Poll(pollfd* fds, nfds_t count, int timeoutMs);

    // The process-wide pass-through to the kernel.
    static SystemCalls& Real();
};
