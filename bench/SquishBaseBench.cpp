#include "BenchSupport.h"

#include "bases/SquishBase.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <map>
#include <memory>

using namespace tavro;

namespace {

// A base made once per size, and a pristine copy to restore it from.
class TArea {
public:
    // `count` as a full run has it; smoke runs make a hundredth.
    static TArea& Get(int count = 100000) {
        static std::map<int, std::unique_ptr<TArea>> areas;
        std::unique_ptr<TArea>& area = areas[count];
        if (!area)
            area.reset(new TArea(bench::Scaled(count)));
        return *area;
    }
    std::string Sqd() const { return Dir.Path + "/area.sqd"; }
    std::string Sqi() const { return Dir.Path + "/area.sqi"; }

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

// The message list opening a flat list at the last-read message, by the size of the area.
// Opening 100,000 messages may cost no more than opening 1,000 plus BM_ReadIndexTwice.
void BM_OpenFlat(benchmark::State& state) {
    TArea& area = TArea::Get(static_cast<int>(state.range(0)));
    if (!area.Setup.Ready(state))
        return;
    for (auto _ : state) {
        TBaseRef base = Open(area);
        bench::ShowFirstScreen(*base);
        base.Reset();
    }
    state.counters["messages"] = area.Count;
}
BENCHMARK(BM_OpenFlat)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The baseline of BM_OpenFlat: the index file read into memory twice with plain read().
void BM_ReadIndexTwice(benchmark::State& state) {
    TArea& area = TArea::Get(static_cast<int>(state.range(0)));
    if (!area.Setup.Ready(state))
        return;
    bench::TSetup run;
    for (auto _ : state)
        for (int i = 0; i < 2; ++i)
            run.Require(bench::PlainRead(area.Sqi()) >= 0, "could not read the index");
    run.Ready(state);
    state.counters["messages"] = area.Count;
}
BENCHMARK(BM_ReadIndexTwice)->Arg(100000)->Unit(benchmark::kMillisecond);

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
