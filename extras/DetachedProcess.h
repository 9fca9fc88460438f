#pragma once

#include <string>
#include <vector>

// Starting another program the way a desktop does: no shell, no waiting,
// and no child left behind for this process to reap.
namespace detached_process {

// Starts argv[0] (a path) with argv; 0 once it runs, else the errno of
// what stopped it (the program's own exec failure included).
int Start(const std::vector<std::string>& argv);

// A program started to learn how it ends, still without a shell and
// without blocking: `exitFd` turns readable once it has ended, and Reap
// then collects it, so it never lingers as a zombie.
struct Watched {
    int error = 0; // errno of what stopped it from running, else 0
    int pid = -1;
    int exitFd = -1;
};

// Starts argv[0] (a path) with argv in a session of its own. ENOSYS
// without starting anything when the system cannot watch a process.
Watched StartWatched(const std::vector<std::string>& argv);

// The exit code of a watched program whose exitFd is readable, -1 when a
// signal ended it; closes exitFd.
int Reap(Watched& watched);

// A regular file this process may execute.
bool IsExecutableFile(const std::string& path);

} // namespace detached_process
