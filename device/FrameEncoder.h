#pragma once

#include "device/Measurement.h"

#include <array>
#include <cstdint>

// Builds the meter's frame for a reading: the inverse of FrameDecoder.
// Values are rounded to tenths and held to what the frame can carry
// (temperature -99.9 ... 999.9, humidity 0 ... 99.9, pressure 0 ... 9999.9).
class FrameEncoder {
public:
    static constexpr std::size_t kFrameLength = 19;
    using Frame = std::array<std::uint8_t, kFrameLength>;

    static Frame Encode(const Measurement& m);
    // Sets bit 6 of a payload so that bits 0-6 hold an odd number of ones.
    static std::uint8_t WithParity(std::uint8_t payload);
};
