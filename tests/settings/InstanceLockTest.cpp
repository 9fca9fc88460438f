#include "settings/InstanceLock.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <csignal>
#include <filesystem>
#include <vector>

using namespace std::chrono_literals;
using Outcome = InstanceLock::Outcome;

namespace {

// A child that takes the lock, says so on `ready`, then answers each
// request with `answer` (nothing when empty) until it is killed.
pid_t StartHolder(const std::string& folder, const std::string& path, const std::string& answer,
    const std::string& heard = {})
{
    std::array<int, 2> ready {};
    if (::pipe(ready.data()) != 0)
        return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(ready[0]);
        InstanceLock lock(folder, path);
        const char held = lock.Acquire("raise", 0ms) == Outcome::Primary ? 'y' : 'n';
        (void)::write(ready[1], &held, 1);
        for (;;) {
            pollfd p { lock.listener(), POLLIN, 0 };
            if (::poll(&p, 1, -1) <= 0)
                continue;
            const int client = ::accept(lock.listener(), nullptr, nullptr);
            if (client < 0)
                continue;
            std::array<char, 256> line {};
            const ssize_t n = ::recv(client, line.data(), line.size(), 0);
            if (!heard.empty() && n > 0)
                WriteFile(heard, std::string(line.data(), static_cast<std::size_t>(n)));
            if (!answer.empty())
                (void)::send(client, answer.data(), answer.size(), MSG_NOSIGNAL);
            ::close(client);
        }
    }
    ::close(ready[1]);
    char held = 0;
    const bool ok = ::read(ready[0], &held, 1) == 1 && held == 'y';
    ::close(ready[0]);
    if (!ok) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        return -1;
    }
    return pid;
}

void Kill(pid_t pid)
{
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

} // namespace

TEST(InstanceLock, CanonicalPathNamesOneFileWhicheverWayItIsWritten)
{
    TempDir dir;
    std::filesystem::create_directories(dir / "real");
    WriteFile(dir / "real/hala.ini", "");
    std::filesystem::create_directory_symlink(dir / "real", dir / "linked");
    std::filesystem::create_symlink(dir / "real/hala.ini", dir / "link.ini");
    const std::string real = InstanceLock::CanonicalPath(dir / "real/hala.ini");
    const std::string created = InstanceLock::CanonicalPath(dir / "real/new.ini");
    const struct {
        std::string given, expected;
    } cases[] = {
        { dir / "linked/hala.ini", real },
        { dir / "link.ini", real },
        { dir / "real/../real/./hala.ini", real },
        // Not created yet: its folder's real path and its name.
        { dir / "linked/new.ini", created },
        { dir / "real/new.ini", dir / "real/new.ini" },
        // No such folder: as absolute as it was given.
        { dir / "none/x.ini", dir / "none/x.ini" },
    };
    EXPECT_EQ(real, dir / "real/hala.ini");
    for (const auto& c : cases)
        EXPECT_EQ(InstanceLock::CanonicalPath(c.given), c.expected) << c.given;

    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir / "linked");
    EXPECT_EQ(InstanceLock::CanonicalPath("hala.ini"), real);
    EXPECT_EQ(InstanceLock::CanonicalPath("new.ini"), created);
    std::filesystem::current_path(before);
}

TEST(InstanceLock, KeyIsFnv1aSoThatEveryBuildAgrees)
{
    EXPECT_EQ(InstanceLock::Key(""), "cbf29ce484222325");
    EXPECT_EQ(InstanceLock::Key("a"), "af63dc4c8601ec8c");
    EXPECT_NE(InstanceLock::Key("/home/u/a.ini"), InstanceLock::Key("/home/u/b.ini"));
}

TEST(InstanceLock, RuntimeDirectoryIsPrivateOrRefused)
{
    TempDir dir;
    EXPECT_EQ(InstanceLock::RuntimeDirectory("/run/user/1000", dir.path()), "/run/user/1000");
    const std::string own = dir / ("qm482-" + std::to_string(::getuid()));
    // Unset or relative: the fallback, made closed to others.
    for (const char* xdg : { static_cast<const char*>(nullptr), "relative", "" }) {
        EXPECT_EQ(InstanceLock::RuntimeDirectory(xdg, dir.path()), own);
        struct stat st { };
        ASSERT_EQ(::stat(own.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777U, 0700U);
    }
    ::chmod(own.c_str(), 0770);
    EXPECT_EQ(InstanceLock::RuntimeDirectory(nullptr, dir.path()), "") << "a group may enter";
    std::filesystem::remove(own);
    std::filesystem::create_directory_symlink(dir.path(), own);
    EXPECT_EQ(InstanceLock::RuntimeDirectory(nullptr, dir.path()), "") << "a link is not ours";
    EXPECT_EQ(InstanceLock(std::string(), "/x.ini").Acquire("raise", 0ms), Outcome::NoPlace);
}

TEST(InstanceLock, ASecondStartIsAnsweredByTheHolderAndACrashedHolderIsTakenOver)
{
    TempDir dir;
    const std::string file = dir / "hala.ini";
    const pid_t holder = StartHolder(dir.path(), file, "ok\n", dir / "heard");
    ASSERT_GT(holder, 0);
    {
        InstanceLock second(dir.path(), file);
        EXPECT_EQ(second.Acquire("raise tok-1", 3s), Outcome::Answered);
        EXPECT_EQ(second.listener(), -1);
        EXPECT_EQ(ReadFile(dir / "heard"), "raise tok-1\n");
        // Another file is not guarded by this holder.
        InstanceLock other(dir.path(), dir / "other.ini");
        EXPECT_EQ(other.Acquire("raise", 3s), Outcome::Primary);
    }
    Kill(holder);
    // The dead holder's socket is still there; the lock is free again.
    InstanceLock third(dir.path(), file);
    ASSERT_TRUE(std::filesystem::exists(third.socketPath()));
    EXPECT_EQ(third.Acquire("raise", 3s), Outcome::Primary);
    EXPECT_GE(third.listener(), 0);
}

TEST(InstanceLock, AHolderThatDoesNotAnswerEndsTheStartOnceThePatienceIsOver)
{
    TempDir dir;
    const std::string file = dir / "hala.ini";
    for (const std::string& answer : { std::string(), std::string("no\n") }) {
        const pid_t holder = StartHolder(dir.path(), file, answer);
        ASSERT_GT(holder, 0);
        InstanceLock second(dir.path(), file);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(second.Acquire("raise", 400ms), Outcome::Unanswered) << answer;
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_GE(took, 390ms);
        EXPECT_LT(took, 2s);
        Kill(holder);
    }
}

TEST(InstanceLock, OfStartsAtTheSameMomentExactlyOneRuns)
{
    TempDir dir;
    const std::string file = dir / "hala.ini";
    std::array<int, 2> go {};
    ASSERT_EQ(::pipe(go.data()), 0);
    std::vector<pid_t> starts;
    for (int i = 0; i < 6; ++i) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(go[1]);
            char c = 0;
            (void)::read(go[0], &c, 1); // all at once
            InstanceLock lock(dir.path(), file);
            const Outcome got = lock.Acquire("raise", 500ms);
            // The winner holds on until the others have given up.
            if (got == Outcome::Primary)
                ::usleep(800 * 1000);
            ::_exit(got == Outcome::Primary ? 10 : 20);
        }
        starts.push_back(pid);
    }
    ::close(go[0]);
    ::close(go[1]); // EOF wakes them together
    int primaries = 0;
    int others = 0;
    for (pid_t pid : starts) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        primaries += WIFEXITED(status) && WEXITSTATUS(status) == 10 ? 1 : 0;
        others += WIFEXITED(status) && WEXITSTATUS(status) == 20 ? 1 : 0;
    }
    EXPECT_EQ(primaries, 1);
    EXPECT_EQ(others, 5);
}

TEST(InstanceLock, AProgramStartedByTheHolderDoesNotKeepTheLock)
{
    TempDir dir;
    const std::string file = dir / "hala.ini";
    pid_t companion = -1;
    {
        InstanceLock lock(dir.path(), file);
        ASSERT_EQ(lock.Acquire("raise", 0ms), Outcome::Primary);
        companion = ::fork();
        if (companion == 0) {
            ::execl("/bin/sleep", "sleep", "5", static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    // The holder ended; the program it started lives on.
    InstanceLock next(dir.path(), file);
    EXPECT_EQ(next.Acquire("raise", 300ms), Outcome::Primary);
    Kill(companion);
}
