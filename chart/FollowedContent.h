#pragma once

#include <cstdint>
#include <string_view>

// What a file read as it grows is fed into: the bytes in file order, and a
// fresh start when the file was emptied or replaced.
class FollowedContent {
public:
    virtual ~FollowedContent() = default;
    // The bytes that follow those fed so far.
    virtual void Feed(std::string_view bytes) = 0;
    virtual void Reset() = 0;
    // Bytes taken from the file so far.
    virtual std::uint64_t fed() const = 0;
};
