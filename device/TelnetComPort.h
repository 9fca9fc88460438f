#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// The client side of a Telnet stream with the COM-PORT option (RFC 2217),
// as bytes only: no socket. It asks for BINARY and SUPPRESS-GO-AHEAD both
// ways and offers COM-PORT-OPTION; once the server agrees to the latter it
// sets the remote line. Every other option is refused, once per request.
// Received bytes come out as the meter's data (IAC IAC is one 0xFF) and the
// answers to send back. Memory is fixed: a subnegotiation longer than
// kMaxSubnegotiation is dropped whole, however long it runs.
class TelnetComPort {
public:
    static constexpr std::uint8_t kIac = 255;
    static constexpr std::uint8_t kDont = 254;
    static constexpr std::uint8_t kDo = 253;
    static constexpr std::uint8_t kWont = 252;
    static constexpr std::uint8_t kWill = 251;
    static constexpr std::uint8_t kSb = 250;
    static constexpr std::uint8_t kSe = 240;
    static constexpr std::uint8_t kBinary = 0;
    static constexpr std::uint8_t kSuppressGoAhead = 3;
    static constexpr std::uint8_t kComPort = 44;
    // COM-PORT commands, client to server; the server answers with +100.
    static constexpr std::uint8_t kSetBaudRate = 1;
    static constexpr std::uint8_t kSetDataSize = 2;
    static constexpr std::uint8_t kSetParity = 3;
    static constexpr std::uint8_t kSetStopSize = 4;
    static constexpr std::uint8_t kServerOffset = 100;

    static constexpr std::size_t kMaxSubnegotiation = 64;

    // The line as the COM-PORT option writes it: parity 1 none, 2 odd,
    // 3 even; stop size 1 or 2.
    struct Line {
        std::uint32_t baud = 300;
        std::uint8_t dataSize = 7;
        std::uint8_t parity = 1;
        std::uint8_t stopSize = 1;
    };

    explicit TelnetComPort(Line line);

    // What the client says when the connection is made.
    std::vector<std::uint8_t> Start();
    // Received bytes: the data goes to `data`, what must be sent back to
    // `replies`. `data` grows by at most `size` bytes.
    void Receive(const std::uint8_t* bytes, std::size_t size, std::vector<std::uint8_t>& data,
        std::vector<std::uint8_t>& replies);

    // The server agreed to the COM-PORT option and was sent the line.
    bool lineSent() const { return lineSent_; }
    // The line as the server confirmed it (each field once answered).
    const std::optional<Line>& confirmed() const { return confirmed_; }

private:
    enum class State : std::uint8_t { No, WantYes, Yes };
    enum class Parse : std::uint8_t { Data, Command, Option, SubOption, Sub, SubCommand };

    void Command(std::uint8_t command, std::uint8_t option, std::vector<std::uint8_t>& replies);
    void SubnegotiationEnd();
    void SendLine(std::vector<std::uint8_t>& replies);
    static bool OursWanted(std::uint8_t option);
    static bool TheirsWanted(std::uint8_t option);

    Line line_;
    std::array<State, 256> ours_ {}; // options this side performs (WILL)
    std::array<State, 256> theirs_ {}; // options the server performs (DO)
    // Options already refused: a repeated request gets no second refusal.
    std::array<bool, 256> refusedOurs_ {};
    std::array<bool, 256> refusedTheirs_ {};

    Parse parse_ = Parse::Data;
    std::uint8_t command_ = 0;
    std::uint8_t subOption_ = 0;
    std::array<std::uint8_t, kMaxSubnegotiation> sub_ {};
    std::size_t subSize_ = 0;
    bool subOverflow_ = false;
    bool afterCr_ = false;
    bool lineSent_ = false;
    std::optional<Line> confirmed_;
    Line confirmedSoFar_ {};
    unsigned confirmedFields_ = 0;
};
