#pragma once

#include <string>
#include <string_view>

// Where port names are looked up: the device folder, the sysfs root and
// the folder of COMn links. Tests point them at a temporary tree.
struct PortRoots {
    std::string dev = "/dev";
    std::string sys = "/sys";
    std::string links; // empty: the link folder of LinkFolder()

    static PortRoots System();
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
    // Port number of a table name ("ttyUSB0" -> 65), 0 if the name is not in the table.
    static int PortForTableName(std::string_view name);
    // "COM7" -> 7; 0 for anything else.
    static int PortForLinkName(std::string_view name);

    // The path to open for port n: the link folder's COMn if it exists,
    // else the table's device; empty when n is out of range.
    static std::string DevicePath(int port, const PortRoots& roots);
    // The port a device path belongs to: a link whose target is that path,
    // else the table entry of its name; 0 if none.
    static int PortForDevicePath(const std::string& path, const PortRoots& roots);
};

std::string DevicePathForPort(int port);
int PortForDevicePath(const std::string& path);
