#pragma once

#include <array>
#include <cerrno>
#include <functional>
#include <grp.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace testuser {

// Someone other than root: the tests run as root, and root passes both the
// permission checks and a tty's exclusive flag that an operator meets.
struct Identity {
    uid_t uid;
    gid_t gid; // the primary group
    gid_t group; // one more group the user is a member of
};
inline constexpr Identity kNobody { 65534, 65534, 65534 };

// Runs `body` in a forked child with `who`'s credentials and returns its
// exit status: -1 if it did not exit, 125 if the credentials could not be
// taken. What the body writes to the descriptor it gets comes back in
// `output`.
inline int RunAs(
    Identity who, const std::function<int(int out)>& body, std::string* output = nullptr)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return -1;
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        ::close(fds[0]);
        const std::array<gid_t, 2> groups = { who.gid, who.group };
        if (::setgroups(groups.size(), groups.data()) != 0
            || ::setresgid(who.gid, who.gid, who.gid) != 0
            || ::setresuid(who.uid, who.uid, who.uid) != 0)
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

inline int RunAs(Identity who, const std::function<int()>& body)
{
    return RunAs(who, [&](int) { return body(); });
}

inline int RunUnprivileged(const std::function<int(int out)>& body, std::string* output = nullptr)
{
    return RunAs(kNobody, body, output);
}

} // namespace testuser
