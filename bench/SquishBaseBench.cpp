#include "BenchSupport.h"

#include "bases/SquishBase.h"

#include <benchmark/benchmark.h>
#include <filesystem>

using namespace tavro;

namespace {

void Post(TSquishBase& base, int i) {
    auto msg = base.NewMsg();
    msg->FromName = "Author " + std::to_string(i % 97);
    msg->ToName = "All";
    msg->Subject = "Subject of message " + std::to_string(i);
    msg->FromAddr.Parse("2:5020/" + std::to_string(i % 1000));
    msg->DateWritten = msg->DateArrived = EncodeDateTime(2024, 1, 1 + i % 28, i % 24, i % 60, 0);
    msg->Kludges = {"\x01MSGID: 2:5020/1 " + std::to_string(i)};
    for (int line = 0; line < 20; ++line)
        msg->Body.emplace_back("Some text of a typical echomail message, line " + std::to_string(line));
    msg->Body.emplace_back(" * Origin: bench (2:5020/1)");
    msg->Tail = {"SEEN-BY: 5020/1 2 3", "\x01PATH: 5020/1"};
    msg->Save();
}

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
            for (int i = 0; i < count; ++i)
                Post(base, i);
            base.SetUser(0, "Reader");
            base.SetLastRead(static_cast<TMsgId>(count - count / 10));
        }
        for (const char* ext : {".sqd", ".sqi"})
            std::filesystem::copy_file(Dir.Path + "/area" + ext, Dir.Path + "/pristine" + ext);
    }

    bench::TScratchDir Dir;
};

TSquishBase* Open(const TArea& area) {
    auto* base = new TSquishBase(area.Sqd(), "BENCH.ECHO", "");
    base->SetUser(0, "Reader");
    base->Rescan();
    return base;
}

// What the reader does to show an area at its last-read message.
void BM_OpenAtLastRead(benchmark::State& state) {
    TArea& area = TArea::Get();
    for (auto _ : state) {
        TSquishBase* base = Open(area);
        benchmark::DoNotOptimize(base->GetCount());
        benchmark::DoNotOptimize(base->GetMsg(base->FindNearest(base->GetLastRead()))->Subject);
        base->Release();
    }
    state.counters["messages"] = area.Count;
}
BENCHMARK(BM_OpenAtLastRead)->Unit(benchmark::kMillisecond);

void BM_EveryHeader(benchmark::State& state) {
    TArea& area = TArea::Get();
    for (auto _ : state) {
        TSquishBase* base = Open(area);
        for (int i = 0; i < base->GetCount(); ++i)
            benchmark::DoNotOptimize(base->GetMsg(i)->ReplyTo);
        base->Release();
    }
    state.SetItemsProcessed(state.iterations() * area.Count);
}
BENCHMARK(BM_EveryHeader)->Unit(benchmark::kMillisecond);

void BM_Append(benchmark::State& state) {
    TArea& area = TArea::Get();
    const int count = bench::Scaled(10000);
    for (auto _ : state) {
        TSquishBase* base = Open(area);
        for (int i = 0; i < count; ++i)
            Post(*base, area.Count + i);
        state.PauseTiming();
        base->Release();
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
        TSquishBase* base = Open(area);
        benchmark::DoNotOptimize(base->DeleteMsgs(ids, nullptr));
        state.PauseTiming();
        base->Release();
        area.Restore();
        state.ResumeTiming();
    }
    state.counters["deleted"] = static_cast<double>(ids.size());
}
BENCHMARK(BM_BulkDelete)->Unit(benchmark::kMillisecond);

} // namespace
