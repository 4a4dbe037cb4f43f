#include "ConfigFile.h"

#include "CfgStream.h"
#include "Config.h"
#include "ConfigSave.h"

namespace tavro {

namespace {

constexpr std::string_view ConfigMagic = "TavroCfg";
constexpr std::string_view NewestVersion = "0.62";

constexpr size_t MinTemplateRecord = 4 + 4 + 1;
constexpr size_t MinAreaRecord = 4 + 4 + 1 + 1 + 4 + 1 + 12 + 4; // layout 1

// Larger values cannot be a message length and would overflow the UU line count.
constexpr int32_t MaxMsgLenLimit = 0xFFFF;

// The layouts the program has written over time: none had a header at first, "0.53" and
// "0.54" are B, "0.56" and later are C (the one written now).
enum class TMainLayout { NoHeader, B, C };

TMainLayout LayoutOf(const std::string& version) {
    if (version.empty())
        return TMainLayout::NoHeader;
    if (version == "0.53" || version == "0.54")
        return TMainLayout::B;
    if (version == "0.56" || version == "0.60" || version == "0.62")
        return TMainLayout::C;
    throw EConfigError("Unknown config");
}

void ReadTemplates(TCfgReader& in, TConfig& config) {
    const size_t count = in.Count(MinTemplateRecord);
    for (size_t i = 0; i < count; ++i) {
        auto t = std::make_unique<TTemplate>();
        t->Name = in.String();
        t->Lines = in.StringList();
        // Built-in templates are never stored: whatever a file says, this one can be edited.
        in.Bool();
        t->IsDefault = false;
        config.Templates.push_back(std::move(t));
    }
}

void WriteTemplate(TCfgWriter& out, const TTemplate& t) {
    out.String(t.Name);
    out.StringList(t.Lines);
    out.Bool(t.IsDefault);
}

void WriteTemplates(TCfgWriter& out, const TConfig& config) {
    const size_t first = static_cast<size_t>(std::max(config.BuiltInTemplateCount, 0));
    const size_t stored = config.Templates.size() > first ? config.Templates.size() - first : 0;
    out.Int32(static_cast<int32_t>(stored));
    for (size_t i = first; i < config.Templates.size(); ++i)
        WriteTemplate(out, *config.Templates[i]);
}

// Layout 2 ends with DefCC; layout 1 has none.
void ReadAreas(TCfgReader& in, TConfig& config, bool withDefCC) {
    const size_t count = in.Count(MinAreaRecord + (withDefCC ? 4 : 0));
    for (size_t i = 0; i < count; ++i) {
        TEcho* echo = &config.AddEcho();
        echo->Name = in.String();
        echo->Origin = in.String();
        echo->EchoType = in.Byte();
        echo->BaseType = in.Byte();
        echo->DefAttr = static_cast<uint32_t>(in.Int32());
        echo->Flags = in.Byte();
        echo->Address = in.Address();
        echo->Path = in.String();
        if (withDefCC)
            echo->DefCC = in.String();
    }
}

void WriteArea(TCfgWriter& out, const TEcho& echo) {
    out.String(echo.Name);
    out.String(echo.Origin);
    out.Byte(echo.EchoType);
    out.Byte(echo.BaseType);
    out.Int32(static_cast<int32_t>(echo.DefAttr));
    out.Byte(echo.Flags);
    out.Address(echo.Address);
    out.String(echo.Path);
    out.String(echo.DefCC);
}

void WriteAreas(TCfgWriter& out, const TConfig& config) {
    out.Int32(static_cast<int32_t>(config.Echoes.size()));
    for (const auto& echo : config.Echoes)
        WriteArea(out, *echo);
}

// Origins to UUEPath: the same in every layout.
void ReadPaths(TCfgReader& in, TGlobalSettings& s) {
    s.Origins = in.StringList();
    s.TosserType = in.Byte();
    s.TosserCfgPath = in.String();
    s.NdlDir = in.String();
    s.NdlMasks = in.StringList();
    s.NetmailPath = in.String();
    s.NetmailFlag = in.String();
    s.EchoscanFile = in.String();
    s.UUEPath = in.String();
}

void ReadGateway(TCfgReader& in, TGlobalSettings& s) {
    s.GateName = in.String();
    s.GateAddr = in.Address();
}

void ReadMaxMsgLen(TCfgReader& in, TGlobalSettings& s) {
    const int32_t kb = in.Int32();
    if (kb < 1 || kb > MaxMsgLenLimit)
        throw EConfigError("the maximum message length of the configuration file is out of range");
    s.SetMaxMsgLen(kb);
}

// Layouts B and C: everything after the paths.
void ReadSettings(TCfgReader& in, TGlobalSettings& s, TMainLayout layout) {
    s.ConfirmDel = in.Bool();
    s.ConfirmExit = in.Bool();
    ReadGateway(in, s);
    s.MinToTray = in.Bool();
    s.OldAddrStyle = in.Bool();
    s.OnlyOneInstance = in.Bool();
    s.ReplyDelNetmail = in.Bool();
    s.ReplyDelEchomail = in.Bool();
    s.ConfirmDelReplied = in.Bool();
    s.AddQuoteSpace = in.Bool();
    s.PathSubst = in.StringList();
    s.Cookies = in.StringList();
    ReadMaxMsgLen(in, s);
    if (layout == TMainLayout::B) {
        // RunOnExit came late in layout B; AutoLoadConfig was not stored yet.
        if (!in.AtEnd())
            s.RunOnExit = in.String();
        return;
    }
    s.RunOnExit = in.String();
    s.AutoLoadConfig = !in.AtEnd() && in.Bool();
}

// The first layout: the line count stored as it is, then groups the program added one by
// one, each present only when the file goes on.
void ReadSettingsWithoutHeader(TCfgReader& in, TGlobalSettings& s) {
    // The count of that time, within what the length of a message allows.
    const int32_t lines = in.Int32();
    if (lines >= 1 && lines <= s.MaxMsgLines)
        s.MaxMsgLines = lines;
    s.ConfirmDel = in.Bool();
    s.ConfirmExit = in.Bool();
    if (in.AtEnd())
        return;
    ReadGateway(in, s);
    if (in.AtEnd())
        return;
    s.MinToTray = in.Bool();
    s.OldAddrStyle = in.Bool();
    if (in.AtEnd())
        return;
    s.OnlyOneInstance = in.Bool();
    if (in.AtEnd())
        return;
    s.ReplyDelNetmail = in.Bool();
    s.ReplyDelEchomail = in.Bool();
    s.ConfirmDelReplied = in.Bool();
    if (in.AtEnd())
        return;
    s.AddQuoteSpace = in.Bool();
    s.PathSubst = in.StringList();
    if (in.AtEnd())
        return;
    s.Cookies = in.StringList();
}

void WriteSettings(TCfgWriter& out, const TGlobalSettings& s) {
    out.StringList(s.Origins);
    out.Byte(s.TosserType);
    out.String(s.TosserCfgPath);
    out.String(s.NdlDir);
    out.StringList(s.NdlMasks);
    out.String(s.NetmailPath);
    out.String(s.NetmailFlag);
    out.String(s.EchoscanFile);
    out.String(s.UUEPath);
    out.Bool(s.ConfirmDel);
    out.Bool(s.ConfirmExit);
    out.String(s.GateName);
    out.Address(s.GateAddr);
    for (bool b : {s.MinToTray, s.OldAddrStyle, s.OnlyOneInstance, s.ReplyDelNetmail, s.ReplyDelEchomail,
                   s.ConfirmDelReplied, s.AddQuoteSpace})
        out.Bool(b);
    out.StringList(s.PathSubst);
    out.StringList(s.Cookies);
    out.Int32(s.MaxMsgLen);
    out.String(s.RunOnExit);
    out.Bool(s.AutoLoadConfig);
}

} // namespace

std::string ConfigFileName(const std::string& dir) {
    return dir + "/Tavro020.cfg";
}

std::string ReadVersionTag(TCfgReader& in, std::string_view magic) {
    if (in.Left() < magic.size() || in.Take(magic.size()) != magic) {
        in.Seek(0);
        return {};
    }
    return std::string(in.Take(4));
}

void ParseConfig(TConfig& config, std::string data) {
    TCfgReader in(std::move(data));
    const TMainLayout layout = LayoutOf(ReadVersionTag(in, ConfigMagic));
    ReadTemplates(in, config);
    ReadAreas(in, config, layout == TMainLayout::C);
    ReadPaths(in, config.Settings);
    if (layout == TMainLayout::NoHeader)
        ReadSettingsWithoutHeader(in, config.Settings);
    else
        ReadSettings(in, config.Settings, layout);
}

std::string FormatConfig(const TConfig& config) {
    TCfgWriter out;
    out.Bytes(ConfigMagic);
    out.Bytes(NewestVersion);
    WriteTemplates(out, config);
    WriteAreas(out, config);
    WriteSettings(out, config.Settings);
    return std::move(out.Data);
}

std::string AreaRecord(const TEcho& echo) {
    TCfgWriter out;
    WriteArea(out, echo);
    return std::move(out.Data);
}

std::string TemplateRecord(const TTemplate& t) {
    TCfgWriter out;
    WriteTemplate(out, t);
    return std::move(out.Data);
}

std::string SettingsRecord(const TGlobalSettings& settings) {
    TCfgWriter out;
    WriteSettings(out, settings);
    return std::move(out.Data);
}

void LoadConfig(TConfig& config, const std::string& fileName) {
    std::string data = ReadOrigin(config.MainOrigin, fileName, MaxSmallConfigBytes);
    if (config.MainOrigin.Existed())
        ParseConfig(config, std::move(data));
}

void SaveConfig(TConfig& config, const std::string& fileName) {
    SaveConfigFiles(config, {{TConfigFile::Main, fileName}});
}

} // namespace tavro
