// Opening the composer on a quote of a 2,000-line message (template, quoting, wrapping,
// colouring, the first screen painted) against quoting the message alone.
#include "BenchSupport.h"

#include "composer/WriteForm.h"

#include "compose/ComposeSession.h"
#include "config/Config.h"
#include "config/Echo.h"
#include "config/User.h"
#include "text/Quoting.h"

#include "widgets/StyledTextEdit.h"

#include <benchmark/benchmark.h>

using namespace tavro;

namespace {

constexpr int QuotedLines = 2000;

std::string Line(int i) {
    static const char* const Prefixes[] = {"", " IP> ", " IP>> ", ""};
    std::string line = Prefixes[i % 4];
    for (int w = i; line.size() < size_t(30 + i * 37 % 90); ++w)
        line += w % 5 ? "echo " : "nodelist, ";
    return line;
}

struct TQuotedArea {
    bench::TScratchDir Dir;
    TConfig Config;
    std::unique_ptr<TUser> User = Config.NewUser();
    TEcho* Echo = &Config.AddEcho();
    TMsgHandle Message;
    bench::TSetup Setup;

    TQuotedArea() {
        User->Name = "Olga Ivanova";
        Echo->Name = "RU.BENCH";
        Echo->EchoType = etEchomail;
        Echo->BaseType = btJam;
        Echo->Address.Parse("2:5020/1042");
        Echo->Path = Dir.Path + "/area.jhr";
        TBaseRef base = Echo->GetBase();
        if (!Setup.Require(base && base->CreateIfMissing(), "cannot create the base"))
            return;
        auto msg = base->NewMsg();
        bench::FillTypicalMessage(*msg, 1);
        msg->Body.clear();
        for (int i = 0; i < bench::Scaled(QuotedLines); ++i)
            msg->Body.emplace_back(Line(i));
        if (!Setup.Require(msg->Save(), "cannot store the message"))
            return;
        base->Rescan();
        Message = base->GetMsg(0);
        Message->GetBody();
    }
};

TQuotedArea& Area() {
    static TQuotedArea area;
    return area;
}

void BM_QuoteMessage(benchmark::State& state) {
    TQuotedArea& area = Area();
    if (!area.Setup.Ready(state))
        return;
    for (auto _ : state) {
        TBodyLines quoted;
        QuoteMessage(*area.Message, quoted, true, false);
        benchmark::DoNotOptimize(quoted.data());
    }
}
BENCHMARK(BM_QuoteMessage)->Unit(benchmark::kMillisecond);

// The composer's first screen: the text below it comes in on the next turn of the event loop.
void OpenComposer(benchmark::State& state, bool wholeText) {
    TQuotedArea& area = Area();
    if (!area.Setup.Ready(state))
        return;
    for (auto _ : state) {
        TComposeRequest request;
        request.Mode = TComposeMode::Quote;
        request.Area = request.SourceArea = area.Echo;
        request.Current = area.Message.get();
        request.CurrentId = 1;
        auto* form = new app::TWriteForm(std::make_unique<TComposeSession>(area.Config, *area.User, request),
                                         *area.User);
        form->resize(760, 560);
        form->show();
        form->Activate();
        if (wholeText)
            form->Editor()->Complete();
        form->Editor()->viewport()->repaint();
        state.PauseTiming();
        form->setAttribute(Qt::WA_DeleteOnClose, false);
        delete form;
        state.ResumeTiming();
    }
}
void BM_OpenComposerOnQuote(benchmark::State& state) {
    OpenComposer(state, false);
}
BENCHMARK(BM_OpenComposerOnQuote)->Unit(benchmark::kMillisecond);

// For information: the same with the whole text in the editor.
void BM_OpenComposerWholeText(benchmark::State& state) {
    OpenComposer(state, true);
}
BENCHMARK(BM_OpenComposerWholeText)->Unit(benchmark::kMillisecond);

} // namespace
