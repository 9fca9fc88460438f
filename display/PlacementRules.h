#pragma once

#include "common/WindowRect.h"

#include <string_view>

// What the windowing system tells and does for a program's window.
struct WindowAbilities {
    // The window's position on the screen can be read and set.
    bool knowsPosition = true;
    // The window can be kept above the others.
    bool keepsOnTop = true;
};

// The abilities behind a Qt platform name: a Wayland client neither learns
// its position nor may ask to stay on top; everything else can.
WindowAbilities AbilitiesOfPlatform(std::string_view platformName);

// The rectangle to keep for the next start, given the one kept so far and
// the window's present one: where the position is unknown, the kept
// position stays and only the size is taken.
WindowRect RectToSave(
    const WindowRect& kept, const WindowRect& current, const WindowAbilities& can);
