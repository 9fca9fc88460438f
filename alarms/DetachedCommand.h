#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

// A program started so that it is never this process's child: a middle
// process that ends at once leaves a watcher, orphaned to init, which runs
// the program, waits for it and writes how it ended to a pipe. Nothing is
// left to reap, nothing waits, and the program outlives this process if it
// must (a mail being sent is not cut off). The watcher keeps none of this
// process's descriptors but the pipe's end; the program gets /dev/null as
// input, the signals at their defaults, a session of its own.
namespace detached_command {

struct Started {
    int error = 0; // errno of what stopped it before it could be run, else 0
    int statusFd = -1; // non-blocking; readable once the program has ended
};

// Starts `path` (an executable file) with argv and this process's
// environment, `extra` set on top of it.
Started Start(const std::string& path, const std::vector<std::string>& argv,
    const std::vector<std::pair<std::string, std::string>>& extra = {});

enum class EndKind {
    NotStarted, // value: errno of the failed exec
    Exited, // value: the exit code
    Signalled, // value: the signal
    Lost, // the watcher ended without a word (it was killed)
};
struct End {
    EndKind kind = EndKind::Lost;
    int value = 0;
};

// What a readable status pipe says; none while the program still runs.
// The caller closes the descriptor once it has an end.
std::optional<End> ReadEnd(int statusFd);

} // namespace detached_command
