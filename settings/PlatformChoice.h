#pragma once

#include <functional>
#include <string>

// The windowing platform to ask Qt for, decided before the application
// object exists. On a Wayland session that also offers X (XWayland), X is
// preferred: there the window can be put where it was and kept on top. A
// platform the user named (QT_QPA_PLATFORM, -platform) is always left to
// Qt. The result is a Qt platform list ("xcb;wayland": X, else Wayland),
// or empty to leave the choice to Qt.
using EnvironmentLookup = std::function<const char*(const char* name)>;
std::string ChoosePlatform(const EnvironmentLookup& environment, int argc, const char* const* argv);
