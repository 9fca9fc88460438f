#pragma once

#include "device/PortList.h"
#include "device/PortNames.h"
#include "device/UdevPorts.h"

#include <functional>
#include <string>
#include <vector>

class SystemCalls;

// Finds the serial ports present. Route 1 asks the device database (udev);
// route 2 probes the table's devices not found yet and lists the link
// folder's entries, which win over the table. Each description names the
// device beside its model and says when the user may not open it.
class PortEnumerator {
public:
    using DeviceSource = std::function<bool(std::vector<TtyDevice>&)>;

    PortEnumerator();
    // Tests pass a fake tree, their system calls and a device source (an
    // empty one: no device database).
    PortEnumerator(PortRoots roots, SystemCalls& calls, DeviceSource source);

    bool Enumerate(unsigned& count, std::string& text);

private:
    void FromDatabase(PortList& list);
    void Probe(PortList& list);
    void Links(PortList& list);
    // False for a ttyS whose serial type is unknown (the 8250 driver's phantom ports).
    bool SerialTypeKnown(const std::string& name) const;
    // "ttyUSB0, FT232R" plus the no-access note when opening is refused.
    std::string Describe(
        const std::string& name, const std::string& model, const std::string& path) const;
    bool Accessible(const std::string& path) const;

    PortRoots roots_;
    SystemCalls& calls_;
    DeviceSource source_;
};

// The port list text of the ports present ("COM%u:%s\n" / "COM%u\n"); false
// only when the text cannot be built.
bool EnumeratePorts(unsigned& count, std::string& text);
bool EnumeratePorts(unsigned& count, std::string& text, const PortRoots& roots);
