// A dbus-daemon of the test run's own, so that bus tests never touch the
// desktop's session bus. Start it before the Q(Core)Application exists:
// it sets DBUS_SESSION_BUS_ADDRESS for the process and its children.
#pragma once

#include <string>
#include <sys/types.h>

class PrivateBus {
public:
    PrivateBus() = default;
    ~PrivateBus(); // stops the daemon
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // Starts the daemon and waits for its address. False when it cannot run.
    // With QM482_TEST_NO_BUS set, starts nothing, removes the address from
    // the environment and returns true: the process then has no session bus.
    bool Start();
    void Stop();
    const std::string& Address() const { return address_; }

private:
    pid_t pid_ = -1;
    std::string address_;
};
