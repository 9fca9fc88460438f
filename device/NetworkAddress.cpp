#include "device/NetworkAddress.h"

#include <array>
#include <cctype>

namespace {

constexpr std::string_view kSchemeEnd = "://";
constexpr std::size_t kMaxHost = 253; // the longest DNS name

struct Scheme {
    std::string_view name;
    NetworkAddress::Protocol protocol;
};
constexpr std::array<Scheme, 2> kSchemes = { {
    { "tcp", NetworkAddress::Protocol::Raw },
    { "rfc2217", NetworkAddress::Protocol::Telnet },
} };

bool sameLetters(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i]))
            != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

bool nameCharacter(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '.' || c == '_';
}

// Hex digits, colons and dots (an embedded IPv4 tail), then an optional
// zone ("%eth0"); the resolver has the last word on the rest.
bool ipv6Host(std::string_view host)
{
    if (host.empty() || host.find(':') == std::string_view::npos)
        return false;
    const std::size_t zone = host.find('%');
    const std::string_view address = host.substr(0, zone);
    for (const char c : address) {
        if (std::isxdigit(static_cast<unsigned char>(c)) == 0 && c != ':' && c != '.')
            return false;
    }
    if (zone == std::string_view::npos)
        return true;
    const std::string_view name = host.substr(zone + 1);
    if (name.empty())
        return false;
    for (const char c : name) {
        if (!nameCharacter(c))
            return false;
    }
    return true;
}

bool nameHost(std::string_view host)
{
    if (host.empty() || host.size() > kMaxHost || host.front() == '-' || host.front() == '.')
        return false;
    for (const char c : host) {
        if (!nameCharacter(c))
            return false;
    }
    return true;
}

std::optional<std::uint16_t> portNumber(std::string_view text)
{
    if (text.empty() || text.size() > 5)
        return std::nullopt;
    unsigned value = 0;
    for (const char c : text) {
        if (std::isdigit(static_cast<unsigned char>(c)) == 0)
            return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value == 0 || value > 65535)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

} // namespace

std::string NetworkAddress::Text() const
{
    std::string text = protocol == Protocol::Raw ? "tcp://" : "rfc2217://";
    if (host.find(':') != std::string::npos)
        text.append("[").append(host).append("]");
    else
        text.append(host);
    return text.append(":").append(std::to_string(port));
}

bool NetworkAddress::LooksLikeAddress(std::string_view text)
{
    const std::size_t end = text.find(kSchemeEnd);
    if (end == std::string_view::npos || end == 0)
        return false;
    for (std::size_t i = 0; i < end; ++i) {
        if (std::isalnum(static_cast<unsigned char>(text[i])) == 0)
            return false;
    }
    return true;
}

std::optional<NetworkAddress> NetworkAddress::Parse(std::string_view text)
{
    const std::size_t end = text.find(kSchemeEnd);
    if (end == std::string_view::npos)
        return std::nullopt;
    NetworkAddress address;
    bool known = false;
    for (const auto& scheme : kSchemes) {
        if (sameLetters(text.substr(0, end), scheme.name)) {
            address.protocol = scheme.protocol;
            known = true;
        }
    }
    if (!known)
        return std::nullopt;
    const std::string_view rest = text.substr(end + kSchemeEnd.size());
    std::string_view host;
    std::string_view port;
    if (!rest.empty() && rest.front() == '[') {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos || close + 1 >= rest.size() || rest[close + 1] != ':')
            return std::nullopt;
        host = rest.substr(1, close - 1);
        port = rest.substr(close + 2);
        if (!ipv6Host(host))
            return std::nullopt;
    } else {
        const std::size_t colon = rest.rfind(':');
        if (colon == std::string_view::npos)
            return std::nullopt;
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
        if (!nameHost(host))
            return std::nullopt;
    }
    const auto number = portNumber(port);
    if (!number)
        return std::nullopt;
    address.host = std::string(host);
    address.port = *number;
    return address;
}
