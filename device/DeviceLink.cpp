#include "device/DeviceLink.h"

#include "resources/CommandIds.h"

void DeviceLink::OnByteReceived(std::uint8_t byte)
{
    ++lineLength_;
    if (lineLength_ >= kLineBufferSize) {
        // An overlong line is forgotten, this byte with it; no bad frame.
        lineLength_ = 0;
        return;
    }
    line_[static_cast<std::size_t>(lineLength_ - 1)] = byte;
    if (byte != kCarriageReturn)
        return;

    const bool good = decoder_.decode(line_.data(), static_cast<std::size_t>(lineLength_));
    if (good) {
        if (watchdogTimerId_ != 0)
            timer_.Kill(watchdogTimerId_);
        watchdogTimerId_ = timer_.Arm(ids::TIMER_LINK_WATCHDOG, kWatchdogMs);
    }
    lineLength_ = 0;
    UpdateLinkState(good);
}

void DeviceLink::UpdateLinkState(bool good)
{
    const bool changed = good != linkState_;
    if (changed)
        linkState_ = good;
    if (reaction_)
        reaction_(good, changed);
}
