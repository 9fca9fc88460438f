#pragma once

#include <string>
#include <string_view>
#include <vector>

// The file operations the INI store needs, so its text logic stays free of
// the platform and a test can make any of them fail.
class IniFileLayer {
public:
    virtual ~IniFileLayer() = default;

    // Full path of a file of the program's own (its settings file).
    virtual std::string LocateFile(std::string_view fileName) = 0;
    // Opens `path` for reading and writing, creating it empty when it is
    // missing and `createIfMissing` is set (an existing file is never
    // truncated), and reads it whole. False when it cannot be opened for
    // writing.
    virtual bool ReadForUpdate(const std::string& path, bool createIfMissing, std::string& content)
        = 0;
    // Replaces the file at `path` with `content` so that a reader sees either
    // the old file or the whole new one, never a part; keeps its permissions.
    virtual bool ReplaceAtomically(const std::string& path, std::string_view content) = 0;
    // The same, for content that holds a secret: the file ends up readable
    // and writable by its owner only. A layer that cannot promise that
    // refuses.
    virtual bool ReplaceOwnerOnly(const std::string& /*path*/, std::string_view /*content*/)
    {
        return false;
    }
    virtual bool Copy(const std::string& from, const std::string& to) = 0;
    // Names (not paths) of the entries of a directory.
    virtual bool ListDirectory(const std::string& directory, std::vector<std::string>& names) = 0;
};
