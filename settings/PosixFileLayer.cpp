#include "settings/PosixFileLayer.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <random>
#include <system_error>

namespace {

// Far beyond 36 settings; a larger file is not the program's.
constexpr std::size_t kLargestFile = std::size_t { 1 } << 20U;

std::string ErrorText(int error)
{
    return std::error_code(error, std::generic_category()).message();
}

// Reads at most `limit` bytes; the caller sees a larger file by asking one
// byte more than it accepts.
bool ReadAll(int fd, std::string& content, std::size_t limit)
{
    std::array<char, 8192> buffer {};
    while (content.size() < limit) {
        ssize_t n = ::read(fd, buffer.data(), std::min(buffer.size(), limit - content.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        content.append(buffer.data(), static_cast<std::size_t>(n));
    }
    return true;
}

// Reads the open `fd` whole when it is a regular file of at most
// kLargestFile bytes; otherwise empty, and why not.
std::string ReadRegularFile(int fd, std::string& content)
{
    struct stat st { };
    if (::fstat(fd, &st) != 0)
        return ErrorText(errno);
    if (!S_ISREG(st.st_mode))
        return "it is not a regular file";
    constexpr const char* kTooLarge = "it is larger than 1 MiB";
    if (st.st_size > static_cast<off_t>(kLargestFile))
        return kTooLarge;
    if (!ReadAll(fd, content, kLargestFile + 1))
        return ErrorText(errno);
    if (content.size() > kLargestFile)
        return kTooLarge; // it grew since fstat
    return {};
}

// Mode for a file created anew: what open(0666) would give under the
// process's umask, read without changing it (umask() would race other threads).
mode_t NewFileMode()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(0666 & ~std::strtoul(line.c_str() + 6, nullptr, 8));
    }
    return 0644;
}

// A link is replaced at its target, so the link itself survives a save.
std::string ResolveTarget(const std::string& path)
{
    struct stat st { };
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        std::unique_ptr<char, decltype(&std::free)> real(
            ::realpath(path.c_str(), nullptr), &std::free);
        if (real)
            return real.get();
    }
    return path;
}

std::string DirectoryOf(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

PosixFileLayer::Calls PosixFileLayer::SystemCalls()
{
    return Calls {
        [](int fd, const void* data, size_t size) { return ::write(fd, data, size); },
        [](int fd) { return ::fsync(fd); },
        [](const char* from, const char* to) { return ::rename(from, to); },
    };
}

PosixFileLayer::PosixFileLayer(SettingsLocation::Inputs location, Calls calls)
    : location_(std::move(location))
    , calls_(std::move(calls))
{
}

std::string PosixFileLayer::LocateFile(std::string_view fileName)
{
    return SettingsLocation::Locate(fileName, location_);
}

bool PosixFileLayer::ReadForUpdate(
    const std::string& path, bool createIfMissing, std::string& content)
{
    // Without blocking: a FIFO would hold the start until someone writes to
    // it, and a terminal must not become the program's.
    int flags = O_RDWR | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (createIfMissing ? O_CREAT : 0);
    int fd = ::open(path.c_str(), flags, 0666);
    std::string why;
    if (fd < 0) {
        if (errno == ENOENT && !createIfMissing)
            return false;
        why = ErrorText(errno);
    } else {
        why = ReadRegularFile(fd, content);
        ::close(fd);
    }
    if (why.empty())
        return true;
    // The store then stays unloaded: defaults in, nothing written back.
    content.clear();
    std::fprintf(stderr, "qm482: settings file %s is not used (%s); running on the defaults\n",
        path.c_str(), why.c_str());
    return false;
}

bool PosixFileLayer::WriteAll(int fd, std::string_view content)
{
    while (!content.empty()) {
        ssize_t n = calls_.write(fd, content.data(), content.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        content.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool PosixFileLayer::ReplaceAtomically(const std::string& path, std::string_view content)
{
    return Replace(path, content, 07777);
}

bool PosixFileLayer::ReplaceOwnerOnly(const std::string& path, std::string_view content)
{
    // Set on the temporary file, before the rename: the secret is never
    // readable by others, not even for a moment.
    return Replace(path, content, S_IRUSR | S_IWUSR);
}

bool PosixFileLayer::Replace(
    const std::string& path, std::string_view content, mode_t keep, bool unnamedFirst)
{
    const std::string target = ResolveTarget(path);
    // Written without a name first, so a program killed while it writes
    // leaves nothing behind; named only for the moment before the rename.
    int fd = unnamedFirst
        ? ::open(DirectoryOf(target).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600)
        : -1;
    const bool anonymous = fd >= 0;
    std::string temp = target + ".XXXXXX";
    if (!anonymous)
        fd = ::mkstemp(temp.data()); // a filesystem without unnamed files
    if (fd < 0)
        return false;

    struct stat old { };
    bool ok = true;
    if (::stat(target.c_str(), &old) == 0) {
        // Owner and group where we may (as root); else the group alone, which
        // a member of it may set, so the owner keeps access through it. The
        // permissions always, after chown, which clears set-id bits; but group
        // rights never go to a group other than the file's.
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
            if (::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) { }
        }
        mode_t mode = old.st_mode & 07777;
        struct stat now { };
        if (::fstat(fd, &now) != 0 || now.st_gid != old.st_gid)
            mode &= ~static_cast<mode_t>(S_IRWXG | S_ISGID);
        ok = ::fchmod(fd, mode & keep) == 0;
    } else {
        ok = ::fchmod(fd, NewFileMode() & keep) == 0;
    }
    ok = ok && WriteAll(fd, content) && calls_.fsync(fd) == 0;
    bool named = !anonymous;
    if (ok && anonymous && !LinkBeside(fd, target, temp)) {
        ::close(fd); // no /proc to name it through: the named way then
        return Replace(path, content, keep, false);
    }
    named = named || ok;
    ok = (::close(fd) == 0) && ok;
    ok = ok && calls_.rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        if (named)
            ::unlink(temp.c_str());
        return false;
    }
    // Make the rename itself durable; the new content is in place either way.
    int dir = ::open(DirectoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        calls_.fsync(dir);
        ::close(dir);
    }
    return true;
}

bool PosixFileLayer::LinkBeside(int fd, const std::string& target, std::string& name)
{
    static constexpr char kLetters[]
        = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        name = target + '.';
        for (int i = 0; i < 6; ++i)
            name += kLetters[random() % (sizeof kLetters - 1)];
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return true;
        if (errno != EEXIST)
            return false;
    }
    return false;
}

bool PosixFileLayer::Copy(const std::string& from, const std::string& to)
{
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (in < 0)
        return false;
    std::string content;
    struct stat st { };
    bool ok = ReadRegularFile(in, content).empty() && ::fstat(in, &st) == 0;
    ::close(in);
    // The copy is as private as the original.
    return ok && ReplaceAtomically(to, content) && ::chmod(to.c_str(), st.st_mode & 07777) == 0;
}

bool PosixFileLayer::ListDirectory(const std::string& directory, std::vector<std::string>& names)
{
    DIR* dir = ::opendir(directory.c_str());
    if (dir == nullptr)
        return false;
    while (const dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(std::move(name));
    }
    ::closedir(dir);
    return true;
}
