#include "extras/DetachedProcess.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace detached_process {

namespace {

void reportAndExit(int fd, int error)
{
    // Only async-signal-safe calls between fork and exec.
    (void)!write(fd, &error, sizeof error);
    _exit(127);
}

// Waits for the child's exec: 0 once it runs, else the errno it reported.
int execResult(int fd)
{
    int error = 0;
    ssize_t n = 0;
    do {
        n = read(fd, &error, sizeof error);
    } while (n < 0 && errno == EINTR);
    close(fd);
    // The pipe closes unread when exec succeeds.
    return n == static_cast<ssize_t>(sizeof error) ? error : 0;
}

// Through the system call: the C library's header lacks C linkage.
int pidfdOpen(pid_t pid)
{
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0U));
}

// Built before fork: the child may not allocate.
std::vector<char*> argvOf(const std::vector<std::string>& argv)
{
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    return args;
}

void reap(pid_t pid, int* status)
{
    while (waitpid(pid, status, 0) < 0 && errno == EINTR) { }
}

} // namespace

int Start(const std::vector<std::string>& argv)
{
    if (argv.empty() || argv.front().empty())
        return ENOENT;
    std::vector<char*> args = argvOf(argv);

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return errno;
    const pid_t child = fork();
    if (child < 0) {
        const int error = errno;
        close(fds[0]);
        close(fds[1]);
        return error;
    }
    if (child == 0) {
        // The middle process ends at once; the program is orphaned to init
        // and never becomes our zombie.
        close(fds[0]);
        setsid();
        const pid_t grandchild = fork();
        if (grandchild < 0)
            reportAndExit(fds[1], errno);
        if (grandchild == 0) {
            execv(args[0], args.data());
            reportAndExit(fds[1], errno);
        }
        _exit(0);
    }
    close(fds[1]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) { }
    return execResult(fds[0]);
}

Watched StartWatched(const std::vector<std::string>& argv)
{
    Watched w;
    if (argv.empty() || argv.front().empty()) {
        w.error = ENOENT;
        return w;
    }
    // Asked before anything starts, so a program is never left unwatched.
    const int probe = pidfdOpen(getpid());
    if (probe < 0) {
        w.error = ENOSYS;
        return w;
    }
    close(probe);
    std::vector<char*> args = argvOf(argv);

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        w.error = errno;
        return w;
    }
    const pid_t child = fork();
    if (child < 0) {
        w.error = errno;
        close(fds[0]);
        close(fds[1]);
        return w;
    }
    if (child == 0) {
        close(fds[0]);
        // Out of the terminal's reach: Ctrl+C on the program spares it.
        setsid();
        execv(args[0], args.data());
        reportAndExit(fds[1], errno);
    }
    close(fds[1]);
    int status = 0;
    w.error = execResult(fds[0]);
    if (w.error != 0) {
        reap(child, &status);
        return w;
    }
    // A child that has ended already is a zombie still: its pidfd is valid.
    w.exitFd = pidfdOpen(child);
    if (w.exitFd < 0) {
        w.error = errno;
        reap(child, &status);
        return w;
    }
    w.pid = child;
    return w;
}

int Reap(Watched& watched)
{
    if (watched.pid <= 0)
        return -1;
    int status = 0;
    reap(watched.pid, &status);
    watched.pid = -1;
    if (watched.exitFd >= 0)
        close(watched.exitFd);
    watched.exitFd = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool IsExecutableFile(const std::string& path)
{
    struct stat st { };
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

} // namespace detached_process
