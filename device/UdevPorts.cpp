#include "device/UdevPorts.h"

#include <dlfcn.h>

namespace {

// The few libudev functions used, declared here so that no development
// headers are needed.
struct udev;
struct udev_enumerate;
struct udev_list_entry;
struct udev_device;

struct Udev {
    udev* (*new_)();
    udev* (*unref)(udev*);
    udev_enumerate* (*enumerate_new)(udev*);
    udev_enumerate* (*enumerate_unref)(udev_enumerate*);
    int (*enumerate_add_match_subsystem)(udev_enumerate*, const char*);
    int (*enumerate_scan_devices)(udev_enumerate*);
    udev_list_entry* (*enumerate_get_list_entry)(udev_enumerate*);
    udev_list_entry* (*list_entry_get_next)(udev_list_entry*);
    const char* (*list_entry_get_name)(udev_list_entry*);
    udev_device* (*device_new_from_syspath)(udev*, const char*);
    udev_device* (*device_unref)(udev_device*);
    udev_device* (*device_get_parent)(udev_device*);
    const char* (*device_get_devnode)(udev_device*);
    const char* (*device_get_sysname)(udev_device*);
    const char* (*device_get_driver)(udev_device*);
    const char* (*device_get_property_value)(udev_device*, const char*);
};

template<typename F> bool bind(void* library, const char* name, F& function)
{
    function = reinterpret_cast<F>(::dlsym(library, name));
    return function != nullptr;
}

bool load(void* library, Udev& u)
{
    return bind(library, "udev_new", u.new_) && bind(library, "udev_unref", u.unref)
        && bind(library, "udev_enumerate_new", u.enumerate_new)
        && bind(library, "udev_enumerate_unref", u.enumerate_unref)
        && bind(library, "udev_enumerate_add_match_subsystem", u.enumerate_add_match_subsystem)
        && bind(library, "udev_enumerate_scan_devices", u.enumerate_scan_devices)
        && bind(library, "udev_enumerate_get_list_entry", u.enumerate_get_list_entry)
        && bind(library, "udev_list_entry_get_next", u.list_entry_get_next)
        && bind(library, "udev_list_entry_get_name", u.list_entry_get_name)
        && bind(library, "udev_device_new_from_syspath", u.device_new_from_syspath)
        && bind(library, "udev_device_unref", u.device_unref)
        && bind(library, "udev_device_get_parent", u.device_get_parent)
        && bind(library, "udev_device_get_devnode", u.device_get_devnode)
        && bind(library, "udev_device_get_sysname", u.device_get_sysname)
        && bind(library, "udev_device_get_driver", u.device_get_driver)
        && bind(library, "udev_device_get_property_value", u.device_get_property_value);
}

std::string text(const char* s)
{
    return s != nullptr ? s : "";
}

std::string describe(const Udev& u, udev_device* device, udev_device* parent)
{
    for (const char* key :
        { "ID_MODEL_FROM_DATABASE", "ID_MODEL", "ID_VENDOR_FROM_DATABASE", "ID_VENDOR" }) {
        std::string value = text(u.device_get_property_value(device, key));
        if (!value.empty())
            return value;
    }
    std::string driver = text(u.device_get_driver(device));
    return driver.empty() ? text(u.device_get_driver(parent)) : driver;
}

} // namespace

bool UdevPorts::Scan(std::vector<TtyDevice>& devices)
{
    void* library = ::dlopen("libudev.so.1", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr)
        return false;
    Udev u {};
    bool ok = load(library, u);
    udev* context = ok ? u.new_() : nullptr;
    udev_enumerate* list = context != nullptr ? u.enumerate_new(context) : nullptr;
    ok = list != nullptr && u.enumerate_add_match_subsystem(list, "tty") >= 0
        && u.enumerate_scan_devices(list) >= 0;
    if (ok) {
        for (auto* e = u.enumerate_get_list_entry(list); e != nullptr;
             e = u.list_entry_get_next(e)) {
            udev_device* device = u.device_new_from_syspath(context, u.list_entry_get_name(e));
            if (device == nullptr)
                continue;
            // Virtual terminals and ptys have no parent device.
            udev_device* parent = u.device_get_parent(device);
            const std::string devnode = text(u.device_get_devnode(device));
            if (parent != nullptr && !devnode.empty())
                devices.push_back(
                    { devnode, text(u.device_get_sysname(device)), describe(u, device, parent) });
            u.device_unref(device);
        }
    }
    if (list != nullptr)
        u.enumerate_unref(list);
    if (context != nullptr)
        u.unref(context);
    ::dlclose(library);
    return ok;
}
