#include "display/PlacementRules.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

TEST(PlacementRules, OnlyWaylandHidesThePositionAndTheTopBand)
{
    for (const char* name : { "wayland", "wayland-egl" }) {
        const WindowAbilities can = AbilitiesOfPlatform(name);
        EXPECT_FALSE(can.knowsPosition) << name;
        EXPECT_FALSE(can.keepsOnTop) << name;
    }
    for (const char* name : { "xcb", "offscreen", "" }) {
        const WindowAbilities can = AbilitiesOfPlatform(name);
        EXPECT_TRUE(can.knowsPosition) << name;
        EXPECT_TRUE(can.keepsOnTop) << name;
    }
}

TEST(PlacementRules, AnUnknownPositionKeepsTheSavedOneWithTheNewSize)
{
    const WindowRect kept { 137, 91, 737, 511 };
    // What a Wayland window reports: its size, at 0, 0.
    const WindowRect current { 0, 0, 640, 450 };
    EXPECT_EQ(RectToSave(kept, current, { false, false }), (WindowRect { 137, 91, 777, 541 }));
    EXPECT_EQ(RectToSave(kept, current, { true, true }), current);

    // A hand-edited position far out does not wrap round.
    const std::int32_t most = std::numeric_limits<std::int32_t>::max();
    const WindowRect far = RectToSave({ most - 10, -5, 0, 0 }, current, { false, true });
    EXPECT_EQ(far.left, most - 10);
    EXPECT_EQ(far.right, most);
    EXPECT_EQ(far.bottom, 445);
}
