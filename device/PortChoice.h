#pragma once

#include <string>
#include <vector>

// The port dialog's logic, without its window.
namespace port_choice {

// "COM5:USB Serial Port\n" lines become "COM5 (USB Serial Port)"; "COM1\n"
// stays "COM1". Empty lines are skipped.
std::vector<std::string> DisplayLines(const std::string& portListText);

// Index of the line naming exactly COM<portInUse> (alone or followed by a
// blank), or -1. Port 0 selects nothing.
int PreselectedIndex(const std::vector<std::string>& lines, int portInUse);

// The port number an OK with this combo text chooses, or 0 when the text
// names no port (the dialog then says so and stays open).
int ChosenPort(const std::string& comboText);

std::string StatusText(int portInUse);

} // namespace port_choice
