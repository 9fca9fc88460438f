#pragma once

#include "chart/ChartRecording.h"

#include <cstdint>
#include <string>
#include <sys/types.h>

// Keeps a ChartRecording level with a file another program may be writing:
// each Poll reads what was appended; a file emptied or replaced (another
// file under the same name) is read again from its start.
class FileFollower {
public:
    FileFollower(std::string path, ChartRecording& recording);

    enum class Result { Unchanged, Grew, Restarted, Failed };
    Result Poll();

private:
    bool ReadFrom(int fd, std::uint64_t offset);

    std::string path_;
    ChartRecording& recording_;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    bool known_ = false;
};
