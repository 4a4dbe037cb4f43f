#include "BenchSupport.h"

#include "text/FtnParser.h"
#include "text/Quoting.h"

#include <benchmark/benchmark.h>
#include <string>

using namespace tavro;

namespace {

constexpr int TextBytes = 1 << 20;
constexpr int QuotedLines = 2000;

const char* const Words[] = {"the",     "node",   "echo",  "message", "tosser", "point",    "reply",
                             "netmail", "region", "after", "before",  "weekly", "nodelist", "today"};

// Ordinary prose of 20 to 130 characters, so some lines need wrapping and most do not.
std::string Prose(int i) {
    std::string line;
    const size_t length = 20 + static_cast<size_t>(i * 37 % 111);
    for (int w = i; line.size() < length; w += 3)
        line += std::string(Words[w % std::size(Words)]) + (w % 5 ? " " : ", ");
    return line;
}

// One line of a long discussion: mostly prose and quotes, some links, the odd control line.
std::string MixedLine(int i) {
    switch (i % 20) {
    case 0:
        return "\x01MSGID: 2:5020/" + std::to_string(i % 1000) + " " + std::to_string(0x1000 + i);
    case 1:
        return "IP> " + Prose(i);
    case 2:
        return " AB>> " + Prose(i);
    case 3:
        return "IP>>> " + Prose(i);
    case 4:
        return "\xC8\xCF> \xcf\xf0\xe8\xe2\xe5\xf2, " + Prose(i);
    case 5:
        return "See 2:5020/" + std::to_string(i % 1000) + ".7@fidonet or http://fido.example.org/files/" +
               std::to_string(i) + ".zip";
    case 6:
        return "Write to ivan" + std::to_string(i % 100) + "@mail.example.org. " + Prose(i);
    case 7:
        return "--- Tavro 0.1";
    case 8:
        return " * Origin: A bench station (2:5020/" + std::to_string(i % 1000) + ")";
    default:
        return Prose(i);
    }
}

struct TText {
    TStringList Lines;
    int64_t Bytes = 0;
};

TText MakeText(int64_t bytes) {
    TText text;
    for (int i = 0; text.Bytes < bytes; ++i) {
        text.Lines.push_back(MixedLine(i));
        text.Bytes += static_cast<int64_t>(text.Lines.back().size());
    }
    return text;
}

const TText& Text() {
    static const TText text = MakeText(bench::Scaled(TextBytes));
    return text;
}

void BM_GetLineStyles(benchmark::State& state) {
    const TText& text = Text();
    for (auto _ : state)
        for (const std::string& line : text.Lines)
            benchmark::DoNotOptimize(TFTNParser::GetLineStyles(line));
    state.SetBytesProcessed(state.iterations() * text.Bytes);
}
BENCHMARK(BM_GetLineStyles)->Unit(benchmark::kMillisecond);

void BM_WrapQuoted(benchmark::State& state) {
    const TText& text = Text();
    for (auto _ : state) {
        TStringList wrapped;
        WrapQuoted(text.Lines, wrapped, 79);
        benchmark::DoNotOptimize(wrapped.data());
    }
    state.SetBytesProcessed(state.iterations() * text.Bytes);
}
BENCHMARK(BM_WrapQuoted)->Unit(benchmark::kMillisecond);

void BM_QuoteMessage(benchmark::State& state) {
    TCustomMsg msg(nullptr);
    msg.FromName = "Ivan Petrov";
    int64_t bytes = 0;
    for (int i = 0; i < bench::Scaled(QuotedLines); ++i) {
        msg.Body.emplace_back(MixedLine(i));
        bytes += static_cast<int64_t>(msg.Body.back().Text.size());
    }
    for (auto _ : state) {
        TBodyLines quoted;
        QuoteMessage(msg, quoted, true, false);
        benchmark::DoNotOptimize(quoted.data());
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_QuoteMessage)->Unit(benchmark::kMillisecond);

} // namespace
