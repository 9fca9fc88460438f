#pragma once

#include <cerrno>
#include <functional>
#include <grp.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace testuser {

// The tests run as root, and root passes both the permission checks and a
// tty's exclusive flag that an operator meets. "nobody" does not.
inline constexpr uid_t kNobody = 65534;

// Runs `body` in a forked child as uid and gid 65534 without supplementary
// groups and returns its exit status, -1 if it could not run or did not
// exit. What the body writes to the descriptor it gets comes back in
// `output`.
inline int RunUnprivileged(const std::function<int(int out)>& body, std::string* output = nullptr)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return -1;
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        ::close(fds[0]);
        if (::setgroups(0, nullptr) != 0 || ::setresgid(kNobody, kNobody, kNobody) != 0
            || ::setresuid(kNobody, kNobody, kNobody) != 0)
            ::_exit(125);
        ::_exit(body(fds[1]));
    }
    ::close(fds[1]);
    std::string text;
    char buffer[512];
    for (;;) {
        const auto n = ::read(fds[0], buffer, sizeof buffer);
        if (n > 0)
            text.append(buffer, static_cast<std::size_t>(n));
        else if (n == 0 || errno != EINTR)
            break;
    }
    ::close(fds[0]);
    if (output != nullptr)
        *output = text;
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace testuser
