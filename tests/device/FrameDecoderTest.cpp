#include "device/FrameDecoder.h"
#include "support/Frames.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using testframes::Bytes;

namespace {

bool decode(FrameDecoder& d, const Bytes& b)
{
    return d.decode(b.data(), b.size());
}

Measurement decoded(const Bytes& b)
{
    FrameDecoder d;
    EXPECT_TRUE(decode(d, b)) << testframes::hex(b);
    return d.measurement();
}

} // namespace

TEST(FrameDecoder, WorkedExamplesDecodeToTheirValues)
{
    const Measurement m = decoded(testframes::workedExample());
    EXPECT_EQ(m.serialNumber, 4660);
    EXPECT_FALSE(m.anyError());
    EXPECT_EQ(m.humidity, 456 * 0.1);
    EXPECT_EQ(m.temperature, 23.400000000000002);
    EXPECT_NE(m.temperature, 23.4); // 234 * 0.1, not 234 / 10
    EXPECT_EQ(m.pressure, 10132 * 0.1);

    const Measurement minus = decoded(testframes::minusExample());
    EXPECT_EQ(minus.temperature, -123 * 0.1);
    EXPECT_EQ(minus.serialNumber, 4660);
    EXPECT_EQ(minus.pressure, m.pressure);

    const Measurement err = decoded(testframes::errorExample());
    EXPECT_EQ(err.serialNumber, 1234);
    EXPECT_TRUE(err.temperatureError);
    EXPECT_FALSE(err.humidityError);
    EXPECT_FALSE(err.calibrationError);
    EXPECT_FALSE(err.pressureError);
    EXPECT_EQ(err.humidity, 999 * 0.1);
    EXPECT_EQ(err.temperature, 1005 * 0.1);
    EXPECT_EQ(err.pressure, 9876 * 0.1);
}

TEST(FrameDecoder, FreshDecoderHoldsAllZero)
{
    FrameDecoder d;
    EXPECT_EQ(d.measurement(), Measurement {});
}

TEST(FrameDecoder, EverySingleBitErrorInBits0To6IsRejectedAndBit7Ignored)
{
    const Bytes good = testframes::workedExample();
    FrameDecoder d;
    ASSERT_TRUE(decode(d, testframes::errorExample()));
    const Measurement before = d.measurement();
    for (std::size_t pos = 1; pos <= 17; ++pos) {
        for (int bit = 0; bit <= 6; ++bit) {
            Bytes b = good;
            b[pos] ^= static_cast<std::uint8_t>(1u << bit);
            EXPECT_FALSE(decode(d, b)) << "position " << pos << " bit " << bit;
            EXPECT_EQ(d.measurement(), before) << "a rejected line changed the measurement";
        }
        Bytes b = good;
        b[pos] ^= 0x80;
        ASSERT_TRUE(decode(d, b)) << "bit 7 at position " << pos;
        EXPECT_EQ(d.measurement(), decoded(good));
        ASSERT_TRUE(decode(d, testframes::errorExample()));
    }
}

TEST(FrameDecoder, StartByteNeedsPayloadZeroButNoParity)
{
    for (std::uint8_t start : { 0x00, 0x40, 0x80, 0xC0 }) {
        Bytes b = testframes::workedExample();
        b[0] = start;
        FrameDecoder d;
        EXPECT_TRUE(decode(d, b)) << int(start);
    }
    Bytes b = testframes::workedExample();
    b[0] = 0x41;
    FrameDecoder d;
    EXPECT_FALSE(decode(d, b));
}

TEST(FrameDecoder, WrongLengthsAreRejected)
{
    FrameDecoder d;
    Bytes shortLine = testframes::workedExample();
    shortLine.erase(shortLine.begin() + 5);
    EXPECT_FALSE(decode(d, shortLine));

    Bytes longLine = testframes::workedExample();
    longLine.insert(longLine.begin() + 1, 0x70);
    EXPECT_FALSE(decode(d, longLine));

    Bytes huge(999, 0x70);
    huge.back() = 0x0D;
    EXPECT_FALSE(decode(d, huge));
    // Every length up to the buffer's size is refused without touching memory
    // beyond what was passed (the sanitizer build catches an overrun).
    for (std::size_t len = 1; len <= 999; ++len) {
        if (len == FrameDecoder::kFrameLength)
            continue;
        Bytes line(len, 0x70);
        line.back() = 0x0D;
        ASSERT_FALSE(decode(d, line)) << len;
    }
    EXPECT_EQ(d.measurement(), Measurement {});
}

TEST(FrameDecoder, StatusCharacterNeedsBits4And5)
{
    for (std::uint8_t payload : { 0x1F, 0x2F }) {
        for (std::uint8_t parity : { 0x00, 0x40 }) {
            Bytes b = testframes::workedExample();
            b[1] = payload | parity;
            FrameDecoder d;
            EXPECT_FALSE(decode(d, b)) << int(b[1]);
        }
    }
    // Each flag bit maps to its own error.
    for (int bit = 0; bit < 4; ++bit) {
        Bytes b = testframes::workedExample();
        b[1] = static_cast<std::uint8_t>(0x30 | (1 << bit));
        testframes::fixParity(b);
        const Measurement m = decoded(b);
        EXPECT_EQ(m.humidityError, bit == 0);
        EXPECT_EQ(m.temperatureError, bit == 1);
        EXPECT_EQ(m.calibrationError, bit == 2);
        EXPECT_EQ(m.pressureError, bit == 3);
    }
}

TEST(FrameDecoder, DigitsAreTakenWithoutRangeTest)
{
    Bytes b = testframes::workedExample();
    for (std::size_t i = 2; i <= 5; ++i)
        b[i] = 0x7F;
    EXPECT_EQ(decoded(b).serialNumber, 65535);

    // 0x3A..0x3F are the hex digits A..F, in nibble order low byte first.
    Bytes hexSerial = testframes::workedExample();
    hexSerial[2] = 0x3A; // bits 4-7: A
    hexSerial[3] = 0x3B; // bits 0-3: B
    hexSerial[4] = 0x3C; // bits 12-15: C
    hexSerial[5] = 0x3D; // bits 8-11: D
    testframes::fixParity(hexSerial);
    EXPECT_EQ(decoded(hexSerial).serialNumber, 0xCDAB);

    // A space digit (payload 0x20) counts as -16.
    Bytes space = testframes::workedExample();
    space[8] = 0x20;
    testframes::fixParity(space);
    EXPECT_EQ(decoded(space).humidity, (4 * 100 + 5 * 10 - 16) * 0.1);
}

TEST(FrameDecoder, MinusSignTakesOnlyThreeDigitsAndGivesMinusZero)
{
    Bytes b = testframes::workedExample();
    b[9] = 0x6D;
    b[10] = b[11] = b[12] = 0x70;
    const Measurement m = decoded(b);
    EXPECT_EQ(m.temperature, 0.0);
    EXPECT_TRUE(std::signbit(m.temperature));

    Bytes nine = testframes::minusExample();
    nine[10] = 0x79;
    testframes::fixParity(nine);
    EXPECT_EQ(decoded(nine).temperature, -923 * 0.1);
}
