// What the alarms add to one frame on the UI thread: every alarm switched
// on, the values inside their limits (the common case) and wavering across
// one of them inside its hysteresis (an alarm that stays on).
#include "alarms/AlarmRules.h"
#include "alarms/DewPoint.h"

#include <benchmark/benchmark.h>

namespace {

AlarmSettings AllOn()
{
    AlarmSettings s;
    s.configured = true;
    s.temperature = { true, 25.0, true, 15.0, 0.5 };
    s.humidity = { true, 60.0, true, 30.0, 2.0 };
    s.pressure = { true, 1040.0, true, 980.0, 1.0 };
    s.dewPointSpreadOn = true;
    s.linkLostOn = true;
    s.meterErrorOn = true;
    s.delaySeconds = 10;
    return s;
}

void Frames(benchmark::State& state, double temperature, double step)
{
    AlarmRules rules;
    rules.SetSettings(AllOn(), 0);
    Measurement m;
    m.serialNumber = 4660;
    m.humidity = 45.0;
    m.pressure = 1013.2;
    std::int64_t ms = 0;
    std::size_t events = 0;
    for (auto _ : state) {
        ms += 600;
        m.temperature = temperature + ((ms / 600) % 2 == 0 ? step : -step);
        events += rules.Step(AlarmInputFrom(ms, true, m)).size();
        benchmark::DoNotOptimize(DewPoint(m.temperature, m.humidity));
    }
    benchmark::DoNotOptimize(events);
    state.SetItemsProcessed(state.iterations());
}

void BM_AlarmFrameInsideLimits(benchmark::State& state)
{
    Frames(state, 21.5, 0.1);
}
BENCHMARK(BM_AlarmFrameInsideLimits);

void BM_AlarmFrameWaveringInTheBand(benchmark::State& state)
{
    Frames(state, 25.2, 0.2);
}
BENCHMARK(BM_AlarmFrameWaveringInTheBand);

} // namespace
