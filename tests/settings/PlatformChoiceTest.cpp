#include "settings/PlatformChoice.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

std::string choose(const std::map<std::string, std::string>& env,
    std::vector<const char*> args = { "/opt/qm482/qm482" })
{
    const EnvironmentLookup lookup = [&env](const char* name) -> const char* {
        auto it = env.find(name);
        return it != env.end() ? it->second.c_str() : nullptr;
    };
    return ChoosePlatform(lookup, static_cast<int>(args.size()), args.data());
}

} // namespace

TEST(PlatformChoice, AWaylandSessionWithXGoesToX)
{
    EXPECT_EQ(choose({ { "WAYLAND_DISPLAY", "wayland-0" }, { "DISPLAY", ":0" } }), "xcb;wayland");
    EXPECT_EQ(choose({ { "XDG_SESSION_TYPE", "wayland" }, { "DISPLAY", ":1" } }), "xcb;wayland");
    // Without X there is nothing to prefer; on X alone Qt needs no help.
    EXPECT_EQ(choose({ { "WAYLAND_DISPLAY", "wayland-0" } }), "");
    EXPECT_EQ(choose({ { "WAYLAND_DISPLAY", "wayland-0" }, { "DISPLAY", "" } }), "");
    EXPECT_EQ(choose({ { "DISPLAY", ":0" }, { "XDG_SESSION_TYPE", "x11" } }), "");
    EXPECT_EQ(choose({}), "");
}

TEST(PlatformChoice, TheUsersChoiceIsLeftToQt)
{
    const std::map<std::string, std::string> both { { "WAYLAND_DISPLAY", "wayland-0" },
        { "DISPLAY", ":0" } };
    auto with = [&](const char* name, const char* value) {
        auto env = both;
        env[name] = value;
        return env;
    };
    EXPECT_EQ(choose(with("QT_QPA_PLATFORM", "wayland")), "");
    EXPECT_EQ(choose(with("QT_QPA_PLATFORM", "xcb")), "");
    // Set but empty: Qt ignores it too, so the session decides.
    EXPECT_EQ(choose(with("QT_QPA_PLATFORM", "")), "xcb;wayland");
    EXPECT_EQ(choose(both, { "qm482", "-platform", "wayland" }), "");
    EXPECT_EQ(choose(both, { "qm482", "--platform", "wayland" }), "");
    // The program's own path is no option, nor a word that only contains it.
    EXPECT_EQ(choose(both, { "-platform" }), "xcb;wayland");
    EXPECT_EQ(choose(both, { "qm482", "-platformtheme", "gtk3" }), "xcb;wayland");
}
