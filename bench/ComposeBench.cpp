// Sending one message into an open area of 1,000 and of 100,000 messages, as the composer
// does it: origin line, kludges with a serial from the serial file, written through the
// split. Nothing in it may grow with the area.
#include "BenchSupport.h"

#include "bases/BaseFactory.h"
#include "compose/MessageSender.h"
#include "compose/MsgIdSerial.h"
#include "config/Echo.h"

#include <map>

using namespace tavro;

namespace {

struct TFilledArea {
    bench::TScratchDir Dir;
    TEcho Echo;
    bench::TSetup Setup;

    TFilledArea(TBaseType type, int count) {
        Echo.Name = "RU.BENCH";
        Echo.EchoType = etEchomail;
        Echo.BaseType = type;
        Echo.Address.Parse("2:5020/1042");
        Echo.Path = Dir.Path + (type == btJam ? "/area.jhr" : "/area.sqd");
        TBaseRef base = Echo.GetBase();
        if (Setup.Require(base && base->CreateIfMissing(), "cannot create the base"))
            bench::PostTypical(*base, 0, count, Setup);
        if (!Setup.Failed())
            base->Rescan();
    }

    static TFilledArea& Get(TBaseType type, int count) {
        static std::map<std::pair<int, int>, std::unique_ptr<TFilledArea>> areas;
        auto& area = areas[{type, count}];
        if (!area)
            area = std::make_unique<TFilledArea>(type, count);
        return *area;
    }
};

void BM_Send(benchmark::State& state) {
    const auto type = static_cast<TBaseType>(state.range(0));
    TFilledArea& area = TFilledArea::Get(type, bench::Scaled(int(state.range(1))));
    if (!area.Setup.Ready(state))
        return;
    TMsgIdSerials serials(area.Dir.Path + "/" + TMsgIdSerials::FileName);
    TSendRules rules;
    rules.Area = &area.Echo;
    rules.Pid = "bench";
    rules.OemCodePage = 866;
    rules.OriginText = "A bench station";
    rules.Serials = &serials;
    TBaseRef base = area.Echo.GetBase();
    bench::TSetup run;
    int i = 0;
    for (auto _ : state) {
        std::unique_ptr<TCustomMsg> msg = base->NewMsg();
        bench::FillTypicalMessage(*msg, i++);
        msg->Kludges.clear();
        msg->Tail.clear();
        AddOriginLine(*msg, rules);
        BuildKludges(*msg, rules, serials.Next(msg->DateWritten));
        TSplitWrite write(*msg, rules);
        if (!run.Require(write.Write(), "a message could not be written"))
            break;
    }
    run.Ready(state);
}
BENCHMARK(BM_Send)
    ->ArgsProduct({{btJam, btSquish}, {1000, 100000}})
    ->ArgNames({"type", "count"})
    ->Unit(benchmark::kMicrosecond);

} // namespace
