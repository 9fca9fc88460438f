#include "device/TelnetComPort.h"

namespace {

constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kNul = 0x00;

void put(std::vector<std::uint8_t>& out, std::uint8_t a, std::uint8_t b, std::uint8_t c)
{
    out.push_back(a);
    out.push_back(b);
    out.push_back(c);
}

// A subnegotiation's value byte; 0xFF is doubled on the wire.
void putValue(std::vector<std::uint8_t>& out, std::uint8_t value)
{
    out.push_back(value);
    if (value == TelnetComPort::kIac)
        out.push_back(value);
}

} // namespace

TelnetComPort::TelnetComPort(Line line)
    : line_(line)
{
}

bool TelnetComPort::OursWanted(std::uint8_t option)
{
    return option == kBinary || option == kSuppressGoAhead || option == kComPort;
}

bool TelnetComPort::TheirsWanted(std::uint8_t option)
{
    return option == kBinary || option == kSuppressGoAhead;
}

std::vector<std::uint8_t> TelnetComPort::Start()
{
    std::vector<std::uint8_t> out;
    for (const std::uint8_t option : { kBinary, kSuppressGoAhead, kComPort }) {
        ours_[option] = State::WantYes;
        put(out, kIac, kWill, option);
    }
    for (const std::uint8_t option : { kBinary, kSuppressGoAhead }) {
        theirs_[option] = State::WantYes;
        put(out, kIac, kDo, option);
    }
    return out;
}

void TelnetComPort::Receive(const std::uint8_t* bytes, std::size_t size,
    std::vector<std::uint8_t>& data, std::vector<std::uint8_t>& replies)
{
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t b = bytes[i];
        switch (parse_) {
        case Parse::Data:
            if (b == kIac) {
                parse_ = Parse::Command;
                break;
            }
            // Outside binary mode a bare CR travels as CR NUL.
            if (b == kNul && afterCr_ && theirs_[kBinary] != State::Yes) {
                afterCr_ = false;
                break;
            }
            afterCr_ = b == kCr;
            data.push_back(b);
            break;
        case Parse::Command:
            if (b == kIac) {
                afterCr_ = false;
                data.push_back(b);
                parse_ = Parse::Data;
            } else if (b >= kWill && b <= kDont) {
                command_ = b;
                parse_ = Parse::Option;
            } else if (b == kSb) {
                parse_ = Parse::SubOption;
            } else {
                parse_ = Parse::Data; // NOP, GA, DM, a stray SE ...: nothing to do
            }
            break;
        case Parse::Option:
            Command(command_, b, replies);
            parse_ = Parse::Data;
            break;
        case Parse::SubOption:
            subOption_ = b;
            subSize_ = 0;
            subOverflow_ = false;
            parse_ = Parse::Sub;
            break;
        case Parse::Sub:
            if (b == kIac) {
                parse_ = Parse::SubCommand;
                break;
            }
            if (subSize_ < sub_.size())
                sub_[subSize_++] = b;
            else
                subOverflow_ = true;
            break;
        case Parse::SubCommand:
            if (b == kIac) {
                if (subSize_ < sub_.size())
                    sub_[subSize_++] = b;
                else
                    subOverflow_ = true;
                parse_ = Parse::Sub;
            } else if (b == kSe) {
                SubnegotiationEnd();
                parse_ = Parse::Data;
            } else {
                // A command inside a subnegotiation ends it unfinished; the
                // command itself still counts.
                subSize_ = 0;
                --i;
                parse_ = Parse::Command;
            }
            break;
        }
    }
}

void TelnetComPort::Command(
    std::uint8_t command, std::uint8_t option, std::vector<std::uint8_t>& replies)
{
    const bool ours = command == kDo || command == kDont;
    auto& state = ours ? ours_[option] : theirs_[option];
    auto& refused = ours ? refusedOurs_[option] : refusedTheirs_[option];
    const bool wanted = ours ? OursWanted(option) : TheirsWanted(option);
    const std::uint8_t yes = ours ? kWill : kDo;
    const std::uint8_t no = ours ? kWont : kDont;

    if (command == kDo || command == kWill) {
        if (!wanted) {
            if (!refused)
                put(replies, kIac, no, option);
            refused = true;
            return;
        }
        if (state == State::No)
            put(replies, kIac, yes, option);
        const bool agreed = state != State::Yes;
        state = State::Yes;
        if (agreed && ours && option == kComPort)
            SendLine(replies);
        return;
    }
    // WONT or DONT: always agreed to.
    refused = false;
    if (state == State::Yes)
        put(replies, kIac, no, option);
    state = State::No;
}

void TelnetComPort::SendLine(std::vector<std::uint8_t>& replies)
{
    const auto sub = [&](std::uint8_t command, std::initializer_list<std::uint8_t> values) {
        put(replies, kIac, kSb, kComPort);
        replies.push_back(command);
        for (const auto v : values)
            putValue(replies, v);
        replies.push_back(kIac);
        replies.push_back(kSe);
    };
    sub(kSetBaudRate,
        { static_cast<std::uint8_t>(line_.baud >> 24), static_cast<std::uint8_t>(line_.baud >> 16),
            static_cast<std::uint8_t>(line_.baud >> 8), static_cast<std::uint8_t>(line_.baud) });
    sub(kSetDataSize, { line_.dataSize });
    sub(kSetParity, { line_.parity });
    sub(kSetStopSize, { line_.stopSize });
    lineSent_ = true;
}

// No subnegotiation of the server's needs an answer.
void TelnetComPort::SubnegotiationEnd()
{
    if (subOverflow_ || subOption_ != kComPort || subSize_ < 2)
        return;
    const std::uint8_t code = sub_[0];
    const std::uint8_t* value = sub_.data() + 1;
    const std::size_t size = subSize_ - 1;
    switch (code) {
    case kServerOffset + kSetBaudRate:
        if (size != 4)
            return;
        confirmedSoFar_.baud = (std::uint32_t { value[0] } << 24)
            | (std::uint32_t { value[1] } << 16) | (std::uint32_t { value[2] } << 8) | value[3];
        confirmedFields_ |= 1U;
        break;
    case kServerOffset + kSetDataSize:
        confirmedSoFar_.dataSize = value[0];
        confirmedFields_ |= 2U;
        break;
    case kServerOffset + kSetParity:
        confirmedSoFar_.parity = value[0];
        confirmedFields_ |= 4U;
        break;
    case kServerOffset + kSetStopSize:
        confirmedSoFar_.stopSize = value[0];
        confirmedFields_ |= 8U;
        break;
    default:
        return; // line and modem state notifications, signatures: not needed
    }
    if (confirmedFields_ == 15U)
        confirmed_ = confirmedSoFar_;
}
