#include "extras/LinkRules.h"

#include <cerrno>
#include <cstdio>
#include <map>

namespace link_rules {

Rect FitToText(Rect r, int w, int h, HAlign align, bool centreVertically)
{
    if (centreVertically) {
        const int d = ((r.bottom - r.top) - h) / 2;
        r.top += d;
        r.bottom -= d;
    } else {
        r.bottom = r.top + h;
    }
    switch (align) {
    case HAlign::Centre: {
        const int d = ((r.right - r.left) - w) / 2;
        r.left += d;
        r.right -= d;
        break;
    }
    case HAlign::Right:
        r.left = r.right - w;
        break;
    case HAlign::Left:
        r.right = r.left + w;
        break;
    }
    return r;
}

std::string OpenErrorText(int error)
{
    static const std::map<int, const char*> texts = {
        { 0, "The operating system is out\nof memory or resources." },
        { 2, "The specified file was not found." },
        { 3, "The specified path was not found." },
        { 5, "The operating system denied\naccess to the specified file." },
        { 8, "There was not enough memory to complete the operation." },
        { 11, "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)." },
        { 26, "A sharing violation occurred. " },
        { 27, "The filename association is\nincomplete or invalid." },
        { 28, "The DDE transaction could not\nbe completed because the request timed out." },
        { 29, "The DDE transaction failed." },
        { 30,
            "The DDE transaction could not\nbe completed because other DDE transactions\nwere "
            "being processed." },
        { 31, "There is no application associated\nwith the given filename extension." },
        { 32, "The specified dynamic-link library was not found." },
    };
    std::string text = "Unable to open hyperlink:\n\n";
    if (const auto it = texts.find(error); it != texts.end()) {
        text += it->second;
    } else {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "Unknown Error (%d) occurred.", error);
        text += buffer;
    }
    return text;
}

int LaunchError(int errnoValue)
{
    switch (errnoValue) {
    case ENOENT:
    case ENOTDIR:
        return kFileNotFound;
    case EACCES:
    case EPERM:
        return kAccessDenied;
    case ENOMEM:
        return kOutOfMemory;
    case EAGAIN:
        return kOutOfResources;
    case ENOEXEC:
    case ELIBBAD:
        return kBadFormat;
    case ETXTBSY:
        return kSharingViolation;
    default:
        return kUnknownFailure;
    }
}

int OpenerExitResult(int exitCode)
{
    switch (exitCode) {
    case 0:
        return kLaunched;
    case 2:
        return kFileNotFound;
    case 3:
        return kNoAssociation;
    case 4:
        return kBadAssociation;
    case 5:
    case 6:
        return kAccessDenied;
    default:
        return kUnknownFailure;
    }
}

namespace {

std::vector<std::string> split(const std::string& s, char at, bool keepEmpty)
{
    std::vector<std::string> parts;
    std::string part;
    for (char c : s) {
        if (c == at) {
            if (keepEmpty || !part.empty())
                parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (keepEmpty || !part.empty())
        parts.push_back(part);
    return parts;
}

} // namespace

std::vector<std::string> BrowserCommands(const char* browserVariable)
{
    std::vector<std::string> commands;
    if (browserVariable != nullptr)
        commands = split(browserVariable, ':', false);
    commands.emplace_back("x-www-browser");
    commands.emplace_back("sensible-browser");
    return commands;
}

std::vector<std::string> BrowserArgv(const std::string& command, const std::string& target)
{
    if (command.size() + 1 + target.size() > kMaxCommandLine)
        return {};
    std::vector<std::string> argv;
    bool placed = false;
    for (std::string word : split(command, ' ', false)) {
        if (word == "%s" && !placed) {
            word = target;
            placed = true;
        }
        argv.push_back(std::move(word));
    }
    if (argv.empty())
        return {};
    if (!placed)
        argv.push_back(target);
    return argv;
}

std::string FindProgram(const std::string& name, const std::vector<std::string>& directories,
    const std::function<bool(const std::string&)>& executable)
{
    // A path is taken as given: starting it says why it cannot run.
    if (name.find('/') != std::string::npos)
        return name;
    for (const std::string& dir : directories) {
        std::string path = (dir.empty() ? std::string(".") : dir) + "/" + name;
        if (executable(path))
            return path;
    }
    return {};
}

std::vector<std::string> PathDirectories(const char* path)
{
    if (path == nullptr)
        return {};
    return split(path, ':', true);
}

} // namespace link_rules
