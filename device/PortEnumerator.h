#pragma once

#include "device/PortList.h"
#include "device/PortNames.h"
#include "device/UdevPorts.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

// Finds the serial ports present without opening any of them: opening a
// tty raises DTR and RTS and closing drops them, which resets many boards.
// Each port number goes through PortNames::Device, the rule the port
// itself opens by. A table device is present when its node is a character
// device with an entry in /sys/class/tty (for ttyS also a known serial
// type); a linked port when its link leads to a character device or is a
// network address, listed as the address ("tcp://10.0.0.5:4001"). The
// device database (udev), when there is one, adds the models. Each
// description names the device and says when the user may not open it.
class PortEnumerator {
public:
    using DeviceSource = std::function<bool(std::vector<TtyDevice>&)>;

    PortEnumerator();
    // Tests pass a fake tree and a device source (an empty one: no device
    // database).
    PortEnumerator(PortRoots roots, DeviceSource source);

    // Lists what it can; never throws. False only when the text cannot be
    // built.
    bool Enumerate(unsigned& count, std::string& text) noexcept;

private:
    // Device path -> model, from the database.
    std::map<std::string, std::string> Models() const;
    bool TablePortPresent(const std::string& name) const;
    // "ttyUSB0, FT232R" plus the no-access note when the user may not open it.
    static std::string Describe(
        const std::string& name, const std::string& model, const std::string& path);

    PortRoots roots_;
    DeviceSource source_;
};

// The port list text of the ports present ("COM%u:%s\n" / "COM%u\n"); false
// only when the text cannot be built.
bool EnumeratePorts(unsigned& count, std::string& text);
