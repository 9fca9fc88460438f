// Arbitrary byte streams through frame assembly and the decoder: a rejected
// line never changes the measurement, and nothing goes out of bounds.
#include "device/DeviceLink.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

class NullTimer : public LinkTimer {
public:
    unsigned Arm(unsigned id, unsigned) override { return id; }
    void Kill(unsigned) override { }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    NullTimer timer;
    DeviceLink link { timer };
    Measurement before = link.measurement();
    link.SetReaction([&](bool good, bool) {
        if (!good && !(link.measurement() == before))
            std::abort();
        before = link.measurement();
    });
    for (std::size_t i = 0; i < size; ++i)
        link.OnByteReceived(data[i]);

    // The decoder on its own, with the input as one line of any length.
    FrameDecoder decoder;
    if (!decoder.decode(data, size) && !(decoder.measurement() == Measurement {}))
        std::abort();
    return 0;
}
