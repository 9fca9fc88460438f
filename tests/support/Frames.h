#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testframes {

using Bytes = std::vector<std::uint8_t>;

// Serial 4660, no flags, RH 45.6 %, 23.4 degC, 1013.2 hPa.
Bytes workedExample();
// The same reading at -12.3 degC.
Bytes minusExample();
// Temperature error, serial 1234, RH 99.9 %, 100.5 degC, 987.6 hPa.
Bytes errorExample();

// Sets bit 6 of each byte at positions 1-17 as odd parity requires, so a
// test can write payloads and get a well-formed line.
void fixParity(Bytes& line);

std::string hex(const Bytes& bytes);

} // namespace testframes
