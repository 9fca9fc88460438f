#include "device/PortList.h"

#include <cctype>

namespace {

// At most `limit` bytes, never ending inside a UTF-8 character.
std::string_view cutUtf8(std::string_view text, std::size_t limit)
{
    if (text.size() <= limit)
        return text;
    std::size_t end = limit;
    // Back off over continuation bytes (10xxxxxx) to the start of the cut character.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

} // namespace

void PortList::Add(int port)
{
    if (!InRange(port))
        return;
    auto& entry = entries_[static_cast<std::size_t>(port - 1)];
    if (!entry)
        entry.emplace();
}

void PortList::Add(int port, std::string_view description)
{
    if (!InRange(port))
        return;
    auto& entry = entries_[static_cast<std::size_t>(port - 1)];
    entry.emplace(cutUtf8(description, kMaxDescription));
}

bool PortList::Present(int port) const
{
    return InRange(port) && entries_[static_cast<std::size_t>(port - 1)].has_value();
}

std::string PortList::CutPortSuffix(std::string_view description)
{
    constexpr std::string_view marker = " (COM";
    const auto at = description.find(marker);
    if (at == std::string_view::npos)
        return std::string(description);
    std::size_t i = at + marker.size();
    const std::size_t digitsFrom = i;
    while (i < description.size() && std::isdigit(static_cast<unsigned char>(description[i])))
        ++i;
    if (i == digitsFrom || i + 1 != description.size() || description[i] != ')')
        return std::string(description);
    return std::string(description.substr(0, at));
}

std::string PortList::Text(unsigned& count) const
{
    std::string text;
    count = 0;
    for (int port = kFirstPort; port <= kLastPort; ++port) {
        const auto& entry = entries_[static_cast<std::size_t>(port - 1)];
        if (!entry)
            continue;
        ++count;
        text += "COM";
        text += std::to_string(port);
        if (!entry->empty()) {
            text += ':';
            text += CutPortSuffix(*entry);
        }
        text += '\n';
    }
    return text;
}
