#pragma once

#include <string>

// Where port names are looked up: the device folder, the sysfs root and
// the folder of COMn links. Tests point them at a temporary tree.
struct PortRoots {
    std::string dev = "/dev";
    std::string sys = "/sys";
    std::string links; // empty: the link folder of LinkFolder()

    static PortRoots System();
};

// The device a port number means, as both the port list and the port use it.
struct PortDevice {
    std::string path; // empty when the number is out of range
    bool linked = false; // an entry of the link folder decides it
};

// COM port numbers on Linux. A fixed table, stable across runs:
//   COM1-COM64    /dev/ttyS0   ... ttyS63
//   COM65-COM128  /dev/ttyUSB0 ... ttyUSB63
//   COM129-COM192 /dev/ttyACM0 ... ttyACM63
//   COM193-COM256 /dev/ttyAMA0 ... ttyAMA63
// An entry COMn in the link folder (normally a symbolic link to a device)
// wins over the table.
class PortNames {
public:
    static constexpr int kFirstPort = 1;
    static constexpr int kLastPort = 256;
    static constexpr int kPortsPerRange = 64;

    // $QM482_PORTS_DIR, else ~/.config/qm482/ports.
    static std::string LinkFolder();

    // Device name of the table for port n ("ttyUSB0"), empty when out of range.
    static std::string TableName(int port);

    // The one rule for port n: the link folder's entry COMn whenever it
    // exists, even when its device is gone (an unplugged adapter pinned by
    // its by-id name must not fall back to whatever is ttyUSB0 now), else
    // the table's device.
    static PortDevice Device(int port, const PortRoots& roots);
};
