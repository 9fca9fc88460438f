// The window's rectangle as the settings keep it: screen pixels, right and
// bottom exclusive.
#pragma once

#include <cstdint>

struct WindowRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    bool operator==(const WindowRect&) const = default;
};
