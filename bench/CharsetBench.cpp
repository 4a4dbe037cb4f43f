// Reading every message of a 100,000-message JAM area whose messages are stored in KOI8-R,
// UTF-8 and CP866 by turns, against the same area all in CP866.
#include "BenchSupport.h"

#include "bases/JamBase.h"

using namespace tavro;

namespace {

// Cyrillic text of a typical length, in the display page (Windows-1251).
const std::string Line =
    "\xCF\xF0\xE8\xE2\xE5\xF2, \xFD\xF2\xEE \xF2\xE5\xEA\xF1\xF2 \xEE\xE1\xFB\xF7\xED\xEE\xE3\xEE "
    "\xEF\xE8\xF1\xFC\xEC\xE0 \xE2 \xFD\xF5\xEE-\xEA\xEE\xED\xF4\xE5\xF0\xE5\xED\xF6\xE8\xE8.";
const char* const Sets[] = {"KOI8-R 2", "UTF-8 4", "CP866 2"};

struct TArea {
    bench::TScratchDir Dir;
    bench::TSetup Setup;
    std::string Jhr = Dir.Path + "/area.jhr";

    explicit TArea(bool mixed) {
        TJamBase base(Jhr, "BENCH", "");
        if (!Setup.Require(base.CreateIfMissing(), "could not create the base"))
            return;
        const int count = bench::Scaled(100000);
        for (int i = 0; i < count; ++i) {
            auto msg = base.NewMsg();
            bench::FillTypicalMessage(*msg, i);
            msg->FromName = Line.substr(0, 6);
            msg->Subject = Line.substr(0, 30);
            msg->Kludges.push_back(std::string("\x01") + "CHRS: " + Sets[mixed ? i % 3 : 2]);
            for (TBodyLine& line : msg->Body)
                line.Text = Line;
            if (!Setup.Require(msg->Save(), "could not store message " + std::to_string(i)))
                return;
        }
    }
};

void ReadAll(benchmark::State& state, TArea& area) {
    if (!area.Setup.Ready(state))
        return;
    for (auto _ : state) {
        TJamBase base(area.Jhr, "BENCH", "");
        base.Rescan();
        for (int p = 0; p < base.GetCount(); ++p) {
            TMsgHandle msg = base.GetMsg(p);
            benchmark::DoNotOptimize(msg->GetBody().data());
            benchmark::DoNotOptimize(msg->FromName.data());
        }
    }
}

void BM_ReadAllCp866(benchmark::State& state) {
    static TArea area(false);
    ReadAll(state, area);
}
BENCHMARK(BM_ReadAllCp866)->Unit(benchmark::kMillisecond);

void BM_ReadMixedSets(benchmark::State& state) {
    static TArea area(true);
    ReadAll(state, area);
}
BENCHMARK(BM_ReadMixedSets)->Unit(benchmark::kMillisecond);

} // namespace
