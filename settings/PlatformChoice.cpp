#include "settings/PlatformChoice.h"

#include <string_view>

namespace {

bool isSet(const EnvironmentLookup& environment, const char* name)
{
    const char* value = environment(name);
    return value != nullptr && *value != '\0';
}

bool platformOnCommandLine(int argc, const char* const* argv)
{
    for (int i = 1; i < argc; ++i) {
        if (argv[i] == nullptr)
            break;
        const std::string_view arg = argv[i];
        // Qt reads its options with one dash or two.
        if (arg == "-platform" || arg == "--platform")
            return true;
    }
    return false;
}

} // namespace

std::string ChoosePlatform(const EnvironmentLookup& environment, int argc, const char* const* argv)
{
    if (isSet(environment, "QT_QPA_PLATFORM") || platformOnCommandLine(argc, argv))
        return {};
    const char* session = environment("XDG_SESSION_TYPE");
    const bool wayland = isSet(environment, "WAYLAND_DISPLAY")
        || (session != nullptr && std::string_view(session) == "wayland");
    if (!wayland || !isSet(environment, "DISPLAY"))
        return {};
    return "xcb;wayland";
}
