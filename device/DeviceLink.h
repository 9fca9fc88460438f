#pragma once

#include "device/FrameDecoder.h"
#include "device/Measurement.h"

#include <array>
#include <cstdint>
#include <functional>

// The window timer the watchdog runs on, as its owner provides it.
class LinkTimer {
public:
    virtual ~LinkTimer() = default;
    // Arms (or re-arms) timer `id` with a repeating period; returns the id
    // it runs under, 0 if it could not be armed.
    virtual unsigned Arm(unsigned id, unsigned periodMs) = 0;
    virtual void Kill(unsigned timerId) = 0;
};

// Cuts the meter's byte stream into lines, decodes them, and derives the
// link state from good and bad frames and from the watchdog.
class DeviceLink {
public:
    static constexpr unsigned kWatchdogMs = 5000;
    static constexpr int kLineBufferSize = 1000;
    static constexpr std::uint8_t kCarriageReturn = 0x0D;

    // Called after every update: good frame or failure, and whether the
    // link state changed.
    using Reaction = std::function<void(bool good, bool changed)>;

    explicit DeviceLink(LinkTimer& timer)
        : timer_(timer)
    {
    }

    void SetReaction(Reaction reaction) { reaction_ = std::move(reaction); }

    void OnByteReceived(std::uint8_t byte);
    void UpdateLinkState(bool good);
    // Timer 1035 fired. The timer keeps running: every further expiry
    // without a good frame refreshes the no-link display again.
    void OnWatchdogExpired() { UpdateLinkState(false); }

    bool linkState() const { return linkState_; }
    const Measurement& measurement() const { return decoder_.measurement(); }
    int lineLength() const { return lineLength_; }
    unsigned watchdogTimerId() const { return watchdogTimerId_; }

private:
    LinkTimer& timer_;
    Reaction reaction_;
    FrameDecoder decoder_;
    std::array<std::uint8_t, kLineBufferSize> line_ {};
    int lineLength_ = 0;
    bool linkState_ = false;
    unsigned watchdogTimerId_ = 0;
};
