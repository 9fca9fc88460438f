#include "PrivateBus.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

PrivateBus::~PrivateBus()
{
    Stop();
}

bool PrivateBus::Start()
{
    if (std::getenv("QM482_TEST_NO_BUS") != nullptr) {
        ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
        ::unsetenv("DISPLAY");
        ::unsetenv("XDG_RUNTIME_DIR");
        return true;
    }
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return false;
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(out[0]);
        ::close(out[1]);
        return false;
    }
    if (pid == 0) {
        // The daemon must not outlive a test run that crashed.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        ::dup2(out[1], 3); // dup2 clears close-on-exec on the copy
        // Its notices (fd limits and the like) are not the tests' output.
        const int null = ::open("/dev/null", O_WRONLY);
        if (null >= 0)
            ::dup2(null, 2);
        ::execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", "--nosyslog",
            "--print-address=3", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    pid_ = pid;

    // The daemon prints its address and a newline once it listens.
    std::string line;
    char buffer[256];
    while (line.find('\n') == std::string::npos) {
        pollfd p { out[0], POLLIN, 0 };
        const int ready = ::poll(&p, 1, 20000);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            break;
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        line.append(buffer, static_cast<size_t>(n));
    }
    ::close(out[0]);
    const size_t end = line.find('\n');
    if (end == std::string::npos || end == 0) {
        Stop();
        return false;
    }
    address_ = line.substr(0, end);
    ::setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);
    return true;
}

void PrivateBus::Stop()
{
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) { }
    pid_ = -1;
}
