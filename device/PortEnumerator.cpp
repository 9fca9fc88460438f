#include "device/PortEnumerator.h"

#include "device/NetworkAddress.h"
#include "resources/DeviceTexts.h"

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Through the stat of the path, so that a link to a device counts too.
bool characterDevice(const std::string& path)
{
    struct stat st { };
    return ::stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

} // namespace

PortEnumerator::PortEnumerator()
    : PortEnumerator(PortRoots::System(), &UdevPorts::Scan)
{
}

PortEnumerator::PortEnumerator(PortRoots roots, DeviceSource source)
    : roots_(std::move(roots))
    , source_(std::move(source))
{
    if (roots_.links.empty())
        roots_.links = PortNames::LinkFolder();
}

bool PortEnumerator::Enumerate(unsigned& count, std::string& text) noexcept
{
    try {
        const auto models = Models();
        PortList list;
        for (int port = PortList::kFirstPort; port <= PortList::kLastPort; ++port) {
            const PortDevice device = PortNames::Device(port, roots_);
            if (device.linked) {
                std::error_code ec;
                const fs::path target = fs::read_symlink(device.path, ec);
                // A server is listed by its address: whether it answers is
                // only known by connecting, which opening the port does.
                if (!ec) {
                    if (const auto address = NetworkAddress::Parse(target.string())) {
                        list.Add(port, address->Text());
                        continue;
                    }
                }
                // A link whose device is gone hides the port: opening it fails too.
                if (!characterDevice(device.path))
                    continue;
                list.Add(port, Describe(ec ? device.path : target.string(), {}, device.path));
                continue;
            }
            const std::string name = PortNames::TableName(port);
            if (!TablePortPresent(name))
                continue;
            const auto model = models.find(device.path);
            list.Add(port,
                Describe(name, model != models.end() ? model->second : std::string(), device.path));
        }
        text = list.Text(count);
        return true;
    } catch (...) {
        count = 0;
        text.clear();
        return false;
    }
}

std::map<std::string, std::string> PortEnumerator::Models() const
{
    std::map<std::string, std::string> models;
    std::vector<TtyDevice> devices;
    try {
        if (!source_ || !source_(devices))
            return models;
    } catch (...) {
        return models; // no models, the ports are still listed
    }
    for (const auto& device : devices) {
        // Only devices in the device folder of the roots; a test tree's
        // names never meet the machine's database.
        if (fs::path(device.devnode).parent_path() == fs::path(roots_.dev))
            models[device.devnode] = device.description;
    }
    return models;
}

bool PortEnumerator::TablePortPresent(const std::string& name) const
{
    if (!characterDevice((fs::path(roots_.dev) / name).string()))
        return false;
    const fs::path sys = fs::path(roots_.sys) / "class/tty" / name;
    std::error_code ec;
    if (!fs::exists(sys, ec))
        return false;
    if (name.rfind("ttyS", 0) != 0)
        return true;
    // The 8250 driver registers ports that have no hardware, with type 0.
    std::ifstream in(sys / "type");
    int type = 0;
    return (in >> type) && type != 0;
}

std::string PortEnumerator::Describe(
    const std::string& name, const std::string& model, const std::string& path)
{
    std::string d = name;
    if (!model.empty())
        d.append(texts::device::kSeparator).append(model);
    if (::access(path.c_str(), R_OK | W_OK) != 0)
        d.append(texts::device::kSeparator).append(texts::device::kNoAccess);
    return d;
}

bool EnumeratePorts(unsigned& count, std::string& text)
{
    PortEnumerator enumerator;
    return enumerator.Enumerate(count, text);
}
