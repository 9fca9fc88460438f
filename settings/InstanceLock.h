#pragma once

#include <chrono>
#include <string>
#include <string_view>

// One running program per settings file. The first start takes an flock on a
// lock file named after the settings file's canonical path and listens on a
// socket of the same name; a later start on that file finds the lock taken and
// asks the holder, through the socket, to bring its window to the front. The
// kernel drops the lock of a program that ends in any way, so a crashed
// instance's socket is simply taken over.
class InstanceLock {
public:
    enum class Outcome {
        Primary, // the lock is ours: run
        Answered, // a running instance took the request: end
        Unanswered, // a running instance holds the file but did not answer
        NoPlace, // no private folder for the lock: run unguarded
    };

    // `directory`: a folder only this user may enter (see RuntimeDirectory).
    InstanceLock(const std::string& directory, std::string_view canonicalPath);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Takes the lock, or hands `request` (one line, without its end) to the
    // holder and waits for its answer, trying again until `patience` runs
    // out: the holder may be between its lock and its listening socket.
    Outcome Acquire(std::string_view request, std::chrono::milliseconds patience);

    // The listening socket of the lock's holder (non-blocking), or -1.
    int listener() const { return listener_; }
    const std::string& socketPath() const { return socketPath_; }

    // The path that names a settings file, whichever way it was written: the
    // file's real path, else (not created yet) its folder's real path and its
    // name, else the path made absolute.
    static std::string CanonicalPath(const std::string& path);
    // $XDG_RUNTIME_DIR when it is set and absolute; else /tmp/qm482-UID, made
    // 0700 if missing and refused unless it is ours and closed to others.
    // Empty when there is no such folder.
    static std::string RuntimeDirectory(
        const char* xdgRuntimeDir, const std::string& fallbackParent = "/tmp");
    // 16 hex digits (FNV-1a, 64 bits): the same in every build and run.
    static std::string Key(std::string_view canonicalPath);

private:
    bool TryLock();
    bool Listen();
    bool Ask(std::string_view request, std::chrono::steady_clock::time_point deadline) const;

    std::string lockPath_;
    std::string socketPath_;
    int lockFd_ = -1;
    int listener_ = -1;
};
