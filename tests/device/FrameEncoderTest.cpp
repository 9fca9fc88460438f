#include "device/FrameEncoder.h"
#include "device/FrameDecoder.h"
#include "support/Frames.h"

#include <gtest/gtest.h>

namespace {

testframes::Bytes bytes(const FrameEncoder::Frame& f)
{
    return { f.begin(), f.end() };
}

} // namespace

TEST(FrameEncoder, ReproducesTheWorkedExamples)
{
    Measurement m;
    m.serialNumber = 4660;
    m.humidity = 45.6;
    m.temperature = 23.4;
    m.pressure = 1013.2;
    EXPECT_EQ(testframes::hex(bytes(FrameEncoder::Encode(m))),
        testframes::hex(testframes::workedExample()));
    m.temperature = -12.3;
    EXPECT_EQ(testframes::hex(bytes(FrameEncoder::Encode(m))),
        testframes::hex(testframes::minusExample()));

    Measurement e;
    e.temperatureError = true;
    e.serialNumber = 1234;
    e.humidity = 99.9;
    e.temperature = 100.5;
    e.pressure = 987.6;
    EXPECT_EQ(testframes::hex(bytes(FrameEncoder::Encode(e))),
        testframes::hex(testframes::errorExample()));
}

TEST(FrameEncoder, DecoderReadsBackEveryFlagSerialAndValue)
{
    FrameDecoder decoder;
    int cases = 0;
    for (int flags = 0; flags < 16; ++flags) {
        for (int serial : { 0, 1, 0x00FF, 0x0100, 4660, 0xABCD, 65535 }) {
            for (int t : { -999, -1, 0, 1, 234, 999, 1000, 9999 }) {
                Measurement m;
                m.humidityError = (flags & 1) != 0;
                m.temperatureError = (flags & 2) != 0;
                m.calibrationError = (flags & 4) != 0;
                m.pressureError = (flags & 8) != 0;
                m.serialNumber = serial;
                m.temperature = t * 0.1;
                m.humidity = (serial % 1000) * 0.1;
                m.pressure = (serial * 7 % 100000) * 0.1;
                const auto f = FrameEncoder::Encode(m);
                ASSERT_TRUE(decoder.decode(f.data(), f.size()))
                    << flags << " " << serial << " " << t;
                EXPECT_EQ(decoder.measurement(), m) << flags << " " << serial << " " << t;
                ++cases;
            }
        }
    }
    EXPECT_EQ(cases, 16 * 7 * 8);
}

TEST(FrameEncoder, OutOfRangeValuesAreHeldToTheFrame)
{
    Measurement m;
    m.temperature = -150.0;
    m.humidity = 120.0;
    m.pressure = 20000.0;
    m.serialNumber = 70000;
    const auto f = FrameEncoder::Encode(m);
    FrameDecoder decoder;
    ASSERT_TRUE(decoder.decode(f.data(), f.size()));
    EXPECT_DOUBLE_EQ(decoder.measurement().temperature, -99.9);
    EXPECT_DOUBLE_EQ(decoder.measurement().humidity, 99.9);
    EXPECT_DOUBLE_EQ(decoder.measurement().pressure, 9999.9);
    EXPECT_EQ(decoder.measurement().serialNumber, 65535);
}
