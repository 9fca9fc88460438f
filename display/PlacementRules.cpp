#include "display/PlacementRules.h"

#include <algorithm>
#include <cstdint>
#include <limits>

WindowAbilities AbilitiesOfPlatform(std::string_view platformName)
{
    const bool wayland = platformName.starts_with("wayland");
    return { !wayland, !wayland };
}

WindowRect RectToSave(const WindowRect& kept, const WindowRect& current, const WindowAbilities& can)
{
    if (can.knowsPosition)
        return current;
    // Wide arithmetic: the kept rectangle comes from a file a person may edit.
    const auto clamp = [](std::int64_t v) {
        return static_cast<std::int32_t>(std::clamp<std::int64_t>(
            v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
    };
    const std::int64_t width = std::int64_t { current.right } - current.left;
    const std::int64_t height = std::int64_t { current.bottom } - current.top;
    return { kept.left, kept.top, clamp(kept.left + width), clamp(kept.top + height) };
}
