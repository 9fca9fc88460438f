#pragma once

#include <functional>
#include <string>
#include <vector>

// What a link does that needs no screen: where its control goes when it is
// fitted to its text, which browser command opens a target, and what a
// failure is called.
namespace link_rules {

// Launch results as the original platform numbered them: above 32 is
// success, the rest name the failure (see OpenErrorText).
inline constexpr int kLaunched = 33;
inline constexpr int kOutOfResources = 0;
inline constexpr int kFileNotFound = 2;
inline constexpr int kAccessDenied = 5;
inline constexpr int kOutOfMemory = 8;
inline constexpr int kBadFormat = 11;
inline constexpr int kSharingViolation = 26;
inline constexpr int kBadAssociation = 27;
inline constexpr int kNoAssociation = 31;
inline constexpr int kUnknownFailure = 1;

// The registered command line had room for this many characters.
inline constexpr std::size_t kMaxCommandLine = 519;

struct Rect {
    int left, top, right, bottom;
};

enum class HAlign { Left, Centre, Right };

// The control's rectangle fitted to text of w x h: a centred side moves
// both edges by half the difference, truncated toward zero.
Rect FitToText(Rect r, int w, int h, HAlign align, bool centreVertically);

// "Unable to open hyperlink:\n\n" and the text for `error`.
std::string OpenErrorText(int error);

// The launch result for an errno of a program that would not start.
int LaunchError(int errnoValue);

// The launch result for how the desktop's opener (xdg-open) ended: its
// exit code, or -1 for a signal. 0 is opened; 1 (a target it refused as
// syntax) is an unknown failure, 2 file not found, 3 (no handler or tool)
// no association, 4 (the handler failed) a bad association, 5 and 6
// (no permission) access denied, anything else unknown.
int OpenerExitResult(int exitCode);

// The browser commands to try, in order: each entry of $BROWSER (split at
// ':'), then x-www-browser, then sensible-browser.
std::vector<std::string> BrowserCommands(const char* browserVariable);

// The argument vector of `command` (words split at blanks, no shell
// quoting) for `target`: the target replaces a "%s" word or is appended,
// always as one argument. Empty when the command line, written out with a
// blank and the target, would be longer than kMaxCommandLine.
std::vector<std::string> BrowserArgv(const std::string& command, const std::string& target);

// Where a bare program name is found: `directories` in order, each joined
// with `name`, the first for which `executable` holds. Empty when none; a
// name with a '/' is returned as it is.
std::string FindProgram(const std::string& name, const std::vector<std::string>& directories,
    const std::function<bool(const std::string&)>& executable);

// The folders of a PATH value, empty entries meaning the current folder.
std::vector<std::string> PathDirectories(const char* path);

} // namespace link_rules
