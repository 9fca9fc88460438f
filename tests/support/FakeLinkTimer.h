#pragma once

#include "device/DeviceLink.h"

#include <map>
#include <vector>

// Records what the link does with its watchdog timer and which timers run.
class FakeLinkTimer : public LinkTimer {
public:
    unsigned Arm(unsigned id, unsigned periodMs) override
    {
        armed.push_back({ id, periodMs });
        running[id] = periodMs;
        return id;
    }
    void Kill(unsigned timerId) override
    {
        killed.push_back(timerId);
        running.erase(timerId);
    }

    // The period timer `id` repeats with, 0 when it is not running.
    unsigned Period(unsigned id) const
    {
        const auto it = running.find(id);
        return it != running.end() ? it->second : 0;
    }

    struct Arming {
        unsigned id;
        unsigned periodMs;
    };
    std::vector<Arming> armed;
    std::vector<unsigned> killed;
    std::map<unsigned, unsigned> running; // id -> period
};
