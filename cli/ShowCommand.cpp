#include "BaseOpen.h"
#include "Command.h"

#include "core/Attributes.h"
#include "core/CodePage.h"
#include "core/LocaleFormat.h"
#include "core/StrUtils.h"
#include "text/FtnParser.h"
#include "text/Quoting.h"

#include <climits>

namespace tavro::cli {

namespace {

constexpr int DefaultWidth = 79;
constexpr int MaxWidth = 100000;

struct TShowOptions {
    std::string Path;
    TBaseType Type = btMsg;
    int Position = 0;
    int Width = DefaultWidth;
    bool Kludges = false;
    bool Color = false;
    bool KeepSoftCR = false;
};

TShowOptions ParseShowOptions(const std::vector<std::string>& args) {
    TArguments arguments(args, {"--type", "--width"}, {"--kludges", "--color", "--keep-softcr"});
    if (arguments.Positional.size() != 2)
        ThrowUsage("give the base's PATH and the message's POSITION");
    TShowOptions options;
    options.Path = arguments.Positional[0];
    int32_t position = 0;
    if (!StrToInt(arguments.Positional[1], position) || position < 0)
        ThrowUsage("POSITION must be a number from 0: " + arguments.Positional[1]);
    options.Position = position;
    options.Width = arguments.Number("--width", 1, MaxWidth, DefaultWidth);
    options.Kludges = arguments.Has("--kludges");
    options.Color = arguments.Has("--color");
    options.KeepSoftCR = arguments.Has("--keep-softcr");
    options.Type = ExistingBaseType(options.Path, arguments.Value("--type"));
    return options;
}

// Terminal colours near the default colour of each text element; plain text keeps the
// terminal's own.
const char* AnsiColor(char style) {
    switch (style) {
    case ceAddress:
        return "\x1b[94;4m"; // blue, underlined
    case ceQuote1:
        return "\x1b[34m"; // navy
    case ceQuote2:
        return "\x1b[32m"; // green
    case ceQuote3:
        return "\x1b[35m"; // purple
    case ceQuote4:
        return "\x1b[95m"; // fuchsia
    case ceKludge:
        return "\x1b[91m"; // red
    case ceTearOrigin:
        return "\x1b[31m"; // maroon
    default:
        return nullptr;
    }
}

class TShower {
public:
    TShower(TCustomBase& base, const TShowOptions& options, std::ostream& out)
        : Base(base), Options(options), Page(ActiveDisplayPage()), Out(out) {}

    void Run(TCustomMsg& msg) {
        Header(msg);
        Out << '\n';
        if (Options.Kludges)
            Lines(msg.GetKludges());
        TStringList body;
        for (const TBodyLine& line : msg.GetBody())
            body.push_back(line.Text);
        TStringList wrapped;
        WrapQuoted(body, wrapped, Options.Width);
        Lines(wrapped);
        if (Options.Kludges)
            Lines(msg.GetTail());
    }

private:
    void Header(TCustomMsg& msg) {
        const uint32_t attr = msg.GetAttr(); // loads the text, which settles the addresses
        Party("From:", msg.FromName, msg.FromAddr, msg.DateWritten);
        Party("To:", msg.ToName, msg.ToAddr, msg.DateArrived);
        Out << "Subj: " << Page.ToUtf8(msg.Subject) << '\n';
        const std::string attributes = AttrToStr(attr);
        Out << "Attr:" << (attributes.empty() ? "" : " ") << attributes << '\n';
        const int count = Base.GetCount();
        Out << "Msg:  " << Options.Position + 1 << '/' << count << '-' << count - Options.Position - 1
            << ReplyLinks(msg) << '\n';
    }

    void Party(const char* caption, const std::string& name, const TAddress& address, TDateTime date) {
        Out << caption << std::string(6 - std::char_traits<char>::length(caption), ' ') << Page.ToUtf8(name);
        if (address.IsValid())
            Out << ", " << address.ToStr5D();
        Out << "  at " << FormatShortDate(date) << ' ' << FormatLongTime(date) << '\n';
    }

    // "-3 +7 9": the parent's and the answers' positions, counted from 1, as far as they are
    // in the area.
    std::string ReplyLinks(const TCustomMsg& msg) {
        std::string links;
        if (int parent = msg.ReplyTo != 0 ? Base.IndexOfId(msg.ReplyTo) : -1; parent >= 0)
            links += "-" + std::to_string(parent + 1);
        bool first = true;
        for (TMsgId reply : msg.Replies) {
            const int position = reply != 0 ? Base.IndexOfId(reply) : -1;
            if (position < 0)
                continue;
            links += first ? " +" : " ";
            links += std::to_string(position + 1);
            first = false;
        }
        return links.empty() ? links : "  Links: " + TrimLeft(links);
    }

    void Lines(const TStringList& lines) {
        for (const std::string& line : lines)
            Line(line);
    }

    void Line(const std::string& line) {
        if (!Options.Color) {
            Out << Visible(line) << '\n';
            return;
        }
        const std::string styles = TFTNParser::GetLineStyles(line);
        size_t start = 0;
        while (start < line.size()) {
            size_t end = start + 1;
            while (end < line.size() && styles[end] == styles[start])
                ++end;
            const std::string text = Visible(std::string_view(line).substr(start, end - start));
            if (const char* color = AnsiColor(styles[start]))
                Out << color << text << "\x1b[0m";
            else
                Out << text;
            start = end;
        }
        Out << '\n';
    }

    // UTF-8 for the terminal, with the kludge marker spelled out.
    std::string Visible(std::string_view text) const {
        std::string utf8 = Page.ToUtf8(text);
        for (size_t at = utf8.find('\x01'); at != std::string::npos; at = utf8.find('\x01', at + 2))
            utf8.replace(at, 1, "^A");
        return utf8;
    }

    TCustomBase& Base;
    const TShowOptions& Options;
    const TCodePage& Page;
    std::ostream& Out;
};

int Show(const std::vector<std::string>& args, std::ostream& out) {
    const TShowOptions options = ParseShowOptions(args);
    TBaseRef base = OpenBase(options.Type, options.Path, ActiveCodePages(), options.KeepSoftCR);
    const int count = base->GetCount();
    if (options.Position >= count)
        ThrowFailure("no message at position " + std::to_string(options.Position) + ": the base holds " +
                     std::to_string(count));
    TMsgHandle msg = base->GetMsg(options.Position);
    if (msg == nullptr)
        ThrowFailure("the message at position " + std::to_string(options.Position) + " cannot be read");
    TShower(*base, options, out).Run(*msg);
    base->Close();
    return 0;
}

} // namespace

int RunShow(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return RunReportingErrors("show", err, [&] { return Show(args, out); });
}

} // namespace tavro::cli
