#include "common/DdeName.h"

#include <cstdint>

namespace {

char32_t FoldLetter(char32_t c)
{
    if (c >= U'A' && c <= U'Z')
        return c + 0x20;
    // Latin-1 capitals, except the multiplication sign.
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return c + 0x20;
    // Latin Extended-A: mostly capital/small pairs at even/odd code points,
    // with two runs shifted by one and a few letters that have no pair.
    if ((c >= 0x0100 && c <= 0x012F) || (c >= 0x0132 && c <= 0x0137)
        || (c >= 0x014A && c <= 0x0177))
        return (c % 2 == 0) ? c + 1 : c;
    if ((c >= 0x0139 && c <= 0x0148) || (c >= 0x0179 && c <= 0x017E))
        return (c % 2 == 1) ? c + 1 : c;
    if (c == 0x0178)
        return 0xFF;
    return c;
}

// Decodes one UTF-8 sequence at s[i]; returns its length, 0 when invalid.
size_t DecodeUtf8(std::string_view s, size_t i, char32_t& out)
{
    const auto b0 = static_cast<unsigned char>(s[i]);
    size_t len = 0;
    char32_t c = 0;
    if (b0 < 0x80)
        len = 1, c = b0;
    else if ((b0 & 0xE0) == 0xC0)
        len = 2, c = b0 & 0x1F;
    else if ((b0 & 0xF0) == 0xE0)
        len = 3, c = b0 & 0x0F;
    else if ((b0 & 0xF8) == 0xF0)
        len = 4, c = b0 & 0x07;
    else
        return 0;
    if (i + len > s.size())
        return 0;
    for (size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (b & 0x3F);
    }
    // Overlong forms would let two spellings of one letter differ.
    static constexpr char32_t minimum[5] = { 0, 0, 0x80, 0x800, 0x10000 };
    if (c < minimum[len] || c > 0x10FFFF)
        return 0;
    out = c;
    return len;
}

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

std::string FoldDdeName(std::string_view name)
{
    std::string out;
    out.reserve(name.size());
    size_t i = 0;
    while (i < name.size()) {
        char32_t c = 0;
        const size_t len = DecodeUtf8(name, i, c);
        if (len == 0) {
            out += name[i];
            ++i;
            continue;
        }
        AppendUtf8(out, FoldLetter(c));
        i += len;
    }
    return out;
}

bool SameDdeName(std::string_view a, std::string_view b)
{
    return FoldDdeName(a) == FoldDdeName(b);
}
