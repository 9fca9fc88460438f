// How fast a binary measurement file held in memory is read back: a chart
// opening a year of one-second records must not wait for it.
#include "recording/BinaryRecord.h"
#include "recording/QmgReader.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

// `count` records with all three readings, as a long recording run writes
// them; a thousand different ones, repeated.
const std::string& recordsInMemory(std::size_t count)
{
    static std::string file;
    static std::size_t made = 0;
    if (made != count) {
        std::string block;
        for (int i = 0; i < 1000; ++i) {
            const LocalTime t { 2024, 1 + i % 12, 1 + i % 28, i % 24, i % 60, (i * 7) % 60 };
            const Readings r { 4660, { -20.0 + i * 0.13, true }, { 15.0 + (i % 800) * 0.1, true },
                { 950.0 + i * 0.1, true } };
            block += qmg::Record(t, r);
        }
        file.clear();
        file.reserve(block.size() * (count / 1000 + 1));
        for (std::size_t n = 0; n < count; n += 1000)
            file += block;
        made = count;
    }
    return file;
}

void BM_ReadRecords(benchmark::State& state)
{
    const std::string& file = recordsInMemory(static_cast<std::size_t>(state.range(0)));
    std::int64_t records = 0;
    for (auto _ : state) {
        qmg::Reader reader(file);
        double sum = 0;
        while (reader.Next() == qmg::Reader::Step::Record) {
            sum += reader.record().samples[0].value;
            ++records;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(records);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(file.size()));
}
// 10^5 records (7 MB, in the cache) and 10^7 (about 740 MB).
BENCHMARK(BM_ReadRecords)->Arg(100000)->Arg(10000000)->Unit(benchmark::kMillisecond);

void BM_WriteRecord(benchmark::State& state)
{
    const Readings r { 4660, { 21.5, true }, { 45.2, true }, { 1013.2, true } };
    for (auto _ : state)
        benchmark::DoNotOptimize(qmg::Record({ 2024, 2, 29, 23, 59, 59 }, r));
}
BENCHMARK(BM_WriteRecord);

} // namespace
