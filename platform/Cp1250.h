#pragma once

#include <string>
#include <string_view>

// Windows-1250 (Central European) text at the edges of the files the
// program shares with others; inside, everything is UTF-8.
namespace cp1250 {

// A character Windows-1250 cannot hold becomes '?'; so does a malformed
// UTF-8 sequence.
std::string FromUtf8(std::string_view utf8);
// The five unassigned bytes (0x81, 0x83, 0x88, 0x90, 0x98) become U+FFFD.
std::string ToUtf8(std::string_view bytes);

} // namespace cp1250
