#include "device/TelnetComPort.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using T = TelnetComPort;

constexpr std::uint8_t IAC = T::kIac, WILL = T::kWill, WONT = T::kWont, DO = T::kDo,
                       DONT = T::kDont, SB = T::kSb, SE = T::kSe, COM = T::kComPort;

// The four commands that set 300 baud, 7 data bits, no parity, 1 stop bit.
const Bytes kLine300N71 = { IAC, SB, COM, 1, 0, 0, 1, 44, IAC, SE, IAC, SB, COM, 2, 7, IAC, SE, IAC,
    SB, COM, 3, 1, IAC, SE, IAC, SB, COM, 4, 1, IAC, SE };

struct Output {
    Bytes data;
    Bytes replies;
};

Output Feed(T& telnet, const Bytes& in, bool byteByByte = false)
{
    Output out;
    if (byteByByte) {
        for (const auto b : in)
            telnet.Receive(&b, 1, out.data, out.replies);
    } else {
        telnet.Receive(in.data(), in.size(), out.data, out.replies);
    }
    return out;
}

} // namespace

TEST(TelnetComPort, ServerStreams)
{
    const struct {
        const char* what;
        Bytes in;
        Bytes data;
        Bytes replies;
    } cases[] = {
        { "plain data", { 'A', 'B', 0x0D }, { 'A', 'B', 0x0D }, {} },
        { "a doubled IAC is one 0xFF data byte", { 'A', IAC, IAC, 'B' }, { 'A', IAC, 'B' }, {} },
        { "the server agrees to everything asked",
            { IAC, DO, 0, IAC, DO, 3, IAC, WILL, 0, IAC, WILL, 3, 'x' }, { 'x' }, {} },
        { "the COM-PORT agreed: the line is set once", { IAC, DO, COM, IAC, DO, COM, 'x' }, { 'x' },
            kLine300N71 },
        { "unknown options refused once each, however often asked",
            { IAC, WILL, 1, IAC, WILL, 1, IAC, DO, 24, IAC, DO, 24, IAC, DO, 1 }, {},
            { IAC, DONT, 1, IAC, WONT, 24, IAC, WONT, 1 } },
        { "an option withdrawn and asked for again is refused again",
            { IAC, WILL, 1, IAC, WONT, 1, IAC, WILL, 1 }, {}, { IAC, DONT, 1, IAC, DONT, 1 } },
        { "a refusal of what was asked needs no answer",
            { IAC, DONT, 0, IAC, WONT, 3, IAC, DONT, COM, 'x' }, { 'x' }, {} },
        { "an agreed option withdrawn is confirmed", { IAC, DO, 0, IAC, DONT, 0, IAC, DONT, 0 }, {},
            { IAC, WONT, 0 } },
        { "NOP, GA, DM and a stray SE are skipped",
            { 'a', IAC, 241, 'b', IAC, 249, IAC, 242, IAC, SE, 'c' }, { 'a', 'b', 'c' }, {} },
        { "subnegotiations are not data, IAC IAC inside them included",
            { 'a', IAC, SB, 24, 1, IAC, IAC, 2, IAC, SE, 'b' }, { 'a', 'b' }, {} },
        { "a command inside a subnegotiation ends it and counts",
            { IAC, SB, COM, 101, IAC, WILL, 1, 'z' }, { 'z' }, { IAC, DONT, 1 } },
        { "CR NUL is a bare CR until the server sends binary", { 'a', 0x0D, 0x00, 'b', 0x00 },
            { 'a', 0x0D, 'b', 0x00 }, {} },
        { "in binary a NUL after CR is data", { IAC, WILL, 0, 0x0D, 0x00 }, { 0x0D, 0x00 }, {} },
    };
    for (const auto& c : cases) {
        for (const bool byteByByte : { false, true }) {
            SCOPED_TRACE(std::string(c.what) + (byteByByte ? ", a byte at a time" : ""));
            T telnet(T::Line {});
            telnet.Start();
            const Output out = Feed(telnet, c.in, byteByByte);
            EXPECT_EQ(out.data, c.data);
            EXPECT_EQ(out.replies, c.replies);
        }
    }
}

TEST(TelnetComPort, TheLineAsAskedIacDoubledAndTheServersConfirmation)
{
    // Asked before the client offered: the answer is WILL, then the line.
    T telnet(T::Line { 0x0000FFFF, 8, 3, 2 });
    const Output out = Feed(telnet, { IAC, DO, COM });
    EXPECT_EQ(out.replies,
        (Bytes { IAC, WILL, COM, IAC, SB, COM, 1, 0, 0, IAC, IAC, IAC, IAC, IAC, SE, IAC, SB, COM,
            2, 8, IAC, SE, IAC, SB, COM, 3, 3, IAC, SE, IAC, SB, COM, 4, 2, IAC, SE }));
    // Confirmed once every field is answered; a malformed answer is ignored.
    Feed(telnet, { IAC, SB, COM, 101, 0, 0, 1, 44, IAC, SE, IAC, SB, COM, 102, 7, IAC, SE });
    Feed(telnet, { IAC, SB, COM, 103, 1, IAC, SE, IAC, SB, COM, 101, 0, 9, IAC, SE });
    EXPECT_FALSE(telnet.confirmed().has_value());
    Feed(telnet, { IAC, SB, COM, 104, 1, IAC, SE });
    ASSERT_TRUE(telnet.confirmed().has_value());
    EXPECT_EQ(telnet.confirmed()->baud, 300U);
    EXPECT_EQ(telnet.confirmed()->dataSize, 7);
}

TEST(TelnetComPort, FloodsStayBounded)
{
    // A never-ending subnegotiation: no data, no answers, fixed memory; the
    // stream goes on normally once it ends.
    T telnet(T::Line {});
    telnet.Start();
    Output out = Feed(telnet, { IAC, SB, COM, 101 });
    const Bytes filler(4096, 0x55);
    for (int i = 0; i < 256; ++i)
        Feed(telnet, filler);
    out = Feed(telnet, { IAC, SE, 'o', 'k' });
    EXPECT_EQ(out.data, (Bytes { 'o', 'k' }));
    EXPECT_EQ(out.replies, Bytes {});
    EXPECT_FALSE(telnet.confirmed().has_value()); // an overlong answer is dropped whole

    // A storm of requests for one unknown option gets one refusal.
    Bytes storm;
    for (int i = 0; i < 10000; ++i)
        storm.insert(storm.end(), { IAC, WILL, 31, IAC, DO, 31, IAC, 241 });
    out = Feed(telnet, storm);
    EXPECT_EQ(out.data, Bytes {});
    EXPECT_EQ(out.replies, (Bytes { IAC, DONT, 31, IAC, WONT, 31 }));
}
