#include "BenchSupport.h"

#include "bases/JamBase.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <map>
#include <memory>

using namespace tavro;

namespace {

// Bases made once per size: one as tossers leave it, one with every 10th message deleted,
// which makes the list read the headers. The first has a pristine copy to restore it from.
class TArea {
public:
    // `count` as a full run has it; smoke runs make a hundredth.
    static TArea& Get(int count = 100000, bool withDeleted = false) {
        static std::map<std::pair<int, bool>, std::unique_ptr<TArea>> areas;
        std::unique_ptr<TArea>& area = areas[{count, withDeleted}];
        if (!area)
            area.reset(withDeleted ? new TArea(Get(count, false), 10) : new TArea(bench::Scaled(count)));
        return *area;
    }
    std::string Jhr() const { return Dir.Path + "/area.jhr"; }
    std::string Jdx() const { return Dir.Path + "/area.jdx"; }

    bool Restore() const {
        std::error_code ec;
        for (const char* ext : {".jhr", ".jdx", ".jdt"})
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
            TJamBase base(Jhr(), "BENCH.ECHO", "");
            if (!Setup.Require(base.CreateIfMissing(), "could not create the base") ||
                !bench::PostTypical(base, 0, count, Setup))
                return;
            base.SetUser(0, "Reader");
            base.SetLastRead(static_cast<TMsgId>(count - count / 10));
        }
        std::error_code ec;
        for (const char* ext : {".jhr", ".jdx", ".jdt", ".jlr"})
            if (!ec)
                std::filesystem::copy_file(Dir.Path + "/area" + ext, Dir.Path + "/pristine" + ext, ec);
        Setup.Require(!ec, "could not copy the base");
    }

    // A copy of `whole` with every `every`th message deleted.
    TArea(const TArea& whole, int every) : Count(whole.Count) {
        if (!Setup.Require(!whole.Setup.Failed(), "the base to copy is not there") ||
            !Setup.Require(!Dir.Path.empty(), "no scratch directory"))
            return;
        std::error_code ec;
        for (const char* ext : {".jhr", ".jdx", ".jdt", ".jlr"})
            if (!ec)
                std::filesystem::copy_file(whole.Dir.Path + "/pristine" + ext, Dir.Path + "/area" + ext, ec);
        if (!Setup.Require(!ec, "could not copy the base"))
            return;
        TJamBase base(Jhr(), "BENCH.ECHO", "");
        base.Rescan();
        std::vector<TMsgId> ids;
        for (int i = 0; i < base.GetCount(); i += every)
            ids.push_back(base.GetMsgId(i));
        Setup.Require(base.DeleteMsgs(ids, nullptr), "could not delete the messages");
    }

    bench::TScratchDir Dir;
};

TBaseRef Open(const std::string& jhr) {
    TBaseRef base = TBaseRef::Adopt(new TJamBase(jhr, "BENCH.ECHO", ""));
    base->SetUser(0, "Reader");
    base->Rescan();
    return base;
}

// What the reader does to show an area at its last-read message.
void BM_OpenAtLastRead(benchmark::State& state) {
    const bool withDeleted = state.range(0) != 0;
    TArea& area = TArea::Get(100000, withDeleted);
    if (!area.Setup.Ready(state))
        return;
    for (auto _ : state) {
        TBaseRef base = Open(area.Jhr());
        benchmark::DoNotOptimize(base->GetCount());
        benchmark::DoNotOptimize(base->GetMsg(base->FindNearest(base->GetLastRead()))->Subject);
        base.Reset();
    }
    state.SetLabel(withDeleted ? "10% deleted" : "none deleted");
}
BENCHMARK(BM_OpenAtLastRead)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The message list opening a flat list at the last-read message, by the size of the area
// (and with every 10th message deleted). Opening 100,000 messages may cost no more than
// opening 1,000 plus BM_ReadIndexTwice, and with the deleted ones plus BM_ReadHeaderFile.
void BM_OpenFlat(benchmark::State& state) {
    const bool withDeleted = state.range(1) != 0;
    TArea& area = TArea::Get(static_cast<int>(state.range(0)), withDeleted);
    if (!area.Setup.Ready(state))
        return;
    for (auto _ : state) {
        TBaseRef base = Open(area.Jhr());
        bench::ShowFirstScreen(*base);
        base.Reset();
    }
    state.counters["messages"] = area.Count;
    state.SetLabel(withDeleted ? "10% deleted" : "none deleted");
}
BENCHMARK(BM_OpenFlat)->Args({1000, 0})->Args({100000, 0})->Args({100000, 1})->Unit(benchmark::kMillisecond);

// The baseline of BM_OpenFlat: the index file read into memory twice with plain read().
void BM_ReadIndexTwice(benchmark::State& state) {
    TArea& area = TArea::Get(static_cast<int>(state.range(0)));
    if (!area.Setup.Ready(state))
        return;
    bench::TSetup run;
    for (auto _ : state)
        for (int i = 0; i < 2; ++i)
            run.Require(bench::PlainRead(area.Jdx()) >= 0, "could not read the index");
    run.Ready(state);
    state.counters["messages"] = area.Count;
}
BENCHMARK(BM_ReadIndexTwice)->Arg(100000)->Unit(benchmark::kMillisecond);

// The further baseline of a base with deleted messages: its header file read once from start
// to end with plain read().
void BM_ReadHeaderFile(benchmark::State& state) {
    TArea& area = TArea::Get(static_cast<int>(state.range(0)), true);
    if (!area.Setup.Ready(state))
        return;
    bench::TSetup run;
    for (auto _ : state)
        run.Require(bench::PlainSequentialRead(area.Jhr()) >= 0, "could not read the header file");
    run.Ready(state);
    state.counters["messages"] = area.Count;
}
BENCHMARK(BM_ReadHeaderFile)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_EveryHeader(benchmark::State& state) {
    TArea& area = TArea::Get();
    if (!area.Setup.Ready(state))
        return;
    for (auto _ : state) {
        TBaseRef base = Open(area.Jhr());
        for (int i = 0; i < base->GetCount(); ++i)
            benchmark::DoNotOptimize(base->GetMsg(i)->ReplyTo);
        base.Reset();
    }
    state.SetItemsProcessed(state.iterations() * area.Count);
}
BENCHMARK(BM_EveryHeader)->Unit(benchmark::kMillisecond);

// The area tree asks every area this at start-up: first without the list, then with it.
void BM_HasUnread(benchmark::State& state) {
    TArea& area = TArea::Get();
    if (!area.Setup.Ready(state))
        return;
    const bool withList = state.range(0) != 0;
    TBaseRef base = Open(area.Jhr());
    if (withList)
        base->GetCount();
    for (auto _ : state)
        benchmark::DoNotOptimize(base->HasUnread());
    base.Reset();
    state.SetLabel(withList ? "with the list" : "quick test");
}
BENCHMARK(BM_HasUnread)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Appending to an area that is open already: the list is read before the clock runs.
void BM_Append(benchmark::State& state) {
    TArea& area = TArea::Get();
    if (!area.Setup.Ready(state))
        return;
    const int count = bench::Scaled(10000);
    bench::TSetup run;
    for (auto _ : state) {
        state.PauseTiming();
        TBaseRef base = Open(area.Jhr());
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

} // namespace
