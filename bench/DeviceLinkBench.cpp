// How much of the UI thread one received byte costs: frame assembly, the
// decoder and the link update, per byte and per frame.
#include "device/DeviceLink.h"

#include <benchmark/benchmark.h>

#include <array>

namespace {

class NullTimer : public LinkTimer {
public:
    unsigned Arm(unsigned id, unsigned) override { return id; }
    void Kill(unsigned) override { }
};

constexpr std::array<std::uint8_t, 19> kFrame = { 0x40, 0x70, 0x73, 0x34, 0x31, 0x32, 0x34, 0x75,
    0x76, 0x70, 0x32, 0x73, 0x34, 0x31, 0x70, 0x31, 0x73, 0x32, 0x0D };

void BM_GoodFrames(benchmark::State& state)
{
    NullTimer timer;
    DeviceLink link { timer };
    int updates = 0;
    link.SetReaction([&](bool, bool) { ++updates; });
    for (auto _ : state) {
        for (auto b : kFrame)
            link.OnByteReceived(b);
    }
    benchmark::DoNotOptimize(updates);
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kFrame.size()));
}
BENCHMARK(BM_GoodFrames);

void BM_NoiseWithoutCarriageReturn(benchmark::State& state)
{
    NullTimer timer;
    DeviceLink link { timer };
    std::uint8_t b = 0;
    for (auto _ : state) {
        link.OnByteReceived(static_cast<std::uint8_t>(b == 0x0D ? 0x0E : b));
        ++b;
    }
    state.SetBytesProcessed(state.iterations());
}
BENCHMARK(BM_NoiseWithoutCarriageReturn);

void BM_DecodeOnly(benchmark::State& state)
{
    FrameDecoder decoder;
    for (auto _ : state)
        benchmark::DoNotOptimize(decoder.decode(kFrame.data(), kFrame.size()));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecodeOnly);

} // namespace
