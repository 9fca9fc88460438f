#include "settings/SettingsLocation.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace {

bool MakeDirectories(const std::string& path)
{
    for (std::size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos != path.size() && path[pos] != '/')
            continue;
        std::string part = path.substr(0, pos);
        // Folders of one's own configuration are private.
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    struct stat st { };
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

SettingsLocation::Inputs SettingsLocation::FromProcess()
{
    Inputs inputs;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"))
        inputs.xdgConfigHome = xdg;
    if (const char* home = std::getenv("HOME"); home && *home) {
        inputs.home = home;
    } else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) {
        inputs.home = pw->pw_dir;
    }
    return inputs;
}

std::string SettingsLocation::ProgramDirectory(const std::string& exeLink)
{
    std::vector<char> buffer(256);
    for (;;) {
        ssize_t n = ::readlink(exeLink.c_str(), buffer.data(), buffer.size());
        if (n < 0)
            break;
        if (static_cast<std::size_t>(n) < buffer.size()) {
            std::string target(buffer.data(), static_cast<std::size_t>(n));
            std::size_t slash = target.rfind('/');
            if (slash == std::string::npos)
                break;
            return slash == 0 ? "/" : target.substr(0, slash);
        }
        buffer.resize(buffer.size() * 2);
    }
    std::vector<char> cwd(4096);
    if (::getcwd(cwd.data(), cwd.size()) != nullptr)
        return cwd.data();
    return ".";
}

bool SettingsLocation::DirectoryWritable(const std::string& directory)
{
    return ::access(directory.c_str(), W_OK | X_OK) == 0;
}

std::string SettingsLocation::ConfigDirectory(const Inputs& inputs)
{
    // XDG paths must be absolute: a relative value is ignored.
    if (!inputs.xdgConfigHome.empty() && inputs.xdgConfigHome.front() == '/')
        return inputs.xdgConfigHome + "/qm482";
    if (inputs.home.empty())
        return {};
    return inputs.home + "/.config/qm482";
}

std::string SettingsLocation::Locate(std::string_view fileName, const Inputs& inputs)
{
    std::string programDir = ProgramDirectory(inputs.exeLink);
    if (inputs.writable(programDir))
        return (programDir == "/" ? "" : programDir) + "/" + std::string(fileName);
    std::string configDir = ConfigDirectory(inputs);
    if (configDir.empty() || !MakeDirectories(configDir))
        return {};
    return configDir + "/" + std::string(fileName);
}
