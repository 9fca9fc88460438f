#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

// The table of ports found by enumeration, COM1 ... COM256, and the port
// list text made from it: "COM%u:%s\n" for a port with a description,
// "COM%u\n" for one without, in increasing port number.
class PortList {
public:
    static constexpr int kFirstPort = 1;
    static constexpr int kLastPort = 256;
    static constexpr std::size_t kMaxDescription = 255;

    // Marks port n present; keeps a description it already has.
    void Add(int port);
    // Marks port n present with a description (replacing an earlier one),
    // cut to kMaxDescription bytes on a character boundary; an empty text
    // leaves it without description.
    void Add(int port, std::string_view description);

    bool Present(int port) const;

    // Builds the port list text; a description ending in " (COMn)" loses
    // that suffix.
    std::string Text(unsigned& count) const;

    // "USB Serial Port (COM5)" -> "USB Serial Port"; anything after the
    // closing parenthesis keeps the text as it is.
    static std::string CutPortSuffix(std::string_view description);

private:
    static bool InRange(int port) { return port >= kFirstPort && port <= kLastPort; }

    std::array<std::optional<std::string>, kLastPort> entries_;
};
