#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// A port that is a serial device server on the network, written as the
// target of a COMn link: "tcp://HOST:PORT" for a raw TCP connection, or
// "rfc2217://HOST:PORT" for Telnet with the COM-PORT option. HOST is a name,
// an IPv4 address or an IPv6 address in brackets ("[::1]:2000").
struct NetworkAddress {
    enum class Protocol { Raw, Telnet };

    Protocol protocol = Protocol::Raw;
    std::string host; // without brackets
    std::uint16_t port = 0;

    // The address as written, brackets around an IPv6 host included.
    std::string Text() const;

    // Nothing when the text is not a complete, valid address.
    static std::optional<NetworkAddress> Parse(std::string_view text);
    // True for any text with a scheme ("xyz://..."): a link target meant as
    // an address, even when it is not a valid one.
    static bool LooksLikeAddress(std::string_view text);
};
