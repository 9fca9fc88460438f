#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <string>
#include <vector>

extern char** environ;

// A program run as a user would run it, its output read through a pipe
// (stderr too, when asked; else it goes where the test's goes). Started with fork and exec, not
// QProcess: Qt's child shares the parent's memory until it execs, which ThreadSanitizer cannot
// follow, and it then reports races that are not there.
class Child {
public:
    // `env` adds "NAME=value" entries to this process's environment.
    explicit Child(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
        bool withErrors = false)
    {
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        std::vector<char*> vars;
        for (char** e = environ; *e != nullptr; ++e)
            vars.push_back(*e);
        for (const std::string& e : env)
            vars.push_back(const_cast<char*>(e.c_str()));
        vars.push_back(nullptr);
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(fds[1], STDOUT_FILENO);
            if (withErrors)
                ::dup2(fds[1], STDERR_FILENO);
            ::execvpe(args[0], args.data(), vars.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        out_ = fds[0];
        ::fcntl(out_, F_SETFL, O_NONBLOCK);
    }
    ~Child()
    {
        if (Running()) {
            Kill(SIGKILL);
            Wait(5000);
        }
        if (out_ >= 0)
            ::close(out_);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }
    bool Running() const { return pid_ > 0 && !exited_; }
    int exitCode() const { return exitCode_; }
    const std::string& output() const { return output_; }

    void Kill(int signal)
    {
        if (Running())
            ::kill(pid_, signal);
    }
    // Collects output for up to `ms`; true once the program has exited.
    bool Wait(int ms)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        for (;;) {
            Reap();
            if (!Running()) {
                Read(0);
                return true;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now())
                                  .count();
            if (left <= 0)
                return false;
            Read(static_cast<int>(std::min<long>(left, 20)));
        }
    }
    // Takes what the program has written, waiting up to `ms` for the first of it.
    void Read(int ms)
    {
        if (out_ < 0) {
            ::usleep(static_cast<useconds_t>(ms) * 1000);
            return;
        }
        pollfd p { out_, POLLIN, 0 };
        if (::poll(&p, 1, ms) <= 0)
            return;
        char buffer[4096];
        ssize_t n = 0;
        while ((n = ::read(out_, buffer, sizeof buffer)) > 0)
            output_.append(buffer, static_cast<size_t>(n));
        if (n == 0) { // every writer has gone
            ::close(out_);
            out_ = -1;
        }
    }

private:
    void Reap()
    {
        int status = 0;
        if (Running() && ::waitpid(pid_, &status, WNOHANG) == pid_) {
            exited_ = true;
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
    }

    pid_t pid_ = -1;
    int out_ = -1;
    bool exited_ = false;
    int exitCode_ = -1;
    std::string output_;
};
