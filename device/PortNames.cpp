#include "device/PortNames.h"

#include <array>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr std::array<std::string_view, 4> kRanges = { "ttyS", "ttyUSB", "ttyACM", "ttyAMA" };

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

PortDevice PortNames::Device(int port, const PortRoots& roots)
{
    const std::string name = TableName(port);
    if (name.empty())
        return {};
    std::error_code ec;
    const fs::path link = fs::path(linkFolder(roots)) / ("COM" + std::to_string(port));
    if (fs::exists(fs::symlink_status(link, ec)))
        return { link.string(), true };
    return { (fs::path(roots.dev) / name).string(), false };
}
