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

    bool Restore() const {
        std::error_code ec;
        for (const char* ext : {".sqd", ".sqi"})
            std::filesystem::copy_file(Dir.Path + "/pristine" + ext, Dir.Path + "/area" + ext,
                                       std::filesystem::copy_options::overwrite_existing, ec);
        return !ec;
    }

    int Count;
    bench::TSetup Setup;

private:
    explicit TArea(int count) : Count(count) {
        if (!Setup.Require(!Dir.Path.empty(), "no scratch directory"))
            return;
        {
            TSquishBase base(Sqd(), "BENCH.ECHO", "");
            if (!Setup.Require(base.CreateIfMissing(), "could not create the base") ||
                !bench::PostTypical(base, 0, count, Setup))
                return;
            base.SetUser(0, "Reader");
            base.SetLastRead(static_cast<TMsgId>(count - count / 10));
        }
        std::error_code ec;
        for (const char* ext : {".sqd", ".sqi"})
            if (!ec)
                std::filesystem::copy_file(Dir.Path + "/area" + ext, Dir.Path + "/pristine" + ext, ec);
        Setup.Require(!ec, "could not copy the base");
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
    if (!area.Setup.Ready(state))
        return;
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
    if (!area.Setup.Ready(state))
        return;
    for (auto _ : state) {
        TBaseRef base = Open(area);
        for (int i = 0; i < base->GetCount(); ++i)
            benchmark::DoNotOptimize(base->GetMsg(i)->ReplyTo);
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
    const int count = bench::Scaled(10000);
    bench::TSetup run;
    for (auto _ : state) {
        state.PauseTiming();
        TBaseRef base = Open(area);
        state.ResumeTiming();
        bench::PostTypical(*base, area.Count, count, run);
        state.PauseTiming();
        base->Rescan();
        run.Require(base->GetCount() == area.Count + count, "the appended messages are not all there");
        base.Reset();
        run.Require(area.Restore(), "could not restore the base");
        state.ResumeTiming();
        if (run.Failed())
            break;
    }
    run.Ready(state);
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_Append)->Unit(benchmark::kMillisecond);

// Every 100th message in one pass.
void BM_BulkDelete(benchmark::State& state) {
    TArea& area = TArea::Get();
    if (!area.Setup.Ready(state))
        return;
    std::vector<TMsgId> ids;
    for (int i = 0; i < area.Count; i += 100)
        ids.push_back(static_cast<TMsgId>(i + 1));
    bench::TSetup run;
    for (auto _ : state) {
        state.PauseTiming();
        TBaseRef base = Open(area);
        state.ResumeTiming();
        run.Require(base->DeleteMsgs(ids, nullptr), "the delete failed");
        state.PauseTiming();
        base->Rescan();
        run.Require(base->GetCount() == area.Count - static_cast<int>(ids.size()),
                    "the messages are not all gone");
        base.Reset();
        run.Require(area.Restore(), "could not restore the base");
        state.ResumeTiming();
        if (run.Failed())
            break;
    }
    run.Ready(state);
    state.counters["deleted"] = static_cast<double>(ids.size());
}
BENCHMARK(BM_BulkDelete)->Unit(benchmark::kMillisecond);

} // namespace
