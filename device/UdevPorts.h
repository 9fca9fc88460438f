#pragma once

#include <string>
#include <vector>

// A serial device as the device database describes it.
struct TtyDevice {
    std::string devnode; // "/dev/ttyUSB0"
    std::string sysname; // "ttyUSB0"
    std::string description; // model from the database, else model, vendor, driver
};

// Lists tty devices with a real parent device through libudev, opened at
// run time (no build dependency). Fails quietly when the library or one of
// its functions is missing.
class UdevPorts {
public:
    static bool Scan(std::vector<TtyDevice>& devices);
};
