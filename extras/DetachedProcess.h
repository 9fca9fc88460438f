#pragma once

#include <string>
#include <vector>

// Starting another program the way a desktop does: no shell, no waiting,
// and no child left behind for this process to reap.
namespace detached_process {

// Starts argv[0] (a path) with argv; 0 once it runs, else the errno of
// what stopped it (the program's own exec failure included).
int Start(const std::vector<std::string>& argv);

// A regular file this process may execute.
bool IsExecutableFile(const std::string& path);

} // namespace detached_process
