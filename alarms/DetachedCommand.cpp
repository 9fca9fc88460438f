#include "alarms/DetachedCommand.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace detached_command {

namespace {

// One message on the pipe, written at once (far below PIPE_BUF).
struct Message {
    int tag = 0;
    int value = 0;
};
constexpr int kExecFailed = 1;
constexpr int kWaitStatus = 2;

// Between fork and exec only async-signal-safe calls: the parent has threads.
void send(int fd, int tag, int value)
{
    const Message m { tag, value };
    (void)!write(fd, &m, sizeof m);
}

void closeFrom(unsigned first, unsigned last)
{
    if (first > last)
        return;
    if (syscall(SYS_close_range, first, last, 0U) == 0)
        return;
    for (unsigned fd = first; fd <= last && fd < 65536U; ++fd)
        close(static_cast<int>(fd));
}

// Everything of ours but the standard three and `keep`.
void closeAllBut(int keep)
{
    const auto k = static_cast<unsigned>(keep);
    if (k < 3) {
        closeFrom(3, ~0U);
        return;
    }
    closeFrom(3, k - 1);
    closeFrom(k + 1, ~0U);
}

[[noreturn]] void runProgram(const char* path, char* const* argv, char* const* envp, int statusFd)
{
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction dfl { };
    dfl.sa_handler = SIG_DFL;
    sigaction(SIGPIPE, &dfl, nullptr);
    execve(path, argv, envp);
    send(statusFd, kExecFailed, errno);
    _exit(127);
}

[[noreturn]] void watch(
    const char* path, char* const* argv, char* const* envp, int statusFd, int nullFd)
{
    if (nullFd >= 0 && nullFd != STDIN_FILENO)
        dup2(nullFd, STDIN_FILENO);
    closeAllBut(statusFd);
    const pid_t program = fork();
    if (program < 0) {
        send(statusFd, kExecFailed, errno);
        _exit(1);
    }
    if (program == 0)
        runProgram(path, argv, envp, statusFd);
    // Nobody may be reading any more: a closed pipe must not kill the watcher.
    struct sigaction ign { };
    ign.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ign, nullptr);
    int status = 0;
    while (waitpid(program, &status, 0) < 0) {
        if (errno != EINTR)
            _exit(1);
    }
    send(statusFd, kWaitStatus, status);
    _exit(0);
}

std::vector<char*> pointersTo(std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    pointers.reserve(strings.size() + 1);
    for (std::string& s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

std::vector<std::string> environmentWith(
    const std::vector<std::pair<std::string, std::string>>& extra)
{
    std::vector<std::string> env;
    for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
        const std::string_view entry(*e);
        const std::string_view key = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const auto& [k, v] : extra)
            replaced = replaced || k == key;
        if (!replaced)
            env.emplace_back(entry);
    }
    for (const auto& [k, v] : extra)
        env.push_back(std::string(k).append("=").append(v));
    return env;
}

} // namespace

Started Start(const std::string& path, const std::vector<std::string>& argv,
    const std::vector<std::pair<std::string, std::string>>& extra)
{
    Started started;
    if (path.empty() || argv.empty()) {
        started.error = ENOENT;
        return started;
    }
    // Built before fork: the children may not allocate.
    std::vector<std::string> args = argv;
    std::vector<std::string> env = environmentWith(extra);
    std::vector<char*> argp = pointersTo(args);
    std::vector<char*> envp = pointersTo(env);

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        started.error = errno;
        return started;
    }
    const int nullFd = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const pid_t middle = fork();
    if (middle < 0) {
        started.error = errno;
        close(fds[0]);
        close(fds[1]);
        if (nullFd >= 0)
            close(nullFd);
        return started;
    }
    if (middle == 0) {
        close(fds[0]);
        // Out of the terminal's reach: Ctrl+C or a hang-up of the program
        // spares the command.
        setsid();
        const pid_t watcher = fork();
        if (watcher < 0) {
            send(fds[1], kExecFailed, errno);
            _exit(1);
        }
        if (watcher == 0)
            watch(path.c_str(), argp.data(), envp.data(), fds[1], nullFd);
        _exit(0);
    }
    close(fds[1]);
    if (nullFd >= 0)
        close(nullFd);
    int status = 0;
    while (waitpid(middle, &status, 0) < 0 && errno == EINTR) { }
    fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);
    started.statusFd = fds[0];
    return started;
}

std::optional<End> ReadEnd(int statusFd)
{
    Message m;
    ssize_t n = 0;
    do {
        n = read(statusFd, &m, sizeof m);
    } while (n < 0 && errno == EINTR);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        return std::nullopt;
    if (n != static_cast<ssize_t>(sizeof m))
        return End { EndKind::Lost, 0 };
    if (m.tag == kExecFailed)
        return End { EndKind::NotStarted, m.value };
    if (WIFEXITED(m.value))
        return End { EndKind::Exited, WEXITSTATUS(m.value) };
    if (WIFSIGNALED(m.value))
        return End { EndKind::Signalled, WTERMSIG(m.value) };
    return End { EndKind::Lost, 0 };
}

} // namespace detached_command
