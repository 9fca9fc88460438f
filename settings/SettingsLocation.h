#pragma once

#include <functional>
#include <string>
#include <string_view>

// Where the program keeps its own files: beside the executable, or, when
// that folder cannot be written (an installed program), in
// $XDG_CONFIG_HOME/qm482 (by default ~/.config/qm482).
class SettingsLocation {
public:
    struct Inputs {
        std::string exeLink = "/proc/self/exe";
        std::string xdgConfigHome; // empty when unset
        std::string home;
        std::function<bool(const std::string& directory)> writable = DirectoryWritable;
    };
    // The running process: /proc/self/exe, $XDG_CONFIG_HOME, $HOME.
    static Inputs FromProcess();

    // Full path for `fileName`; creates the configuration folder when it
    // falls back to it. Empty when no place is left.
    static std::string Locate(std::string_view fileName, const Inputs& inputs);
    // The folder of the executable the link names; the current directory
    // when the link cannot be read.
    static std::string ProgramDirectory(const std::string& exeLink);
    static bool DirectoryWritable(const std::string& directory);
    static std::string ConfigDirectory(const Inputs& inputs);
};
