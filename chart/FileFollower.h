#pragma once

#include "chart/FollowedContent.h"

#include <cstdint>
#include <string>
#include <sys/types.h>

// Keeps what is read of a file (a recording, the alarm log) level with the
// file while another program may be writing it: each Poll reads what was
// appended; a file emptied or replaced (another file under the same name)
// is read again from its start.
class FileFollower {
public:
    FileFollower(std::string path, FollowedContent& content);

    enum class Result { Unchanged, Grew, Restarted, Failed };
    Result Poll();

private:
    bool ReadFrom(int fd, std::uint64_t offset);

    std::string path_;
    FollowedContent& content_;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    bool known_ = false;
};
