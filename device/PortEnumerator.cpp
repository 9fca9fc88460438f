#include "device/PortEnumerator.h"

#include "device/SystemCalls.h"
#include "resources/DeviceTexts.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <new>
#include <system_error>

namespace fs = std::filesystem;

PortEnumerator::PortEnumerator()
    : PortEnumerator(PortRoots::System(), SystemCalls::Real(), &UdevPorts::Scan)
{
}

PortEnumerator::PortEnumerator(PortRoots roots, SystemCalls& calls, DeviceSource source)
    : roots_(std::move(roots))
    , calls_(calls)
    , source_(std::move(source))
{
    if (roots_.links.empty())
        roots_.links = PortNames::LinkFolder();
}

bool PortEnumerator::Enumerate(unsigned& count, std::string& text)
{
    try {
        PortList list;
        FromDatabase(list);
        Probe(list);
        Links(list);
        text = list.Text(count);
        return true;
    } catch (const std::bad_alloc&) {
        count = 0;
        text.clear();
        return false;
    }
}

bool PortEnumerator::SerialTypeKnown(const std::string& name) const
{
    if (name.rfind("ttyS", 0) != 0)
        return true;
    std::ifstream in(fs::path(roots_.sys) / "class/tty" / name / "type");
    int type = -1;
    if (!(in >> type))
        return true; // no sysfs entry: let the probe decide
    return type != 0;
}

bool PortEnumerator::Accessible(const std::string& path) const
{
    const int fd = calls_.Open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno != EACCES && errno != EPERM;
    calls_.Close(fd);
    return true;
}

std::string PortEnumerator::Describe(
    const std::string& name, const std::string& model, const std::string& path) const
{
    std::string d = name;
    if (!model.empty())
        d.append(DeviceTexts::kSeparator).append(model);
    if (!Accessible(path))
        d.append(DeviceTexts::kSeparator).append(DeviceTexts::kNoAccess);
    return d;
}

void PortEnumerator::FromDatabase(PortList& list)
{
    std::vector<TtyDevice> devices;
    if (!source_ || !source_(devices))
        return;
    for (const auto& device : devices) {
        const fs::path node(device.devnode);
        if (node.parent_path() != fs::path(roots_.dev))
            continue;
        const std::string name = node.filename().string();
        const int port = PortNames::PortForTableName(name);
        if (port == 0 || !SerialTypeKnown(name))
            continue;
        list.Add(port, Describe(name, device.description, device.devnode));
    }
}

void PortEnumerator::Probe(PortList& list)
{
    std::error_code ec;
    for (int port = PortList::kFirstPort; port <= PortList::kLastPort; ++port) {
        if (list.Present(port))
            continue;
        const std::string name = PortNames::TableName(port);
        const std::string path = (fs::path(roots_.dev) / name).string();
        if (!fs::exists(path, ec) || !SerialTypeKnown(name))
            continue;
        const int fd = calls_.Open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            if (errno == EACCES || errno == EPERM)
                list.Add(port,
                    name + std::string(DeviceTexts::kSeparator)
                        + std::string(DeviceTexts::kNoAccess));
            continue;
        }
        termios t {};
        const bool serial = calls_.GetAttributes(fd, &t) == 0;
        calls_.Close(fd);
        if (serial)
            list.Add(port, name);
    }
}

void PortEnumerator::Links(PortList& list)
{
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(roots_.links, ec)) {
        const int port = PortNames::PortForLinkName(entry.path().filename().string());
        // A link whose device has gone (a simulator that ended) is no port.
        if (port == 0 || !fs::exists(entry.path(), ec))
            continue;
        std::string target = entry.path().string();
        if (fs::is_symlink(entry.symlink_status(ec)))
            target = fs::read_symlink(entry.path(), ec).string();
        list.Add(port, Describe(target, {}, entry.path().string()));
    }
}

bool EnumeratePorts(unsigned& count, std::string& text)
{
    PortEnumerator enumerator;
    return enumerator.Enumerate(count, text);
}

bool EnumeratePorts(unsigned& count, std::string& text, const PortRoots& roots)
{
    PortEnumerator enumerator(roots, SystemCalls::Real(), {});
    return enumerator.Enumerate(count, text);
}
