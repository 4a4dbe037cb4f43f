#include "BenchSupport.h"

#include "bases/FidoBase.h"

#include <benchmark/benchmark.h>
#include <filesystem>

using namespace tavro;

namespace {

// One directory of numbered messages, made once for all benchmarks.
class TArea {
public:
    static TArea& Get() {
        static TArea area(bench::Scaled(10000));
        return area;
    }
    const std::string& Path() const { return Dir.Path; }
    int Count;
    bench::TSetup Setup;

private:
    explicit TArea(int count) : Count(count) {
        Setup.Require(!Dir.Path.empty(), "no scratch directory");
        TFidoBase base(Dir.Path, "BENCH.ECHO", "");
        if (!Setup.Failed())
            bench::PostTypical(base, 0, count, Setup);
    }

    bench::TScratchDir Dir;
};

TBaseRef Open(const std::string& path) {
    TBaseRef base = TBaseRef::Adopt(new TFidoBase(path, "BENCH.ECHO", ""));
    base->Rescan();
    return base;
}

void BM_OpenAndList(benchmark::State& state) {
    TArea& area = TArea::Get();
    if (!area.Setup.Ready(state))
        return;
    for (auto _ : state) {
        TBaseRef base = Open(area.Path());
        benchmark::DoNotOptimize(base->GetCount());
        base.Reset();
    }
    state.counters["messages"] = area.Count;
}
BENCHMARK(BM_OpenAndList)->Unit(benchmark::kMillisecond);

// What the reader does to show an area at its last message.
void BM_OpenAtLastMessage(benchmark::State& state) {
    TArea& area = TArea::Get();
    if (!area.Setup.Ready(state))
        return;
    for (auto _ : state) {
        TBaseRef base = Open(area.Path());
        int position = base->FindNearest(base->GetMsgId(base->GetCount() - 1));
        benchmark::DoNotOptimize(base->GetMsg(position)->Subject);
        base.Reset();
    }
}
BENCHMARK(BM_OpenAtLastMessage)->Unit(benchmark::kMillisecond);

void BM_EveryHeader(benchmark::State& state) {
    TArea& area = TArea::Get();
    if (!area.Setup.Ready(state))
        return;
    for (auto _ : state) {
        TBaseRef base = Open(area.Path());
        for (int i = 0; i < base->GetCount(); ++i)
            benchmark::DoNotOptimize(base->GetMsg(i)->Subject);
        base.Reset();
    }
    state.SetItemsProcessed(state.iterations() * area.Count);
}
BENCHMARK(BM_EveryHeader)->Unit(benchmark::kMillisecond);

// Appending to an area that is open already: the list is read before the clock runs.
void BM_Append(benchmark::State& state) {
    TArea& area = TArea::Get();
    if (!area.Setup.Ready(state))
        return;
    const int count = bench::Scaled(1000);
    bench::TSetup run;
    for (auto _ : state) {
        state.PauseTiming();
        TBaseRef base = Open(area.Path());
        state.ResumeTiming();
        bench::PostTypical(*base, area.Count, count, run);
        state.PauseTiming();
        base->Rescan();
        std::vector<TMsgId> added;
        for (int i = area.Count; i < base->GetCount(); ++i)
            added.push_back(base->GetMsgId(i));
        run.Require(added.size() == static_cast<size_t>(count), "the appended messages are not all there");
        for (TMsgId id : added)
            run.Require(std::filesystem::remove(area.Path() + "/" + std::to_string(id) + ".msg"),
                        "could not remove an appended message");
        base.Reset();
        state.ResumeTiming();
        if (run.Failed())
            break;
    }
    run.Ready(state);
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_Append)->Unit(benchmark::kMillisecond);

} // namespace
