#include "BaseOpen.h"
#include "Command.h"

#include "core/CodePage.h"
#include "core/DateTime.h"
#include "reader/MsgList.h"

#include <algorithm>
#include <array>

namespace tavro::cli {

namespace {

struct TListOptions {
    std::string Path;
    TBaseType Type = btMsg;
    bool Threads = false;
    int SortColumn = -1;
    int User = -1;
    std::string UserName;
};

int SortColumnOf(const std::string& name) {
    static const std::array<std::pair<const char*, int>, 5> names{
        {{"no", mcNumber}, {"from", mcFrom}, {"to", mcTo}, {"subj", mcSubj}, {"date", mcDate}}};
    for (const auto& [text, column] : names)
        if (name == text)
            return column;
    ThrowUsage("--sort takes no, from, to, subj or date: " + name);
}

TListOptions ParseListOptions(const std::vector<std::string>& args) {
    TArguments arguments(args, {"--type", "--sort", "--user", "--user-name"}, {"--threads"});
    if (arguments.Positional.size() != 1)
        ThrowUsage(arguments.Positional.empty() ? "which base? give its PATH" : "takes one PATH");
    TListOptions options;
    options.Path = arguments.Positional.front();
    options.Threads = arguments.Has("--threads");
    if (const std::string* sort = arguments.Value("--sort"))
        options.SortColumn = SortColumnOf(*sort);
    options.User = arguments.Number("--user", 0, 255, -1);
    if (const std::string* name = arguments.Value("--user-name")) {
        if (options.User < 0)
            ThrowUsage("--user-name needs --user");
        // Typed in the terminal's UTF-8; the model keeps names in the display page.
        options.UserName = ActiveDisplayPage().FromUtf8(*name);
    }
    options.Type = ExistingBaseType(options.Path, arguments.Value("--type"));
    return options;
}

// Tabs and line breaks in a header field would break the line into columns.
void AppendCell(std::string& line, const TCodePage& page, std::string_view text) {
    const size_t start = line.size();
    page.AppendUtf8(line, text);
    std::replace_if(
        line.begin() + static_cast<ptrdiff_t>(start), line.end(),
        [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
}

void AppendNumber(std::string& line, int value, int digits) {
    char buffer[16];
    char* end = buffer + sizeof buffer;
    char* at = end;
    do {
        *--at = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0 || end - at < digits);
    line.append(at, end);
}

void AppendIsoDateTime(std::string& line, TDateTime date) {
    const TDateTimeParts p = DecodeDateTime(date);
    AppendNumber(line, p.Year, 4);
    for (const auto& [separator, value] :
         {std::pair{'-', p.Month}, {'-', p.Day}, {'T', p.Hour}, {':', p.Minute}, {':', p.Second}}) {
        line.push_back(separator);
        AppendNumber(line, value, 2);
    }
}

// Lines are gathered and written in large pieces: a stream call per field would cost more
// than reading the area.
void PrintRows(TMsgList& list, const TListOptions& options, std::ostream& out) {
    constexpr size_t Piece = 65536;
    const TCodePage& page = ActiveDisplayPage();
    TCustomBase& base = *list.Base();
    std::string lines;
    lines.reserve(Piece + 1024);
    list.VisitDisplayOrder([&](int index, int depth) {
        const TMsgRow row = list.Row(index);
        if (options.Threads)
            lines.append(size_t(depth) * 2, ' ');
        AppendNumber(lines, index + 1, 1);
        for (std::string_view text : {row.From, row.To, row.Subj}) {
            lines.push_back('\t');
            AppendCell(lines, page, text);
        }
        lines.push_back('\t');
        AppendIsoDateTime(lines, row.Date);
        if (options.User >= 0)
            lines.append(base.IsRead(base.GetMsgId(index)) ? "\tread" : "\tunread");
        lines.push_back('\n');
        if (lines.size() >= Piece) {
            out.write(lines.data(), static_cast<std::streamsize>(lines.size()));
            lines.clear();
        }
    });
    out.write(lines.data(), static_cast<std::streamsize>(lines.size()));
}

int List(const std::vector<std::string>& args, std::ostream& out) {
    const TListOptions options = ParseListOptions(args);
    TBaseRef base = OpenBase(options.Type, options.Path, ActiveCodePages(), false);
    if (options.User >= 0)
        base->SetUser(options.User, options.UserName);
    TMsgList list;
    list.Fill(base.Get(), TOwnNames({options.UserName}), options.Threads, {}, true);
    if (options.SortColumn >= 0)
        list.Sort(options.SortColumn);
    PrintRows(list, options, out);
    return 0;
}

} // namespace

int RunList(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return RunReportingErrors("list", err, [&] { return List(args, out); });
}

} // namespace tavro::cli
