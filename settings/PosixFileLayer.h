#pragma once

#include "settings/IniFileLayer.h"
#include "settings/SettingsLocation.h"

#include <sys/types.h>

#include <functional>

// The INI store's files on POSIX. A save goes to a temporary file beside the
// target, is flushed to disk and renamed over it, so a crash or a full disk
// leaves the old file whole.
class PosixFileLayer : public IniFileLayer {
public:
    // The system calls a save makes, replaceable so a test can make them fail.
    struct Calls {
        std::function<ssize_t(int, const void*, size_t)> write;
        std::function<int(int)> fsync;
        std::function<int(const char*, const char*)> rename;
    };
    static Calls SystemCalls();

    explicit PosixFileLayer(SettingsLocation::Inputs location = SettingsLocation::FromProcess(),
        Calls calls = SystemCalls());

    std::string LocateFile(std::string_view fileName) override;
    bool ReadForUpdate(
        const std::string& path, bool createIfMissing, std::string& content) override;
    bool ReplaceAtomically(const std::string& path, std::string_view content) override;
    bool ReplaceOwnerOnly(const std::string& path, std::string_view content) override;
    bool Copy(const std::string& from, const std::string& to) override;
    bool ListDirectory(const std::string& directory, std::vector<std::string>& names) override;

private:
    bool WriteAll(int fd, std::string_view content);
    // `keep`: the permission bits of the old file (or a new file's) that survive.
    bool Replace(
        const std::string& path, std::string_view content, mode_t keep, bool unnamedFirst = true);
    // Gives the unnamed file `fd` a unique name beside `target`.
    static bool LinkBeside(int fd, const std::string& target, std::string& name);

    SettingsLocation::Inputs location_;
    Calls calls_;
};
