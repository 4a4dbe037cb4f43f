// What the reader costs on large areas: threads, sorting and scanning many areas, each
// against reading every header with the least code that can.
#include "BenchSupport.h"

#include "bases/JamBase.h"
#include "config/Echo.h"
#include "config/TreeInfo.h"
#include "config/User.h"
#include "core/Endian.h"
#include "reader/AreaState.h"
#include "reader/MsgList.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

using namespace tavro;

namespace {

// A JAM area of typical messages answering each other by their REPLY kludges, as an
// area no tosser linked.
class TThreadedArea {
public:
    static TThreadedArea& Get() {
        static TThreadedArea area(bench::Scaled(100000));
        return area;
    }
    std::string Jhr() const { return Dir.Path + "/area.jhr"; }

    int Count;
    bench::TSetup Setup;

private:
    explicit TThreadedArea(int count) : Count(count) {
        if (!Setup.Require(!Dir.Path.empty(), "no scratch directory"))
            return;
        TJamBase base(Jhr(), "BENCH.ECHO", "");
        if (!Setup.Require(base.CreateIfMissing(), "could not create the base"))
            return;
        for (int i = 0; i < count; ++i) {
            auto msg = base.NewMsg();
            bench::FillTypicalMessage(*msg, i);
            // Every third message starts a thread; the others answer an earlier one.
            if (i % 3 != 0)
                msg->Kludges.push_back("\x01REPLY: 2:5020/1 " + std::to_string(i - 1 - i % 7 % i));
            if (!Setup.Require(msg->Save(), "could not store message " + std::to_string(i)))
                return;
        }
    }

    bench::TScratchDir Dir;
};

TBaseRef Open(const std::string& jhr) {
    TBaseRef base = TBaseRef::Adopt(new TJamBase(jhr, "BENCH.ECHO", ""));
    base->SetUser(0, "Reader");
    base->Rescan();
    return base;
}

// The baseline: every header and its subfields read in file order with plain stdio,
// the MSGID and REPLY subfields picked out.
void BM_MinimalHeaderLoop(benchmark::State& state) {
    TThreadedArea& area = TThreadedArea::Get();
    if (!area.Setup.Ready(state))
        return;
    std::vector<char> subfields;
    for (auto _ : state) {
        FILE* file = std::fopen(area.Jhr().c_str(), "rb");
        if (!file || std::fseek(file, 1024, SEEK_SET) != 0) {
            state.SkipWithError("cannot read the header file");
            break;
        }
        uint8_t header[76];
        size_t found = 0;
        while (std::fread(header, sizeof header, 1, file) == 1 && std::memcmp(header, "JAM", 4) == 0) {
            subfields.resize(GetLE32(header + 8));
            if (!subfields.empty() && std::fread(subfields.data(), subfields.size(), 1, file) != 1)
                break;
            for (size_t at = 0; at + 8 <= subfields.size();) {
                const uint16_t id = GetLE16(reinterpret_cast<uint8_t*>(&subfields[at]));
                const uint32_t length = GetLE32(reinterpret_cast<uint8_t*>(&subfields[at + 4]));
                found += id == 4 || id == 5;
                at += 8 + length;
            }
        }
        std::fclose(file);
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(state.iterations() * area.Count);
}
BENCHMARK(BM_MinimalHeaderLoop)->Unit(benchmark::kMillisecond);

// Opening the area in threads mode: the list, every header and the reply links.
void BM_Threads(benchmark::State& state) {
    TThreadedArea& area = TThreadedArea::Get();
    if (!area.Setup.Ready(state))
        return;
    for (auto _ : state) {
        TBaseRef base = Open(area.Jhr());
        TMsgList list;
        list.Fill(base.Get(), {}, true);
        benchmark::DoNotOptimize(list.ChildCount(TMsgList::NoParent));
    }
    state.SetItemsProcessed(state.iterations() * area.Count);
}
BENCHMARK(BM_Threads)->Unit(benchmark::kMillisecond);

// A click on "Subj" in a freshly opened flat list: every header is read, then sorted.
void BM_SortBySubject(benchmark::State& state) {
    TThreadedArea& area = TThreadedArea::Get();
    if (!area.Setup.Ready(state))
        return;
    for (auto _ : state) {
        TBaseRef base = Open(area.Jhr());
        TMsgList list;
        list.Fill(base.Get(), {}, false);
        list.Sort(mcSubj);
        benchmark::DoNotOptimize(list.Child(TMsgList::NoParent, 0));
    }
    state.SetItemsProcessed(state.iterations() * area.Count);
}
BENCHMARK(BM_SortBySubject)->Unit(benchmark::kMillisecond);

// Many areas of one user, as "Rescan" finds them at start: 300 copies of one area.
class TManyAreas {
public:
    static TManyAreas& Get() {
        static TManyAreas areas(300, bench::Scaled(1000));
        return areas;
    }
    std::vector<std::unique_ptr<TEcho>> Echoes;
    TUser User;
    bench::TSetup Setup;

private:
    TManyAreas(int areas, int messages) {
        if (!Setup.Require(!Dir.Path.empty(), "no scratch directory"))
            return;
        {
            TJamBase base(Dir.Path + "/a0.jhr", "BENCH.ECHO", "");
            if (!Setup.Require(base.CreateIfMissing(), "could not create the base") ||
                !bench::PostTypical(base, 0, messages, Setup))
                return;
        }
        std::error_code ec;
        for (int a = 0; a < areas; ++a) {
            const std::string name = Dir.Path + "/a" + std::to_string(a);
            for (const char* ext : {".jhr", ".jdx", ".jdt"})
                if (a > 0)
                    std::filesystem::copy_file(Dir.Path + "/a0" + ext, name + ext, ec);
            if (!Setup.Require(!ec, "could not copy the base"))
                return;
            auto echo = std::make_unique<TEcho>();
            echo->Name = "BENCH." + std::to_string(a);
            echo->EchoType = etEchomail;
            echo->BaseType = btJam;
            echo->Path = name + ".jhr";
            User.AreaTree.push_back(std::make_unique<TTreeInfo>(echo.get()));
            Echoes.push_back(std::move(echo));
        }
        // As a tosser's directory looks between tosses: unchanged for a while.
        std::filesystem::last_write_time(
            Dir.Path, std::filesystem::file_time_type::clock::now() - std::chrono::hours(1), ec);
        Setup.Require(!ec, "could not date the directory");
    }

    bench::TScratchDir Dir;
};

void BM_RescanAreas(benchmark::State& state) {
    TManyAreas& areas = TManyAreas::Get();
    if (!areas.Setup.Ready(state))
        return;
    for (auto _ : state) {
        RescanAreas(areas.User);
        state.PauseTiming();
        // The next round finds every base as the program finds it at start.
        for (auto& echo : areas.Echoes)
            echo->CloseBase();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * int64_t(areas.Echoes.size()));
}
BENCHMARK(BM_RescanAreas)->Unit(benchmark::kMillisecond);

} // namespace
