#include "device/FrameEncoder.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace {

constexpr std::uint8_t kStart = 0x40;
constexpr std::uint8_t kDigitZero = 0x30;
constexpr std::uint8_t kMinus = 0x2D;
constexpr std::uint8_t kCarriageReturn = 0x0D;

long tenths(double value, long low, long high)
{
    if (!std::isfinite(value))
        return 0;
    return std::clamp(std::lround(value * 10.0), low, high);
}

} // namespace

std::uint8_t FrameEncoder::WithParity(std::uint8_t payload)
{
    payload &= 0x3F;
    if ((std::popcount(static_cast<unsigned>(payload)) & 1) == 0)
        payload |= 0x40;
    return payload;
}

FrameEncoder::Frame FrameEncoder::Encode(const Measurement& m)
{
    Frame f {};
    auto digit = [](long v) { return WithParity(static_cast<std::uint8_t>(kDigitZero + v)); };
    // Writes `count` decimal digits of v at position `at`, most significant first.
    auto digits = [&f, &digit](std::size_t at, std::size_t count, long v) {
        for (std::size_t i = count; i-- > 0;) {
            f[at + i] = digit(v % 10);
            v /= 10;
        }
    };

    f[0] = kStart;
    std::uint8_t flags = 0;
    flags |= m.humidityError ? 0x01 : 0;
    flags |= m.temperatureError ? 0x02 : 0;
    flags |= m.calibrationError ? 0x04 : 0;
    flags |= m.pressureError ? 0x08 : 0;
    f[1] = WithParity(static_cast<std::uint8_t>(0x30 | flags));

    // Serial number: low byte first, each byte as two hex digits, high nibble first.
    const auto serial = static_cast<unsigned>(std::clamp(m.serialNumber, 0, 0xFFFF));
    f[2] = digit((serial >> 4) & 0xF);
    f[3] = digit(serial & 0xF);
    f[4] = digit((serial >> 12) & 0xF);
    f[5] = digit((serial >> 8) & 0xF);

    digits(6, 3, tenths(m.humidity, 0, 999));

    const long t = tenths(m.temperature, -999, 9999);
    if (t < 0) {
        f[9] = WithParity(kMinus);
        digits(10, 3, -t);
    } else {
        digits(9, 4, t);
    }

    digits(13, 5, tenths(m.pressure, 0, 99999));
    f[18] = kCarriageReturn;
    return f;
}
