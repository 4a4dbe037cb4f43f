#include "BenchSupport.h"

#include "bases/SquishBase.h"

#include <benchmark/benchmark.h>
#include <filesystem>

using namespace tavro;

namespace {

// One base made once for all benchmarks, and a pristine copy to restore it from.
class TArea {
public:
    static TArea& Get() {
        static TArea area(bench::Scaled(100000));
        return area;
    }
    std::string Sqd() const { return Dir.Path + "/area.sqd"; }

    void Restore() const {
        for (const char* ext : {".sqd", ".sqi"})
            std::filesystem::copy_file(Dir.Path + "/pristine" + ext, Dir.Path + "/area" + ext,
                                       std::filesystem::copy_options::overwrite_existing);
    }

    int Count;

private:
    explicit TArea(int count) : Count(count) {
        {
            TSquishBase base(Sqd(), "BENCH.ECHO", "");
            base.CreateIfMissing();
            for (int i = 0; i < count; ++i)
                bench::PostTypical(base, i);
            base.SetUser(0, "Reader");
            base.SetLastRead(static_cast<TMsgId>(count - count / 10));
        }
        for (const char* ext : {".sqd", ".sqi"})
            std::filesystem::copy_file(Dir.Path + "/area" + ext, Dir.Path + "/pristine" + ext);
    }

    bench::TScratchDir Dir;
};

TBaseRef Open(const TArea& area) {
    TBaseRef base = TBaseRef::Adopt(new TSquishBase(area.Sqd(), "BENCH.ECHO", ""));
    base->SetUser(0, "Reader");
    base->Rescan();
    return base;
}

// What the reader does to show an area at its last-read message.
void BM_OpenAtLastRead(benchmark::State& state) {
    TArea& area = TArea::Get();
    for (auto _ : state) {
        TBaseRef base = Open(area);
        benchmark::DoNotOptimize(base->GetCount());
        benchmark::DoNotOptimize(base->GetMsg(base->FindNearest(base->GetLastRead()))->Subject);
        base.Reset();
    }
    state.counters["messages"] = area.Count;
}
BENCHMARK(BM_OpenAtLastRead)->Unit(benchmark::kMillisecond);

void BM_EveryHeader(benchmark::State& state) {
    TArea& area = TArea::Get();
    for (auto _ : state) {
        TBaseRef base = Open(area);
        for (int i = 0; i < base->GetCount(); ++i)
            benchmark::DoNotOptimize(base->GetMsg(i)->ReplyTo);
        base.Reset();
    }
    state.SetItemsProcessed(state.iterations() * area.Count);
}
BENCHMARK(BM_EveryHeader)->Unit(benchmark::kMillisecond);

void BM_Append(benchmark::State& state) {
    TArea& area = TArea::Get();
    const int count = bench::Scaled(10000);
    for (auto _ : state) {
        TBaseRef base = Open(area);
        for (int i = 0; i < count; ++i)
            bench::PostTypical(*base, area.Count + i);
        state.PauseTiming();
        base.Reset();
        area.Restore();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_Append)->Unit(benchmark::kMillisecond);

// Every 100th message in one pass.
void BM_BulkDelete(benchmark::State& state) {
    TArea& area = TArea::Get();
    std::vector<TMsgId> ids;
    for (int i = 0; i < area.Count; i += 100)
        ids.push_back(static_cast<TMsgId>(i + 1));
    for (auto _ : state) {
        TBaseRef base = Open(area);
        benchmark::DoNotOptimize(base->DeleteMsgs(ids, nullptr));
        state.PauseTiming();
        base.Reset();
        area.Restore();
        state.ResumeTiming();
    }
    state.counters["deleted"] = static_cast<double>(ids.size());
}
BENCHMARK(BM_BulkDelete)->Unit(benchmark::kMillisecond);

} // namespace
