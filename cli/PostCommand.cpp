#include "BaseOpen.h"
#include "Command.h"
#include "ConfigOpen.h"

#include "bases/BaseFactory.h"
#include "compose/Cookies.h"
#include "compose/MessageSender.h"
#include "compose/MsgIdSerial.h"
#include "compose/ReplyRules.h"
#include "config/Config.h"
#include "core/Attributes.h"
#include "core/Charset.h"
#include "core/CodePage.h"
#include "core/StrUtils.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <random>
#include <sstream>

namespace tavro::cli {

namespace {

namespace fs = std::filesystem;

struct TPostOptions {
    std::string Home;
    std::string AreaTag; // --area
    std::string Path;    // or a base given by its path
    std::optional<std::string> Type;
    uint8_t Kind = etEchomail;
    std::string Tag;
    std::string From, To, Subject;
    TAddress FromAddr, ToAddr;
    std::optional<uint32_t> Attr;
    std::optional<TMsgId> ReplyTo;
    std::optional<std::string> Origin;
    std::string File = "-";
    bool Utf8 = false; // stored in UTF-8 with "CHRS: UTF-8 4"
};

TAddress AddressOption(const TArguments& arguments, std::string_view option) {
    TAddress address;
    if (const std::string* text = arguments.Value(option)) {
        address.Parse(*text);
        if (!address.IsValid())
            ThrowUsage(std::string(option) + ": \"" + *text + "\" is not an FTN address");
    }
    return address;
}

// The attribute a name stands for: "Loc" (local) and "LOC" (locked) differ only in case, so
// the exact spelling counts first and letter case only for a name no attribute has.
uint32_t AttributeNamed(const std::string& word) {
    for (const TAttrInfo& info : AttrTable())
        if (word == info.Display)
            return info.Bit;
    for (const TAttrInfo& info : AttrTable())
        if (EqualsNoCase(word, info.Display))
            return info.Bit;
    ThrowUsage("--attr: unknown attribute \"" + word + "\"");
}

// "Pvt K/S Cra": the attribute names as the reader shows them.
uint32_t ParseAttributes(const std::string& text) {
    uint32_t attr = 0;
    std::istringstream words(text);
    for (std::string word; words >> word;)
        attr |= AttributeNamed(word);
    return attr;
}

// Command-line text is UTF-8; the model keeps the display code page.
std::string DisplayText(const std::string& utf8) {
    return ActiveDisplayPage().FromUtf8(utf8);
}

uint8_t ParseKind(const std::string& kind) {
    if (kind == "netmail")
        return etNetmail;
    if (kind == "echomail")
        return etEchomail;
    if (kind == "bad")
        return etBadmail;
    ThrowUsage("--kind must be netmail, echomail or bad");
}

const std::string& Required(const TArguments& arguments, std::string_view option) {
    const std::string* value = arguments.Value(option);
    if (value == nullptr || value->empty())
        ThrowUsage("wants " + std::string(option));
    return *value;
}

void ParseTarget(const TArguments& arguments, TPostOptions& options) {
    const std::string* area = arguments.Value("--area");
    if ((area != nullptr) == !arguments.Positional.empty() || arguments.Positional.size() > 1)
        ThrowUsage("wants either --area TAG or one base PATH");
    if (area != nullptr) {
        if (arguments.Has("--kind") || arguments.Has("--tag") || arguments.Has("--type"))
            ThrowUsage("--kind, --tag and --type go with a base PATH, not with --area");
        options.AreaTag = DisplayText(Required(arguments, "--area"));
        return;
    }
    options.Path = arguments.Positional.front();
    if (const std::string* type = arguments.Value("--type"))
        options.Type = *type;
    options.Kind = ParseKind(Required(arguments, "--kind"));
    options.Tag = DisplayText(Required(arguments, "--tag"));
}

TPostOptions ParsePostOptions(const std::vector<std::string>& args) {
    TArguments arguments(args,
                         {"--area", "--home", "--type", "--kind", "--tag", "--from", "--from-addr", "--to",
                          "--to-addr", "--subject", "--attr", "--reply-to", "--origin", "--file"},
                         {"--utf8"});
    TPostOptions options;
    ParseTarget(arguments, options);
    options.Home = ConfigHome(arguments);
    options.Utf8 = arguments.Has("--utf8");
    options.From = DisplayText(Required(arguments, "--from"));
    options.To = DisplayText(Required(arguments, "--to"));
    options.Subject = DisplayText(Required(arguments, "--subject"));
    options.FromAddr = AddressOption(arguments, "--from-addr");
    options.ToAddr = AddressOption(arguments, "--to-addr");
    if (const std::string* attr = arguments.Value("--attr"))
        options.Attr = ParseAttributes(*attr);
    if (arguments.Has("--reply-to"))
        options.ReplyTo = TMsgId(arguments.Number("--reply-to", 1, 0x7FFFFFFF, 0));
    if (const std::string* origin = arguments.Value("--origin"))
        options.Origin = DisplayText(*origin);
    if (const std::string* file = arguments.Value("--file"))
        options.File = *file;
    return options;
}

// The body in UTF-8 from the file or standard input, as display-page lines.
TBodyLines ReadBody(const std::string& file) {
    std::string text;
    if (file == "-") {
        text.assign(std::istreambuf_iterator<char>(std::cin), {});
    } else {
        std::ifstream in(file, std::ios::binary);
        if (!in)
            ThrowFailure("cannot read \"" + file + "\"");
        text.assign(std::istreambuf_iterator<char>(in), {});
    }
    const std::string display = ActiveDisplayPage().FromUtf8(text);
    TBodyLines lines;
    bool empty = true;
    for (size_t at = 0; at < display.size();) {
        size_t end = display.find('\n', at);
        if (end == std::string::npos)
            end = display.size();
        std::string line = display.substr(at, end - at);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        empty = empty && TrimView(line).empty();
        lines.emplace_back(std::move(line));
        at = end + 1;
    }
    if (empty)
        ThrowUsage("the message text is empty");
    return lines;
}

// The configured area, or one made for the base path with the home's scan-file settings.
TEcho* TargetArea(const TPostOptions& options, TConfig& config, std::unique_ptr<TEcho>& made) {
    if (!options.AreaTag.empty()) {
        TEcho* echo = FindAreaByName(config.Echoes, options.AreaTag);
        if (echo == nullptr)
            ThrowFailure("no area \"" + options.AreaTag + "\" in " + options.Home);
        return echo;
    }
    made = std::make_unique<TEcho>();
    made->Name = options.Tag;
    made->EchoType = options.Kind;
    made->BaseType = ChooseBaseType(options.Path, options.Type ? &*options.Type : nullptr);
    made->Path = options.Path;
    made->Settings = &config.Settings;
    return made.get();
}

TBaseRef OpenForWriting(TEcho& echo) {
    if (!HasStorageClass(echo.BaseType))
        ThrowFailure("no storage for the base type of \"" + echo.Name + "\"");
    TBaseRef base = echo.GetBase();
    if (!base || !base->CreateIfMissing())
        ThrowFailure("cannot open or create the base of \"" + echo.Name + "\" at " + echo.Path);
    try {
        base->Rescan();
    } catch (const std::exception& e) {
        ThrowFailure("cannot read the base of \"" + echo.Name + "\": " + e.what());
    }
    return base;
}

size_t RandomBelow(size_t n) {
    static std::mt19937 random{std::random_device{}()};
    return n == 0 ? 0 : std::uniform_int_distribution<size_t>(0, n - 1)(random);
}

TAddress FromAddress(const TPostOptions& options, const TEcho& echo) {
    const TAddress from = options.FromAddr.IsValid() ? options.FromAddr : echo.Address;
    if (!from.IsValid())
        ThrowUsage("the area \"" + echo.Name + "\" has no address: give --from-addr");
    return from;
}

std::unique_ptr<TCustomMsg> NewMessage(const TPostOptions& options, TEcho& echo, TCustomBase& base,
                                       TBodyLines body, const TGlobalSettings& settings) {
    std::unique_ptr<TCustomMsg> msg = base.NewMsg();
    msg->FromName = options.From;
    msg->FromAddr = FromAddress(options, echo);
    msg->ToName = options.To;
    msg->ToAddr = options.ToAddr.IsValid() ? options.ToAddr : msg->FromAddr;
    msg->Subject = options.Subject;
    msg->Attr = options.Attr.value_or(echo.DefAttr);
    msg->DateWritten = msg->DateArrived = Now();
    msg->Body = std::move(body);
    msg->Body.emplace_back("--- " + settings.TearlineText);
    return msg;
}

// The REPLY value of the answered message, which must be in the same base.
std::string ReplyValue(TCustomBase& base, TMsgId id, const std::string& area) {
    const int position = base.IndexOfId(id);
    TMsgHandle answered = position >= 0 ? base.GetMsg(position) : nullptr;
    if (!answered)
        ThrowFailure("no message " + std::to_string(id) + " in \"" + area + "\"");
    answered->GetKludges();
    return ReplyValueOf(*answered);
}

int Post(const std::vector<std::string>& args, std::ostream& out) {
    const TPostOptions options = ParsePostOptions(args);
    TBodyLines body = ReadBody(options.File);
    TConfig config;
    LoadConfigAndUsers(config, options.Home);
    std::unique_ptr<TEcho> made;
    TEcho& echo = *TargetArea(options, config, made);
    FromAddress(options, echo); // misuse is told before the base is touched
    TBaseRef base = OpenForWriting(echo);
    const TGlobalSettings& settings = config.Settings;
    std::unique_ptr<TCustomMsg> msg = NewMessage(options, echo, *base, std::move(body), settings);

    std::error_code error;
    fs::create_directories(options.Home, error);
    TMsgIdSerials serials(options.Home + "/" + TMsgIdSerials::FileName);
    TSendRules rules;
    rules.Area = &echo;
    rules.Pid = settings.VersionText;
    rules.OemCodePage = ActiveCodePages().OemNumber();
    if (options.Utf8)
        rules.Charset = &TCharset::Utf8();
    rules.OriginText =
        Trim(options.Origin ? *options.Origin : ChooseOrigin(echo, settings.Origins, RandomBelow));
    rules.MaxMsgLenKb = settings.MaxMsgLen;
    rules.Serials = &serials;
    if (options.ReplyTo) {
        rules.Reply = ReplyValue(*base, *options.ReplyTo, echo.Name);
        msg->ReplyTo = *options.ReplyTo;
    }
    AddOriginLine(*msg, rules);
    BuildKludges(*msg, rules, serials.Next(msg->DateWritten));
    TSplitWrite write(*msg, rules);
    if (!write.Write()) {
        // All or nothing: the parts already written go again.
        for (TMsgId id : write.WrittenIds())
            base->DeleteMsg(id);
        ThrowFailure("cannot write to the base of \"" + echo.Name + "\" at " + echo.Path);
    }
    for (TMsgId id : write.WrittenIds())
        out << id << "\n";
    return 0;
}

} // namespace

int RunPost(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return RunReportingErrors("post", err, [&] { return Post(args, out); });
}

} // namespace tavro::cli
