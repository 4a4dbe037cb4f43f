#include "BenchSupport.h"

#include "core/Readings.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <fstream>
#include <random>
#include <string>
#include <vector>

using namespace tavro;

namespace {

// A readings file of `count` messages, every other one read by user 3, every one by user 0;
// `shuffled`: the records in a random order (the same every run), as other programs leave it.
std::string MakeReadings(const std::string& dir, int count, bench::TSetup& setup, bool shuffled = false) {
    std::vector<TReadingsRecord> records(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        records[i].Id = static_cast<uint32_t>(i + 1);
        records[i].Set(0, true);
        records[i].Set(3, i % 2 == 0);
    }
    if (shuffled)
        std::shuffle(records.begin(), records.end(), std::mt19937(20240105));
    std::string file = dir + "/readings";
    std::ofstream out(file, std::ios::binary);
    out << FormatReadings(records);
    out.close();
    setup.Require(!dir.empty() && out.good(), "could not write the readings file");
    // What the benchmarks load must be there: half of the messages are read by user 3.
    TSortedList set;
    LoadReadings(file, 3, set);
    setup.Require(set.Count() == (count + 1) / 2, "the readings file does not read back");
    return file;
}

void BM_LoadReadings(benchmark::State& state) {
    bench::TScratchDir dir;
    const int count = bench::Scaled(static_cast<int>(state.range(0)));
    bench::TSetup setup;
    std::string file = MakeReadings(dir.Path, count, setup);
    if (!setup.Ready(state))
        return;
    for (auto _ : state) {
        TSortedList set;
        LoadReadings(file, 3, set);
        benchmark::DoNotOptimize(set.Count());
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_LoadReadings)->Arg(100000)->Unit(benchmark::kMillisecond);

// Unsorted records must cost one sort, not an insertion each.
void BM_LoadUnsortedReadings(benchmark::State& state) {
    bench::TScratchDir dir;
    const int count = bench::Scaled(static_cast<int>(state.range(0)));
    bench::TSetup setup;
    std::string file = MakeReadings(dir.Path, count, setup, true);
    if (!setup.Ready(state))
        return;
    for (auto _ : state) {
        TSortedList set;
        LoadReadings(file, 3, set);
        benchmark::DoNotOptimize(set.Count());
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_LoadUnsortedReadings)->Arg(300000)->Unit(benchmark::kMillisecond);

void BM_SaveReadings(benchmark::State& state) {
    bench::TScratchDir dir;
    const int count = bench::Scaled(static_cast<int>(state.range(0)));
    bench::TSetup setup;
    std::string file = MakeReadings(dir.Path, count, setup);
    if (!setup.Ready(state))
        return;
    TSortedList existing, read;
    for (int i = 1; i <= count; ++i) {
        existing.Add(i);
        read.Add(i);
    }
    bool all = true;
    for (auto _ : state) {
        // Alternate between two read sets so every save rewrites the file.
        if (all)
            read.Remove(1);
        else
            read.Add(1);
        all = !all;
        SaveReadings(file, 3, read, &existing, false);
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_SaveReadings)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace
