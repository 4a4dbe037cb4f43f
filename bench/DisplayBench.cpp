// Showing one long message in the reader's text pane against the text work alone: wrapping
// and classifying its lines. The pane reads the message from a JAM base, wraps it, and
// colours and paints the first screen.
#include "BenchSupport.h"

#include "reader/MessageDisplay.h"
#include "reader/MsgHeaderPanel.h"

#include "bases/JamBase.h"
#include "text/FtnParser.h"
#include "text/Quoting.h"

#include "reader/MessageView.h"
#include <QFontDatabase>

#include <benchmark/benchmark.h>

using namespace tavro;

namespace {

constexpr int MessageBytes = 64 * 1024;

// Prose and quotes of four levels, about one line in three longer than the view.
std::string Line(int i) {
    static const char* const Prefixes[] = {"", " IP> ", " IP>> ", " AB>>> ", " IP>>>> "};
    std::string line = Prefixes[i % 5];
    const size_t length = line.size() + 30 + size_t(i * 41 % 100);
    for (int w = i; line.size() < length; ++w)
        line += (w % 7 == 0 ? "nodelist " : w % 3 ? "echo " : "message, ");
    return line;
}

struct TLongMessage {
    bench::TScratchDir Dir;
    std::unique_ptr<TJamBase> Base;
    TStringList Lines;
    int64_t Bytes = 0;
    bench::TSetup Setup;

    TLongMessage() {
        for (int i = 0; Bytes < MessageBytes; ++i) {
            Lines.push_back(Line(i));
            Bytes += int64_t(Lines.back().size()) + 1;
        }
        Base = std::make_unique<TJamBase>(Dir.Path + "/area.jhr", "RU.BENCH", "");
        if (!Setup.Require(Base->CreateIfMissing(), "cannot create the JAM base"))
            return;
        Base->Rescan();
        auto msg = Base->NewMsg();
        bench::FillTypicalMessage(*msg, 1);
        msg->Body.clear();
        for (const std::string& line : Lines)
            msg->Body.emplace_back(line);
        Setup.Require(msg->Save(), "cannot store the message");
    }
};

TLongMessage& Message() {
    static TLongMessage message;
    return message;
}

void BM_WrapAndClassify(benchmark::State& state) {
    TLongMessage& message = Message();
    for (auto _ : state) {
        TStringList wrapped;
        WrapQuoted(message.Lines, wrapped, 79);
        for (const std::string& line : wrapped)
            benchmark::DoNotOptimize(TFTNParser::GetLineStyles(line));
    }
    state.SetBytesProcessed(state.iterations() * message.Bytes);
}
BENCHMARK(BM_WrapAndClassify)->Unit(benchmark::kMillisecond);

// The first screen as the reader shows it; with `complete`, also the lines below it, which
// the view adds once the program is back in its event loop.
void ShowMessage(benchmark::State& state, bool complete) {
    TLongMessage& message = Message();
    if (!message.Setup.Ready(state))
        return;
    app::TMsgHeaderPanel header;
    app::TMessageView text;
    text.setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text.resize(800, 600);
    text.show();
    app::TMessageDisplay display(&header, &text);
    for (auto _ : state) {
        display.Show(*message.Base, 0, {});
        text.viewport()->repaint();
        if (complete)
            text.Complete();
        state.PauseTiming();
        display.Clear();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * message.Bytes);
}

void BM_ShowMessage(benchmark::State& state) {
    ShowMessage(state, false);
}
BENCHMARK(BM_ShowMessage)->Unit(benchmark::kMillisecond);

void BM_ShowWholeMessage(benchmark::State& state) {
    ShowMessage(state, true);
}
BENCHMARK(BM_ShowWholeMessage)->Unit(benchmark::kMillisecond);

} // namespace
