#include "device/PortNames.h"

#include <array>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr std::array<std::string_view, 4> kRanges = { "ttyS", "ttyUSB", "ttyACM", "ttyAMA" };

// Parses a decimal number that makes up all of `text`; -1 otherwise.
int wholeNumber(std::string_view text)
{
    if (text.empty() || text.size() > 4 || (text.size() > 1 && text[0] == '0'))
        return -1;
    int value = 0;
    const auto* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end)
        return -1;
    return value;
}

// Both names reach the same file (std::filesystem::equivalent refuses
// character devices).
bool sameFile(const std::string& a, const std::string& b)
{
    struct stat sa { };
    struct stat sb { };
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev
        && sa.st_ino == sb.st_ino;
}

std::string linkFolder(const PortRoots& roots)
{
    return roots.links.empty() ? PortNames::LinkFolder() : roots.links;
}

} // namespace

PortRoots PortRoots::System()
{
    PortRoots roots;
    roots.links = PortNames::LinkFolder();
    return roots;
}

std::string PortNames::LinkFolder()
{
    if (const char* dir = std::getenv("QM482_PORTS_DIR"); dir != nullptr && *dir != '\0')
        return dir;
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.config/qm482/ports";
}

std::string PortNames::TableName(int port)
{
    if (port < kFirstPort || port > kLastPort)
        return {};
    const int index = port - 1;
    return std::string(kRanges[static_cast<std::size_t>(index / kPortsPerRange)])
        + std::to_string(index % kPortsPerRange);
}

int PortNames::PortForTableName(std::string_view name)
{
    for (std::size_t r = 0; r < kRanges.size(); ++r) {
        const auto prefix = kRanges[r];
        if (name.substr(0, prefix.size()) != prefix)
            continue;
        const int unit = wholeNumber(name.substr(prefix.size()));
        if (unit >= 0 && unit < kPortsPerRange)
            return static_cast<int>(r) * kPortsPerRange + unit + 1;
    }
    return 0;
}

int PortNames::PortForLinkName(std::string_view name)
{
    if (name.substr(0, 3) != "COM")
        return 0;
    const int n = wholeNumber(name.substr(3));
    return n >= kFirstPort && n <= kLastPort ? n : 0;
}

std::string PortNames::DevicePath(int port, const PortRoots& roots)
{
    const std::string name = TableName(port);
    if (name.empty())
        return {};
    std::error_code ec;
    const fs::path link = fs::path(linkFolder(roots)) / ("COM" + std::to_string(port));
    if (fs::exists(fs::symlink_status(link, ec)))
        return link.string();
    return (fs::path(roots.dev) / name).string();
}

int PortNames::PortForDevicePath(const std::string& path, const PortRoots& roots)
{
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(linkFolder(roots), ec)) {
        const int n = PortForLinkName(entry.path().filename().string());
        if (n != 0 && sameFile(entry.path().string(), path))
            return n;
    }
    const fs::path p(path);
    if (p.parent_path() != fs::path(roots.dev))
        return 0;
    return PortForTableName(p.filename().string());
}

std::string DevicePathForPort(int port)
{
    return PortNames::DevicePath(port, PortRoots::System());
}

int PortForDevicePath(const std::string& path)
{
    return PortNames::PortForDevicePath(path, PortRoots::System());
}
