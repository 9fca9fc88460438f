#include "device/NetworkAddress.h"

#include <gtest/gtest.h>

TEST(NetworkAddress, ParsesWhatALinkMayName)
{
    using P = NetworkAddress::Protocol;
    const struct {
        const char* text;
        bool valid;
        P protocol;
        const char* host;
        unsigned port;
        const char* written; // Text() of the parsed address
    } cases[] = {
        { "tcp://10.0.0.5:4001", true, P::Raw, "10.0.0.5", 4001, "tcp://10.0.0.5:4001" },
        { "rfc2217://meter-3.lab.example:2217", true, P::Telnet, "meter-3.lab.example", 2217,
            "rfc2217://meter-3.lab.example:2217" },
        { "TCP://localhost:1", true, P::Raw, "localhost", 1, "tcp://localhost:1" },
        { "tcp://[::1]:2000", true, P::Raw, "::1", 2000, "tcp://[::1]:2000" },
        { "rfc2217://[fe80::1%eth0]:65535", true, P::Telnet, "fe80::1%eth0", 65535,
            "rfc2217://[fe80::1%eth0]:65535" },
        { "tcp://[::ffff:10.0.0.5]:4001", true, P::Raw, "::ffff:10.0.0.5", 4001,
            "tcp://[::ffff:10.0.0.5]:4001" },
        // Not an address: each must be refused rather than half understood.
        { "tcp://10.0.0.5", false, P::Raw, "", 0, "" },
        { "tcp://10.0.0.5:", false, P::Raw, "", 0, "" },
        { "tcp://:4001", false, P::Raw, "", 0, "" },
        { "tcp://10.0.0.5:0", false, P::Raw, "", 0, "" },
        { "tcp://10.0.0.5:65536", false, P::Raw, "", 0, "" },
        { "tcp://10.0.0.5:+80", false, P::Raw, "", 0, "" },
        { "tcp://10.0.0.5:4001/", false, P::Raw, "", 0, "" },
        { "tcp://::1:2000", false, P::Raw, "", 0, "" },
        { "tcp://[::1]2000", false, P::Raw, "", 0, "" },
        { "tcp://[::1:2000", false, P::Raw, "", 0, "" },
        { "tcp://[host]:2000", false, P::Raw, "", 0, "" },
        { "tcp://-x:2000", false, P::Raw, "", 0, "" },
        { "tcp://a b:2000", false, P::Raw, "", 0, "" },
        { "socket://10.0.0.5:4001", false, P::Raw, "", 0, "" },
        { "/dev/ttyUSB0", false, P::Raw, "", 0, "" },
        { "", false, P::Raw, "", 0, "" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto address = NetworkAddress::Parse(c.text);
        ASSERT_EQ(address.has_value(), c.valid);
        if (!c.valid)
            continue;
        EXPECT_EQ(address->protocol, c.protocol);
        EXPECT_EQ(address->host, c.host);
        EXPECT_EQ(address->port, c.port);
        EXPECT_EQ(address->Text(), c.written);
    }
}
