// Names reach the server from any client on the bus; the text of a number
// from any double. Neither may crash, and folding must be stable.
#include "common/DdeName.h"
#include "dde/ItemText.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view name(reinterpret_cast<const char*>(data), size);
    const std::string folded = FoldDdeName(name);
    if (FoldDdeName(folded) != folded || !SameDdeName(name, folded))
        std::abort();
    if (size >= sizeof(double)) {
        double value = 0;
        std::memcpy(&value, data, sizeof value);
        const std::string text = NumberText(value);
        if (text.empty() || text.size() > 400)
            std::abort();
    }
    return 0;
}
