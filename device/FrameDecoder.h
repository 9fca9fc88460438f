#pragma once

#include "device/Measurement.h"

#include <array>
#include <cstddef>
#include <cstdint>

// Checks and decodes one line of the meter (19 bytes ending in CR).
// A rejected line leaves the last accepted measurement untouched.
class FrameDecoder {
public:
    static constexpr std::size_t kFrameLength = 19;

    bool decode(const std::uint8_t* line, std::size_t length);
    const Measurement& measurement() const { return measurement_; }

private:
    Measurement measurement_;
    std::array<std::uint8_t, kFrameLength> scratch_ {};
};
