#include "device/FrameDecoder.h"

#include <bit>

namespace {

constexpr std::uint8_t kPayloadMask = 0x3F;
constexpr std::uint8_t kDigitZero = 0x30;
constexpr std::uint8_t kMinus = 0x2D;
constexpr std::uint8_t kStatusMarker = 0x30; // bits 4 and 5 of the status payload

bool oddParity7(std::uint8_t byte)
{
    return (std::popcount(static_cast<unsigned>(byte & 0x7F)) & 1) != 0;
}

} // namespace

bool FrameDecoder::decode(const std::uint8_t* line, std::size_t length)
{
    if (line == nullptr || length != kFrameLength)
        return false;
    // Parity over bits 0-6 of the raw bytes, start and CR excluded.
    for (std::size_t i = 1; i + 1 < kFrameLength; ++i) {
        if (!oddParity7(line[i]))
            return false;
    }
    for (std::size_t i = 0; i < kFrameLength; ++i)
        scratch_[i] = line[i] & kPayloadMask;

    const auto& p = scratch_;
    if (p[0] != 0)
        return false;
    if ((p[1] & kStatusMarker) != kStatusMarker)
        return false;

    // Digits are taken without a range test: other characters give values
    // outside the nominal ranges, which are passed on as they are.
    auto d = [&p](std::size_t i) { return static_cast<int>(p[i]) - kDigitZero; };

    Measurement m;
    m.humidityError = (p[1] & 0x01) != 0;
    m.temperatureError = (p[1] & 0x02) != 0;
    m.calibrationError = (p[1] & 0x04) != 0;
    m.pressureError = (p[1] & 0x08) != 0;
    m.serialNumber = d(4) * 4096 + d(5) * 256 + d(2) * 16 + d(3);

    // Multiplied by 0.1, never divided by 10: the last bit matters to the
    // one-decimal presentations downstream.
    const int rh = d(6) * 100 + d(7) * 10 + d(8);
    m.humidity = static_cast<double>(rh) * 0.1;

    // Negated as a double so that "-000" gives minus zero.
    const int tenths = d(10) * 100 + d(11) * 10 + d(12);
    m.temperature = p[9] == kMinus ? -static_cast<double>(tenths) * 0.1
                                   : static_cast<double>(d(9) * 1000 + tenths) * 0.1;

    const int hpa = d(13) * 10000 + d(14) * 1000 + d(15) * 100 + d(16) * 10 + d(17);
    m.pressure = static_cast<double>(hpa) * 0.1;

    measurement_ = m;
    return true;
}
