#include "support/Frames.h"

#include <bit>
#include <cstdio>

namespace testframes {

Bytes workedExample()
{
    return { 0x40, 0x70, 0x73, 0x34, 0x31, 0x32, 0x34, 0x75, 0x76, 0x70, 0x32, 0x73, 0x34, 0x31,
        0x70, 0x31, 0x73, 0x32, 0x0D };
}

Bytes minusExample()
{
    Bytes b = workedExample();
    b[9] = 0x6D;
    b[10] = 0x31;
    b[11] = 0x32;
    b[12] = 0x73;
    return b;
}

Bytes errorExample()
{
    return { 0x40, 0x32, 0x3D, 0x32, 0x70, 0x34, 0x79, 0x79, 0x79, 0x31, 0x70, 0x70, 0x75, 0x70,
        0x79, 0x38, 0x37, 0x76, 0x0D };
}

void fixParity(Bytes& line)
{
    for (std::size_t i = 1; i + 1 < line.size(); ++i) {
        std::uint8_t b = line[i] & 0x3F;
        if ((std::popcount(static_cast<unsigned>(b)) & 1) == 0)
            b |= 0x40;
        line[i] = b;
    }
}

std::string hex(const Bytes& bytes)
{
    std::string out;
    char buf[4];
    for (auto b : bytes) {
        std::snprintf(buf, sizeof buf, "%02X ", b);
        out += buf;
    }
    return out;
}

} // namespace testframes
