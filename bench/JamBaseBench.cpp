#include "BenchSupport.h"

#include "bases/JamBase.h"

#include <benchmark/benchmark.h>
#include <filesystem>

using namespace tavro;

namespace {

// Two bases made once: one as tossers leave it, one with every 100th message deleted, which
// makes the list read headers. Each has a pristine copy to restore it from.
class TArea {
public:
    static TArea& Get() {
        static TArea area(bench::Scaled(100000));
        return area;
    }
    std::string Jhr(bool withDeleted) const {
        return Dir.Path + (withDeleted ? "/deleted.jhr" : "/area.jhr");
    }

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
            TJamBase base(Jhr(false), "BENCH.ECHO", "");
            if (!Setup.Require(base.CreateIfMissing(), "could not create the base") ||
                !bench::PostTypical(base, 0, count, Setup))
                return;
            base.SetUser(0, "Reader");
            base.SetLastRead(static_cast<TMsgId>(count - count / 10));
        }
        namespace fs = std::filesystem;
        std::error_code ec;
        for (const char* ext : {".jhr", ".jdx", ".jdt", ".jlr"}) {
            fs::copy_file(Dir.Path + "/area" + ext, Dir.Path + "/pristine" + ext, ec);
            if (!ec)
                fs::copy_file(Dir.Path + "/area" + ext, Dir.Path + "/deleted" + ext, ec);
            if (!Setup.Require(!ec, "could not copy the base"))
                return;
        }
        TJamBase deleted(Jhr(true), "BENCH.ECHO", "");
        std::vector<TMsgId> ids;
        for (int i = 0; i < count; i += 100)
            ids.push_back(static_cast<TMsgId>(i + 1));
        Setup.Require(deleted.DeleteMsgs(ids, nullptr), "could not delete every 100th message");
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
    TArea& area = TArea::Get();
    if (!area.Setup.Ready(state))
        return;
    const bool withDeleted = state.range(0) != 0;
    for (auto _ : state) {
        TBaseRef base = Open(area.Jhr(withDeleted));
        benchmark::DoNotOptimize(base->GetCount());
        benchmark::DoNotOptimize(base->GetMsg(base->FindNearest(base->GetLastRead()))->Subject);
        base.Reset();
    }
    state.SetLabel(withDeleted ? "some deleted" : "none deleted");
}
BENCHMARK(BM_OpenAtLastRead)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_EveryHeader(benchmark::State& state) {
    TArea& area = TArea::Get();
    if (!area.Setup.Ready(state))
        return;
    for (auto _ : state) {
        TBaseRef base = Open(area.Jhr(false));
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
    TBaseRef base = Open(area.Jhr(false));
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
        TBaseRef base = Open(area.Jhr(false));
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
