#include "alarms/SoundPlayer.h"

#include "extras/DetachedProcess.h"
#include "extras/LinkRules.h"

#include <cstdlib>
#include <sstream>
#include <sys/stat.h>

namespace sound_player {

namespace {

constexpr const char* kEvent = "alarm-clock-elapsed";

std::string variable(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

bool exists(const std::string& path)
{
    struct stat st { };
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

// One entry of $PULSE_SERVER: "unix:/path", "/path", "tcp:host:port",
// "host", each maybe after "{machine-id}".
bool serverReachable(std::string entry)
{
    if (!entry.empty() && entry.front() == '{') {
        const auto close = entry.find('}');
        entry = close == std::string::npos ? std::string() : entry.substr(close + 1);
    }
    if (entry.empty())
        return false;
    if (entry.rfind("unix:", 0) == 0)
        return exists(entry.substr(5));
    if (entry.front() == '/')
        return exists(entry);
    // Over the network: nothing to look at here, the player will find out.
    return true;
}

} // namespace

bool SoundServerReachable()
{
    std::istringstream servers(variable("PULSE_SERVER"));
    for (std::string entry; servers >> entry;) {
        if (serverReachable(entry))
            return true;
    }
    const std::string runtime = variable("XDG_RUNTIME_DIR");
    return !runtime.empty()
        && (exists(runtime + "/pulse/native") || exists(runtime + "/pipewire-0"));
}

std::string SoundFile()
{
    std::string dirs = variable("XDG_DATA_DIRS");
    if (dirs.empty())
        dirs = "/usr/local/share:/usr/share";
    const auto directories = link_rules::PathDirectories(dirs.c_str());
    for (const char* name : { "alarm-clock-elapsed.oga", "dialog-warning.oga" }) {
        for (const std::string& d : directories) {
            if (d.empty())
                continue;
            std::string file = d + "/sounds/freedesktop/stereo/" + name;
            if (exists(file))
                return file;
        }
    }
    return {};
}

std::vector<std::string> PlayerCommand()
{
    if (!SoundServerReachable())
        return {};
    const std::string path = variable("PATH");
    const auto directories
        = link_rules::PathDirectories(path.empty() ? "/usr/bin:/bin" : path.c_str());
    const auto find = [&](const char* name) {
        return link_rules::FindProgram(name, directories, detached_process::IsExecutableFile);
    };
    if (std::string canberra = find("canberra-gtk-play"); !canberra.empty())
        return { canberra, "-i", kEvent };
    const std::string file = SoundFile();
    if (file.empty())
        return {};
    for (const char* player : { "pw-play", "paplay" }) {
        if (std::string program = find(player); !program.empty())
            return { program, file };
    }
    return {};
}

} // namespace sound_player
