#include "BenchSupport.h"

#include "nodelist/NodeHints.h"
#include "nodelist/Nodelist.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <fstream>
#include <utility>

using namespace tavro;

namespace {

constexpr int NodeLines = 30000;
constexpr int PointLines = 150000;

const char* const FirstNames[] = {"Ivan", "Pavel", "Olga",   "Sergey",  "Anna",  "Dmitry", "Maria",
                                  "Oleg", "Elena", "Andrey", "Nikolai", "Irina", "Yuri"};
const char* const Syllables[] = {"Pe", "Sa", "Mo", "Ko", "Va", "Ne", "Ro", "Li", "Gu", "Te",
                                 "Bo", "Da", "Fe", "Zi", "Ku", "Lo", "Ma", "Si", "Ty", "Ze"};

// Some 5,000 different sysops, so a name is listed a few dozen times, as busy sysops are.
std::string SysopName(int i) {
    const int first = i % 13, a = (i / 13) % 20, b = (i / 260) % 20;
    return std::string(FirstNames[first]) + "_" + Syllables[a] + Syllables[b] + "trov";
}

std::string Fields(int i) {
    return ",Some_BBS_Name_" + std::to_string(i % 1000) + ",Moscow_Russia," + SysopName(i) + ",7-495-123-" +
           std::to_string(1000 + i % 9000) + ",33600,CM,XA,V34,IBN,INA:host.example.org\r\n";
}

// Zones, regions, hosts and hubs above plain nodes, in the proportions of a real nodelist.
std::string MakeNodelist(int lines) {
    std::string text = ";A Tavro benchmark nodelist\r\n";
    int zone = 0, net = 0, node = 0;
    for (int i = 0; i < lines; ++i) {
        if (i % 10000 == 0)
            text += "Zone," + std::to_string(++zone) + Fields(i), net = zone * 100, node = 0;
        else if (i % 2000 == 0)
            text += "Region," + std::to_string(++net) + Fields(i), node = 0;
        else if (i % 200 == 0)
            text += "Host," + std::to_string(++net) + Fields(i), node = 0;
        else if (i % 25 == 0)
            text += "Hub," + std::to_string(++node) + Fields(i);
        else
            text += "," + std::to_string(++node) + Fields(i);
    }
    return text;
}

// A boss line and the points under it, about ten per boss.
std::string MakePointlist(int lines) {
    std::string text = ";A Tavro benchmark pointlist\r\n";
    int boss = 0, point = 0;
    for (int i = 0; i < lines; ++i) {
        if (i % 10 == 0) {
            text += "Boss,2:5020/" + std::to_string(++boss) + "\r\n";
            point = 0;
        } else {
            // Both forms of point lines: "Point,N" and, under a boss, a plain ",N".
            text += (boss % 2 ? "Point," : ",") + std::to_string(++point) + Fields(i + NodeLines);
        }
    }
    return text;
}

// The two lists written once and compiled, shared by the benchmarks.
struct TNodelistFiles {
    bench::TScratchDir Dir;
    std::vector<std::string> Masks = {"NODELIST.*", "POINTS.*"};
    int64_t Bytes = 0;
    TNodelistIndex Index{Dir.Path};

    bench::TSetup Setup;

    TNodelistFiles(int nodeLines = bench::Scaled(NodeLines), int pointLines = bench::Scaled(PointLines)) {
        for (const auto& [name, text] : {std::pair{"NODELIST.123", MakeNodelist(nodeLines)},
                                         std::pair{"POINTS.123", MakePointlist(pointLines)}}) {
            std::ofstream out(Dir.Path + "/" + name, std::ios::binary);
            out << text;
            out.close();
            Setup.Require(!Dir.Path.empty() && out.good(), std::string("could not write ") + name);
            Bytes += static_cast<int64_t>(text.size());
        }
        Setup.Require(Index.CompileNodelists(Masks).Ok(), "the nodelists did not compile");
        Index.LoadNodelistIndex();
        Setup.Require(!Index.Entries().empty(), "the index holds no entry");
    }
};

TNodelistFiles& Files() {
    static TNodelistFiles files;
    return files;
}

// "rewrite" 1: the index is gone before each run, so both files are written as after a new
// nodelist arrived; 0: the timer's case of an unchanged compilation, which leaves them be.
void BM_CompileNodelists(benchmark::State& state) {
    if (!Files().Setup.Ready(state))
        return;
    TNodelistFiles& files = Files();
    TNodelistIndex index(files.Dir.Path);
    const bool rewrite = state.range(0) != 0;
    bool ok = true;
    for (auto _ : state) {
        if (rewrite) {
            state.PauseTiming();
            std::remove(index.IndexFileName().c_str());
            state.ResumeTiming();
        }
        const TNodelistCompileReport report = index.CompileNodelists(files.Masks);
        ok = ok && report.Ok() && report.Rewritten == rewrite;
        benchmark::DoNotOptimize(report.Files.data());
    }
    if (!ok)
        state.SkipWithError("the compilation failed or wrote when it should not");
    state.SetBytesProcessed(state.iterations() * files.Bytes);
}
BENCHMARK(BM_CompileNodelists)->ArgName("rewrite")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_LoadNodelistIndex(benchmark::State& state) {
    if (!Files().Setup.Ready(state))
        return;
    TNodelistIndex index(Files().Dir.Path);
    for (auto _ : state) {
        index.LoadNodelistIndex();
        benchmark::DoNotOptimize(index.Entries().data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(index.Entries().size()));
}
BENCHMARK(BM_LoadNodelistIndex)->Unit(benchmark::kMillisecond);

// The last point listed: the scan passes every other entry.
void BM_FindNodeByAddress(benchmark::State& state) {
    if (!Files().Setup.Ready(state))
        return;
    const TNodelistIndex& index = Files().Index;
    const TNodeEntry last = index.Entries().back();
    for (auto _ : state)
        benchmark::DoNotOptimize(index.FindNodeByAddress(last.Zone, last.Net, last.Node, last.Point));
}
BENCHMARK(BM_FindNodeByAddress)->Unit(benchmark::kMicrosecond);

// A listed sysop reads the line of every entry with that name; a stranger reads none.
void BM_FindNodesByName(benchmark::State& state) {
    if (!Files().Setup.Ready(state))
        return;
    const TNodelistIndex& index = Files().Index;
    std::string name = state.range(0) ? SysopName(bench::Scaled(NodeLines) - 1) : "Nobody Such";
    std::replace(name.begin(), name.end(), '_', ' ');
    size_t found = 0;
    for (auto _ : state) {
        found = index.FindNodesByName(name).size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["found"] = static_cast<double>(found);
}
BENCHMARK(BM_FindNodesByName)->ArgName("listed")->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

// The hints of a message header with indexes of 2,000 and 200,000 entries: one address of each
// side listed once, the names not at all, so both sizes find the same lines.
void BM_NodeHints(benchmark::State& state) {
    static TNodelistFiles small(bench::Scaled(360), bench::Scaled(1822));
    static TNodelistFiles large(bench::Scaled(36000), bench::Scaled(182223));
    TNodelistFiles& files = state.range(0) == 2000 ? small : large;
    if (!files.Setup.Ready(state))
        return;
    const TNodelistIndex& index = files.Index;
    const TNodeEntry first = index.Entries()[1], last = index.Entries().back();
    const TAddress from(first.Zone, first.Net, first.Node, first.Point),
        to(last.Zone, last.Net, last.Node, last.Point);
    size_t length = 0;
    for (auto _ : state) {
        const TNodeHints hints = BuildNodeHints(index, "Nobody Such", from, "Nobody Else", to);
        length = hints.FromAddr.size() + hints.ToAddr.size();
        benchmark::DoNotOptimize(length);
    }
    state.counters["entries"] = static_cast<double>(index.Entries().size());
    state.counters["hint_bytes"] = static_cast<double>(length);
}
BENCHMARK(BM_NodeHints)->Arg(2000)->Arg(200000)->Unit(benchmark::kMicrosecond);

} // namespace
