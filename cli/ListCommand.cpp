#include "BaseOpen.h"
#include "Command.h"

#include "core/CodePage.h"
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
std::string Cell(const TCodePage& page, const std::string& text) {
    std::string utf8 = page.ToUtf8(text);
    std::replace_if(
        utf8.begin(), utf8.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
    return utf8;
}

void PrintRows(TMsgList& list, const TListOptions& options, std::ostream& out) {
    const TCodePage& page = ActiveDisplayPage();
    TCustomBase& base = *list.Base();
    for (const auto& [index, depth] : list.DisplayOrderWithDepth()) {
        const TMsgRow& row = list.Row(index);
        if (options.Threads)
            out << std::string(size_t(depth) * 2, ' ');
        out << index + 1 << '\t' << Cell(page, row.From) << '\t' << Cell(page, row.To) << '\t'
            << Cell(page, row.Subj) << '\t' << FormatIsoDateTime(row.Date);
        if (options.User >= 0)
            out << '\t' << (base.IsRead(base.GetMsgId(index)) ? "read" : "unread");
        out << '\n';
    }
}

int List(const std::vector<std::string>& args, std::ostream& out) {
    const TListOptions options = ParseListOptions(args);
    TBaseRef base = OpenBase(options.Type, options.Path, ActiveCodePages(), false);
    if (options.User >= 0)
        base->SetUser(options.User, options.UserName);
    TMsgList list;
    list.Fill(base.Get(), TOwnNames({options.UserName}), options.Threads);
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
