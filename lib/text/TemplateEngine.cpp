#include "text/TemplateEngine.h"

#include "text/Quoting.h"
#include "text/StrFromFile.h"

#include "config/Echo.h"
#include "config/Template.h"
#include "core/LocaleFormat.h"
#include "core/Settings.h"
#include "core/StrUtils.h"

#include <optional>
#include <random>

namespace tavro {

namespace {

// '%#NN.' pads or cuts the line to NN columns; wider requests are held here.
constexpr size_t MaxPadColumns = 4096;

bool IsMacroNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '#';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The text of a "To:" header line at the top of a gated message: the quoted part, or the
// part before the "@", or all of it.
std::string GatewayRecipient(std::string_view header) {
    const std::string text = Trim(header);
    if (!text.empty() && text.front() == '"') {
        const size_t close = text.find('"', 1);
        if (close != std::string::npos)
            return text.substr(1, close - 1);
    }
    const size_t at = text.find('@');
    return at == std::string::npos ? text : text.substr(0, at);
}

// The target's To name; for a message to the gateway, the real recipient from the body.
std::string TargetToName(TCustomMsg& target) {
    std::string to = Trim(target.ToName);
    if (!EqualsNoCase(to, Settings().GateName))
        return to;
    for (const TBodyLine& line : target.GetBody())
        if (StartsWithNoCase(line.Text, "To:"))
            return GatewayRecipient(std::string_view(line.Text).substr(3));
    return to;
}

std::string AddressPart(const TAddress& address, std::string_view part) {
    if (part == "ADDR")
        return address.ToStr5D();
    if (part == "ZONE")
        return std::to_string(address.Zone);
    if (part == "NET")
        return std::to_string(address.Net);
    if (part == "NODE")
        return std::to_string(address.Node);
    if (part == "POINT")
        return std::to_string(address.Point);
    return address.Domain; // "DOMAIN"
}

std::optional<std::string> DatePart(TDateTime value, std::string_view part) {
    if (part == "DATE")
        return FormatShortDate(value);
    if (part == "TIME")
        return FormatLongTime(value);
    if (part == "DATETIME")
        return FormatDateTimeText(value);
    return std::nullopt;
}

bool IsAddressPart(std::string_view part) {
    return part == "ADDR" || part == "ZONE" || part == "NET" || part == "NODE" || part == "POINT" ||
           part == "DOMAIN";
}

bool IsDatePart(std::string_view part) {
    return part == "DATE" || part == "TIME" || part == "DATETIME";
}

// What follows FROM or TO in a name such as "FROMADDR"; nothing for other names.
std::optional<std::string_view> PartyPart(std::string_view name) {
    std::string_view part;
    if (name.starts_with("FROM"))
        part = name.substr(4);
    else if (name.starts_with("TO"))
        part = name.substr(2);
    else
        return std::nullopt;
    if (part.empty() || part == "NAME" || IsAddressPart(part) || IsDatePart(part))
        return part;
    return std::nullopt;
}

bool IsFileForm(std::string_view name) {
    return name == "FULLFILENAME" || name == "FILENAME" ||
           (name.starts_with("FILE") && IsDatePart(name.substr(4)));
}

// A FROM... or TO... form of one message; `toName` is its To name after any gateway rule.
std::string PartyMacro(std::string_view name, const TCustomMsg& msg, const std::string& toName) {
    const bool from = name.starts_with("FROM");
    const std::string_view part = *PartyPart(name);
    const std::string& person = from ? msg.FromName : toName;
    if (part.empty())
        return person;
    if (part == "NAME")
        return std::string(FirstWord(person));
    if (IsAddressPart(part))
        return AddressPart(from ? msg.FromAddr : msg.ToAddr, part);
    return *DatePart(from ? msg.DateWritten : msg.DateArrived, part);
}

// A file import passes the file's names and time in the quoted message's fields.
std::string FileMacro(std::string_view name, const TCustomMsg& msg) {
    if (name == "FULLFILENAME")
        return msg.FromName;
    if (name == "FILENAME")
        return msg.ToName;
    return *DatePart(msg.DateWritten, name.substr(4));
}

// One of the words of a '%RandomWord(a,b,c)' list, chosen uniformly.
std::string RandomWord(std::string_view list) {
    std::vector<std::string_view> words;
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(',', start);
        if (comma == std::string_view::npos)
            comma = list.size();
        if (comma > start)
            words.push_back(list.substr(start, comma - start));
        start = comma + 1;
    }
    if (words.empty())
        return {};
    thread_local std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<size_t> pick(0, words.size() - 1);
    return std::string(words[pick(generator)]);
}

// Expands template lines for one target; remembers the last cursor macro met.
class TExpander {
public:
    TExpander(TCustomMsg& target, const TEcho& area, const TEcho* quotedArea, TCustomMsg* quoted, bool wrap,
              bool withKludges)
        : Target(target), Area(area), QuotedArea(quotedArea), Quoted(quoted), Wrap(wrap),
          WithKludges(withKludges) {}

    // Off when re-expanding: the quoted text of the first expansion is still in the body,
    // perhaps edited, and must not come a second time.
    bool InsertQuotedText = true;

    std::optional<TCursorPos> Cursor;

    // Appends the quoted text the line asks for, then the line itself, to `out`.
    void ExpandLine(std::string_view line, int index, TBodyLines& out) {
        TLineState state{line, 0, {}, 0};
        for (;;) {
            const size_t mark = line.find('%', state.Pos);
            if (mark == std::string_view::npos) {
                state.Output.append(line.substr(state.Pos));
                break;
            }
            state.Output.append(line.substr(state.Pos, mark - state.Pos));
            size_t end = mark + 1;
            while (end < line.size() && IsMacroNameChar(line[end]))
                ++end;
            state.Pos = end;
            Expand(UpperCaseAscii(line.substr(mark + 1, end - mark - 1)), state, index, out);
        }
        out.emplace_back(std::move(state.Output), state.Tag);
    }

private:
    struct TLineState {
        std::string_view Line;
        size_t Pos; // first character after the macro name
        std::string Output;
        int Tag;
    };

    void Expand(const std::string& name, TLineState& state, int index, TBodyLines& out) {
        if (ExpandBlock(name, state, out))
            return;
        if (std::optional<std::string> text = HeaderText(name, state)) {
            state.Output += *text;
            state.Tag = index + 1;
            return;
        }
        state.Output += '%';
        state.Output += name;
    }

    // The macros that add lines or move the cursor rather than insert text.
    bool ExpandBlock(const std::string& name, TLineState& state, TBodyLines& out) {
        if (name == "CURSOR") {
            Cursor = TCursorPos{static_cast<int>(state.Output.size()), static_cast<int>(out.size())};
            return true;
        }
        const bool quote = name == "QUOTE";
        if (!quote && name != "QBODY" && name != "FILETEXT")
            return false;
        if (Quoted != nullptr && InsertQuotedText) {
            if (quote)
                QuoteMessage(*Quoted, out, Wrap, WithKludges);
            else
                CopyMessageText(*Quoted, out, Wrap, WithKludges);
        }
        return true;
    }

    // Text that depends on the headers; nothing for an unknown name.
    std::optional<std::string> HeaderText(const std::string& name, TLineState& state) {
        if (name == "RANDOMWORD")
            return RandomWordArgument(state);
        if (name == "#")
            return PadLine(state);
        if (name == "STRFROMFILE")
            return StrFromFileArgument(state);
        if (name == "SUBJ")
            return Target.Subject;
        if (name == "AREA")
            return Area.Name;
        if (PartyPart(name))
            return PartyMacro(name, Target, name.starts_with("TO") ? TargetToName(Target) : std::string());
        return QuotedText(name);
    }

    // The Q and FILE forms: empty text without a quoted message.
    std::optional<std::string> QuotedText(const std::string& name) {
        const std::string_view rest = std::string_view(name).substr(std::min<size_t>(1, name.size()));
        const bool quotedForm =
            name == "QSUBJ" || name == "QAREA" || (name.starts_with('Q') && PartyPart(rest));
        if (!quotedForm && !IsFileForm(name))
            return std::nullopt;
        if (Quoted == nullptr)
            return std::string();
        if (name == "QSUBJ")
            return Quoted->Subject;
        if (name == "QAREA")
            return QuotedArea != nullptr ? QuotedArea->Name : std::string();
        if (quotedForm)
            return PartyMacro(rest, *Quoted, Quoted->ToName);
        return FileMacro(name, *Quoted);
    }

    static std::string RandomWordArgument(TLineState& state) {
        const std::string_view line = state.Line;
        if (state.Pos >= line.size() || line[state.Pos] != '(')
            return {};
        const size_t close = line.find(')', state.Pos + 1);
        const size_t end = close == std::string_view::npos ? line.size() : close;
        const std::string_view list = line.substr(state.Pos + 1, end - state.Pos - 1);
        state.Pos = close == std::string_view::npos ? line.size() : close + 1;
        return RandomWord(list);
    }

    // '%#NN.': the output so far cut or padded to NN columns. Without digits and a "." the
    // text stays as it is.
    static std::string PadLine(TLineState& state) {
        const std::string_view line = state.Line;
        size_t end = state.Pos;
        size_t columns = 0;
        while (end < line.size() && IsDigit(line[end])) {
            columns = std::min(columns * 10 + static_cast<size_t>(line[end] - '0'), MaxPadColumns);
            ++end;
        }
        if (end == state.Pos || end >= line.size() || line[end] != '.')
            return {};
        state.Output.resize(columns, ' ');
        state.Pos = end + 1;
        return {};
    }

    // '%StrFromFile("name",N)': line N of the file. Consumes what it recognises.
    static std::string StrFromFileArgument(TLineState& state) {
        const std::string_view line = state.Line;
        size_t pos = state.Pos;
        if (line.size() - pos < 8 || line[pos] != '(' || line[pos + 1] != '"')
            return {};
        const size_t close = line.find('"', pos + 2);
        const size_t nameEnd = close == std::string_view::npos ? line.size() : close;
        const std::string fileName(line.substr(pos + 2, nameEnd - pos - 2));
        pos = std::min(nameEnd + 1, line.size());
        uint32_t number = 0;
        if (pos < line.size() && line[pos] == ',') {
            ++pos;
            while (pos < line.size() && IsDigit(line[pos])) {
                number = std::min<uint32_t>(number * 10 + static_cast<uint32_t>(line[pos] - '0'),
                                            MaxFileLineNumber);
                ++pos;
            }
        }
        state.Pos = pos;
        if (pos >= line.size() || line[pos] != ')')
            return {};
        state.Pos = pos + 1;
        return ReadFileLine(fileName, number);
    }

    TCustomMsg& Target;
    const TEcho& Area;
    const TEcho* QuotedArea;
    TCustomMsg* Quoted;
    bool Wrap;
    bool WithKludges;
};

bool UsesTemplate(const TEcho& area, const TTemplate& tpl) {
    return !tpl.Lines.empty() && (area.Flags & efUseTemplate) != 0;
}

} // namespace

TCursorPos ApplyTemplate(TCustomMsg& target, const TEcho& area, const TTemplate& tpl, bool wrap,
                         bool withKludges, const TEcho* quotedArea, TCustomMsg* quoted) {
    if (!UsesTemplate(area, tpl))
        return {};
    TExpander expander(target, area, quotedArea, quoted, wrap, withKludges);
    TBodyLines& body = target.GetBody();
    for (size_t k = 0; k < tpl.Lines.size(); ++k)
        expander.ExpandLine(tpl.Lines[k], static_cast<int>(k), body);
    return expander.Cursor.value_or(TCursorPos{});
}

void ReapplyTemplate(TCustomMsg& target, const TEcho& area, const TTemplate& tpl, const TEcho* quotedArea,
                     TCustomMsg* quoted) {
    if (!UsesTemplate(area, tpl))
        return;
    TExpander expander(target, area, quotedArea, quoted, false, false);
    expander.InsertQuotedText = false;
    TBodyLines rebuilt;
    // The gateway rule reads the body as it stands, so the old lines stay until the end.
    for (const TBodyLine& line : target.GetBody()) {
        if (line.LineTag <= 0 || static_cast<size_t>(line.LineTag) > tpl.Lines.size())
            rebuilt.push_back(line);
        else
            expander.ExpandLine(tpl.Lines[static_cast<size_t>(line.LineTag - 1)], line.LineTag - 1, rebuilt);
    }
    target.GetBody() = std::move(rebuilt);
}

} // namespace tavro
