#pragma once

#include "device/DeviceLink.h"

#include <vector>

// Records what the link does with its watchdog timer.
class FakeLinkTimer : public LinkTimer {
public:
    unsigned Arm(unsigned id, unsigned periodMs) override
    {
        armed.push_back({ id, periodMs });
        running = true;
        return id;
    }
    void Kill(unsigned timerId) override
    {
        killed.push_back(timerId);
        running = false;
    }

    struct Arming {
        unsigned id;
        unsigned periodMs;
    };
    std::vector<Arming> armed;
    std::vector<unsigned> killed;
    bool running = false;
};
