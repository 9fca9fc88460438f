#include "extras/DetachedProcess.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
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

} // namespace

int Start(const std::vector<std::string>& argv)
{
    if (argv.empty() || argv.front().empty())
        return ENOENT;
    // Built before fork: the child may not allocate.
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

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
    int error = 0;
    ssize_t n = 0;
    do {
        n = read(fds[0], &error, sizeof error);
    } while (n < 0 && errno == EINTR);
    close(fds[0]);
    // The pipe closes unread when exec succeeds.
    return n == static_cast<ssize_t>(sizeof error) ? error : 0;
}

bool IsExecutableFile(const std::string& path)
{
    struct stat st { };
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

} // namespace detached_process
