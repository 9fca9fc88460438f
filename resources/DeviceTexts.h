#pragma once

#include <string_view>

// Texts of the serial line and the port list (UTF-8).
namespace texts::device {

// Added to a port's description when the user may not open the device.
inline constexpr std::string_view kNoAccess = "brak uprawnień (grupa dialout)";
// Separates the device name from the model in a port's description.
inline constexpr std::string_view kSeparator = ", ";

} // namespace texts::device
