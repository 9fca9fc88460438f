// Names of the data service compare without regard to letter case, as the
// desktop's own case-insensitive compare does: ASCII and the Latin letters
// of Central European text (ą/Ą, ł/Ł, ż/Ż, ...) fold to one case.
#pragma once

#include <string>
#include <string_view>

// The name in lower case (UTF-8 in, UTF-8 out; bytes that are not valid
// UTF-8 are kept as they are).
std::string FoldDdeName(std::string_view name);

bool SameDdeName(std::string_view a, std::string_view b);
