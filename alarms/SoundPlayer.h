#pragma once

#include <string>
#include <vector>

// How the alarm sounds, from the environment: the freedesktop sound theme's
// "alarm-clock-elapsed" through the first player found on PATH, when a sound
// server listens.
namespace sound_player {

// A PulseAudio or PipeWire server to play to: $PULSE_SERVER (a socket that
// exists, or a network address), $XDG_RUNTIME_DIR/pulse/native or
// $XDG_RUNTIME_DIR/pipewire-0.
bool SoundServerReachable();

// The sound file: alarm-clock-elapsed.oga, else dialog-warning.oga, of the
// theme in $XDG_DATA_DIRS. Empty when neither is there.
std::string SoundFile();

// The player's argument vector, its program as a path: canberra-gtk-play
// (which finds the sound itself), pw-play or paplay with the file. Empty
// without a sound server or a player that can play: the bell then.
std::vector<std::string> PlayerCommand();

} // namespace sound_player
