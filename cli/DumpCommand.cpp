#include "BaseOpen.h"
#include "Command.h"
#include "Json.h"

#include "core/Attributes.h"
#include "core/CodePage.h"

#include <climits>
#include <optional>

namespace tavro::cli {

namespace {

// Messages between two Close calls; a dump of a large area would otherwise keep every
// message it printed in the base's cache.
constexpr int CacheBatch = 64;

struct TDumpOptions {
    std::string Path;
    TBaseType Type = btMsg;
    int User = -1;
    std::string UserName;
    std::optional<TIdList> Ids;
    int Start = 0;
    int Count = INT_MAX;
    bool KeepSoftCR = false;
    bool Raw = false;
};

TDumpOptions ParseDumpOptions(const std::vector<std::string>& args) {
    TArguments arguments(args, {"--type", "--user", "--user-name", "--ids", "--start", "--count"},
                         {"--keep-softcr", "--raw"});
    if (arguments.Positional.size() != 1)
        ThrowUsage(arguments.Positional.empty() ? "which base? give its PATH" : "takes one PATH");
    TDumpOptions options;
    options.Path = arguments.Positional.front();
    options.User = arguments.Number("--user", 0, 255, -1);
    if (const std::string* name = arguments.Value("--user-name")) {
        if (options.User < 0)
            ThrowUsage("--user-name needs --user");
        options.UserName = *name;
    }
    if (const std::string* ids = arguments.Value("--ids"))
        options.Ids.emplace(*ids);
    options.Start = arguments.Number("--start", 0, INT_MAX, 0);
    options.Count = arguments.Number("--count", 0, INT_MAX, INT_MAX);
    options.KeepSoftCR = arguments.Has("--keep-softcr");
    options.Raw = arguments.Has("--raw");
    options.Type = ExistingBaseType(options.Path, arguments.Value("--type"));
    return options;
}

// The page that turns the text the base hands out into UTF-8: the display page, or in raw
// mode, where the base passes the stored bytes through, the OEM page. A configured identity
// pair passes them through as well; they are then taken as the usual OEM page.
const TCodePage& OutputPage(bool raw) {
    const TCodePagePair& active = ActiveCodePages();
    if (active.IsIdentity())
        return *TCodePagePair::Default().Oem();
    return raw ? *active.Oem() : *active.Display();
}

class TDumper {
public:
    TDumper(TCustomBase& base, const TDumpOptions& options, std::ostream& out)
        : Base(base), Options(options), Page(OutputPage(options.Raw)), Json(out) {}

    void Run() {
        Json.BeginObject();
        Json.Key("type");
        Json.String(BaseTypeName(Options.Type));
        Json.Key("path");
        Json.String(Options.Path);
        Json.Key("count");
        Json.Number(Base.GetCount());
        Json.Key("lastread");
        if (WithUser())
            Json.Number(Base.GetLastRead());
        else
            Json.Null();
        Json.Key("messages");
        Json.BeginArray();
        WriteMessages();
        Json.EndArray();
        Json.EndObject();
    }

private:
    bool WithUser() const { return Options.User >= 0; }

    void WriteMessages() {
        const int count = Base.GetCount();
        int written = 0;
        for (int position = Options.Start; position < count && written < Options.Count; ++position) {
            if (Options.Ids && !Options.Ids->Contains(Base.GetMsgId(position)))
                continue;
            WriteMessage(position);
            if (++written % CacheBatch == 0)
                Base.Close();
        }
    }

    void WriteMessage(int position) {
        const TMsgId id = Base.GetMsgId(position);
        TMsgHandle msg = Base.GetMsg(position);
        if (msg == nullptr)
            ThrowFailure("the message at position " + std::to_string(position) + " is gone");
        // Loading the text first settles the addresses, which the header alone lacks.
        const TStringList& kludges = msg->GetKludges();
        const TBodyLines& body = msg->GetBody();
        const TStringList& tail = msg->GetTail();
        const uint32_t attr = msg->GetAttr();

        Json.BeginObject();
        Json.Key("position");
        Json.Number(position);
        Json.Key("id");
        Json.Number(id);
        Field("from", msg->FromName);
        Field("from_addr", msg->FromAddr.ToStr5D());
        Field("to", msg->ToName);
        Field("to_addr", msg->ToAddr.ToStr5D());
        Field("subject", msg->Subject);
        Field("date_written", FormatIsoDateTime(msg->DateWritten));
        Field("date_arrived", FormatIsoDateTime(msg->DateArrived));
        Field("attributes", AttrToStr(attr));
        Json.Key("reply_to");
        Json.Number(msg->ReplyTo);
        Json.Key("replies");
        Json.BeginArray();
        for (TMsgId reply : msg->Replies)
            Json.Number(reply);
        Json.EndArray();
        Lines("kludges", kludges);
        Json.Key("body");
        Json.BeginArray();
        for (const TBodyLine& line : body)
            Json.String(Page.ToUtf8(line.Text));
        Json.EndArray();
        Lines("tail", tail);
        if (WithUser()) {
            Json.Key("read");
            Json.Bool(Base.IsRead(id));
        }
        Json.EndObject();
    }

    // Text from the base; addresses and dates are ASCII and pass unchanged.
    void Field(std::string_view key, const std::string& text) {
        Json.Key(key);
        Json.String(Page.ToUtf8(text));
    }

    void Lines(std::string_view key, const TStringList& lines) {
        Json.Key(key);
        Json.BeginArray();
        for (const std::string& line : lines)
            Json.String(Page.ToUtf8(line));
        Json.EndArray();
    }

    TCustomBase& Base;
    const TDumpOptions& Options;
    const TCodePage& Page;
    TJsonWriter Json;
};

int Dump(const std::vector<std::string>& args, std::ostream& out) {
    const TDumpOptions options = ParseDumpOptions(args);
    // Raw output shows the stored bytes: no code-page conversion and every SoftCR kept.
    const TCodePagePair pages = options.Raw ? TCodePagePair::Identity() : ActiveCodePages();
    TBaseRef base = OpenBase(options.Type, options.Path, pages, options.Raw || options.KeepSoftCR);
    if (options.User >= 0)
        base->SetUser(options.User, options.UserName);
    if (options.Ids)
        options.Ids->CheckPresent(AllIds(*base));
    TDumper(*base, options, out).Run();
    base->Close();
    return 0;
}

} // namespace

int RunDump(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return RunReportingErrors("dump", err, [&] { return Dump(args, out); });
}

} // namespace tavro::cli
