#include "config/ConfigFile.h"

#include "config/CfgStream.h"
#include "config/Config.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tavro;
using test::ReadFile;
using test::WriteFile;

namespace {

class ConfigFile : public ::testing::Test {
protected:
    test::TTempDir dir;
    const std::string name = ConfigFileName(dir.Path());

    void Load(TConfig& config, const TCfgWriter& file) {
        WriteFile(name, file.Data);
        LoadConfig(config, name);
    }
};

void Fill(TGlobalSettings& s) {
    s.Origins = {"Moscow, Russia", "Linux rulez"};
    s.TosserType = 4;
    s.TosserCfgPath = "/etc/fido/config";
    s.NdlDir = "/fido/nodelist";
    s.NdlMasks = {"NODELIST.*", "PNT5020.*"};
    s.NetmailPath = "/fido/netmail/";
    s.NetmailFlag = "/fido/netmail.flg";
    s.EchoscanFile = "/fido/echotoss.log";
    s.UUEPath = "/fido/uue";
    s.ConfirmDel = false;
    s.ConfirmExit = false;
    s.GateName = "uucp";
    s.GateAddr = TAddress(2, 5020, 49, 0, "fidonet");
    s.MinToTray = false;
    s.OldAddrStyle = true;
    s.OnlyOneInstance = true;
    s.ReplyDelNetmail = true;
    s.ReplyDelEchomail = true;
    s.ConfirmDelReplied = false;
    s.AddQuoteSpace = false;
    s.PathSubst = {"C:\\FIDO\\=/fido/"};
    s.Cookies = {"Cookie one", ""};
    s.SetMaxMsgLen(32);
    s.RunOnExit = "fido-toss --scan";
    s.AutoLoadConfig = false;
}

void ExpectStoredSettingsEqual(const TGlobalSettings& a, const TGlobalSettings& b) {
    EXPECT_EQ(a.Origins, b.Origins);
    EXPECT_EQ(a.TosserType, b.TosserType);
    EXPECT_EQ(a.TosserCfgPath, b.TosserCfgPath);
    EXPECT_EQ(a.NdlDir, b.NdlDir);
    EXPECT_EQ(a.NdlMasks, b.NdlMasks);
    EXPECT_EQ(a.NetmailPath, b.NetmailPath);
    EXPECT_EQ(a.NetmailFlag, b.NetmailFlag);
    EXPECT_EQ(a.EchoscanFile, b.EchoscanFile);
    EXPECT_EQ(a.UUEPath, b.UUEPath);
    EXPECT_EQ(a.ConfirmDel, b.ConfirmDel);
    EXPECT_EQ(a.ConfirmExit, b.ConfirmExit);
    EXPECT_EQ(a.GateName, b.GateName);
    EXPECT_EQ(a.GateAddr, b.GateAddr);
    EXPECT_EQ(a.MinToTray, b.MinToTray);
    EXPECT_EQ(a.OldAddrStyle, b.OldAddrStyle);
    EXPECT_EQ(a.OnlyOneInstance, b.OnlyOneInstance);
    EXPECT_EQ(a.ReplyDelNetmail, b.ReplyDelNetmail);
    EXPECT_EQ(a.ReplyDelEchomail, b.ReplyDelEchomail);
    EXPECT_EQ(a.ConfirmDelReplied, b.ConfirmDelReplied);
    EXPECT_EQ(a.AddQuoteSpace, b.AddQuoteSpace);
    EXPECT_EQ(a.PathSubst, b.PathSubst);
    EXPECT_EQ(a.Cookies, b.Cookies);
    EXPECT_EQ(a.MaxMsgLen, b.MaxMsgLen);
    EXPECT_EQ(a.MaxMsgLines, b.MaxMsgLines);
    EXPECT_EQ(a.RunOnExit, b.RunOnExit);
    EXPECT_EQ(a.AutoLoadConfig, b.AutoLoadConfig);
}

// A configuration with every stored field away from its default.
void FillConfig(TConfig& config) {
    for (const char* templateName : {"My reply", "Empty"}) {
        auto t = std::make_unique<TTemplate>();
        t->Name = templateName;
        config.Templates.push_back(std::move(t));
    }
    config.Templates[11]->Lines = {"Hi %ToName!", "", "%Cursor"};
    auto echo = std::make_unique<TEcho>();
    echo->Name = "RU.LINUX";
    echo->Origin = "Penguins";
    echo->EchoType = etEchomail;
    echo->BaseType = 2;
    echo->DefAttr = 0x80000101;
    echo->Flags = efAddCookies | efKeepSoftCR;
    echo->Address = TAddress(2, 5020, 1, 17, "fidonet");
    echo->Path = "/fido/ru.linux.jhr";
    echo->DefCC = "CARBON";
    config.Echoes.push_back(std::move(echo));
    config.Echoes.push_back(std::make_unique<TEcho>());
    Fill(config.Settings);
}

// The start every layout shares: one stored template, one area, the paths. Layout 1 areas
// have no DefCC.
void WriteStart(TCfgWriter& w, bool withDefCC) {
    w.Int32(1);
    w.String("Mine");
    w.StringList({"Hi %ToName", "%Cursor"});
    w.Bool(false);
    w.Int32(1);
    w.String("RU.OLD");
    w.String("Old origin");
    w.Byte(etEchomail);
    w.Byte(1);
    w.Int32(0x101);
    w.Byte(efAddOrigin);
    w.Address(TAddress(2, 5020, 2, 3));
    w.String("/fido/ru.old.sqd");
    if (withDefCC)
        w.String("CARBON");
    w.StringList({"Origin"});
    w.Byte(3);
    w.String("/fido/areas.bbs");
    w.String("/fido/ndl");
    w.StringList({"NODELIST.*"});
    w.String("/fido/net/");
    w.String("/fido/net.flg");
    w.String("/fido/scan.log");
    w.String("/fido/uue");
}

void ExpectStart(const TConfig& c, bool withDefCC) {
    ASSERT_EQ(c.Templates.size(), 12u);
    EXPECT_EQ(c.Templates[11]->Name, "Mine");
    EXPECT_EQ(c.Templates[11]->Lines, (std::vector<std::string>{"Hi %ToName", "%Cursor"}));
    ASSERT_EQ(c.Echoes.size(), 1u);
    const TEcho& e = *c.Echoes[0];
    EXPECT_EQ(e.Name, "RU.OLD");
    EXPECT_EQ(e.Origin, "Old origin");
    EXPECT_EQ(e.EchoType, etEchomail);
    EXPECT_EQ(e.BaseType, 1);
    EXPECT_EQ(e.DefAttr, 0x101u);
    EXPECT_EQ(e.Flags, efAddOrigin);
    EXPECT_EQ(e.Address, TAddress(2, 5020, 2, 3));
    EXPECT_EQ(e.Path, "/fido/ru.old.sqd");
    EXPECT_EQ(e.DefCC, withDefCC ? "CARBON" : "");
    EXPECT_EQ(c.Settings.Origins, std::vector<std::string>{"Origin"});
    EXPECT_EQ(c.Settings.TosserType, 3);
    EXPECT_EQ(c.Settings.TosserCfgPath, "/fido/areas.bbs");
    EXPECT_EQ(c.Settings.NdlDir, "/fido/ndl");
    EXPECT_EQ(c.Settings.NdlMasks, std::vector<std::string>{"NODELIST.*"});
    EXPECT_EQ(c.Settings.NetmailPath, "/fido/net/");
    EXPECT_EQ(c.Settings.NetmailFlag, "/fido/net.flg");
    EXPECT_EQ(c.Settings.EchoscanFile, "/fido/scan.log");
    EXPECT_EQ(c.Settings.UUEPath, "/fido/uue");
}

// Layouts B and C from ConfirmDel to MaxMsgLen.
void WriteSettingsToMaxMsgLen(TCfgWriter& w) {
    w.Bool(false);
    w.Bool(false);
    w.String("uucp");
    w.Address(TAddress(2, 5020, 49));
    for (bool b : {false, true, true, true, true, false, false})
        w.Bool(b);
    w.StringList({"C:\\=/"});
    w.StringList({"Cookie"});
    w.Int32(32);
}

} // namespace

TEST_F(ConfigFile, EveryStoredFieldRoundTrips) {
    TConfig saved;
    FillConfig(saved);
    saved.Settings.MaxMsgLines = 7; // derived: loading recomputes it from MaxMsgLen
    SaveConfig(saved, name);
    const std::string bytes = ReadFile(name);
    EXPECT_EQ(bytes.substr(0, 12), "TavroCfg0.62");
    EXPECT_EQ(bytes.back(), '\0'); // AutoLoadConfig false

    TConfig loaded;
    LoadConfig(loaded, name);
    ASSERT_EQ(loaded.Templates.size(), 13u);
    EXPECT_EQ(loaded.BuiltInTemplateCount, 11);
    EXPECT_EQ(loaded.Templates[11]->Name, "My reply");
    EXPECT_EQ(loaded.Templates[11]->Lines, saved.Templates[11]->Lines);
    EXPECT_FALSE(loaded.Templates[11]->IsDefault);
    EXPECT_EQ(loaded.Templates[12]->Name, "Empty");
    EXPECT_TRUE(loaded.Templates[12]->Lines.empty());
    ASSERT_EQ(loaded.Echoes.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        const TEcho& a = *saved.Echoes[i];
        const TEcho& b = *loaded.Echoes[i];
        EXPECT_EQ(a.Name, b.Name);
        EXPECT_EQ(a.Origin, b.Origin);
        EXPECT_EQ(a.EchoType, b.EchoType);
        EXPECT_EQ(a.BaseType, b.BaseType);
        EXPECT_EQ(a.DefAttr, b.DefAttr);
        EXPECT_EQ(a.Flags, b.Flags);
        EXPECT_EQ(a.Address, b.Address);
        EXPECT_EQ(a.Path, b.Path);
        EXPECT_EQ(a.DefCC, b.DefCC);
    }
    saved.Settings.SetMaxMsgLen(32);
    ExpectStoredSettingsEqual(loaded.Settings, saved.Settings);
    EXPECT_EQ(loaded.Settings.MaxMsgLines, 500);

    // Booleans go out as 0xFF, and a second save writes the same bytes.
    loaded.Settings.AutoLoadConfig = true;
    SaveConfig(loaded, name);
    EXPECT_EQ(static_cast<uint8_t>(ReadFile(name).back()), 0xFF);
    loaded.Settings.AutoLoadConfig = false;
    SaveConfig(loaded, name);
    EXPECT_EQ(ReadFile(name), bytes);
}

TEST_F(ConfigFile, DefaultsWriteEmptyListsAndLoadBackAsDefaults) {
    TConfig saved;
    SaveConfig(saved, name);
    const std::string bytes = ReadFile(name);
    EXPECT_EQ(bytes.substr(12, 8), std::string(8, '\0')); // no templates, no areas
    // MinToTray to AddQuoteSpace, then two empty lists, MaxMsgLen, RunOnExit, AutoLoadConfig.
    EXPECT_EQ(bytes.substr(bytes.size() - 24), std::string("\xFF\0\0\0\0\xFF\xFF", 7) + std::string(8, '\0') +
                                                   std::string("\x10\0\0\0", 4) + std::string(4, '\0') +
                                                   "\xFF");
    TConfig loaded;
    LoadConfig(loaded, name);
    EXPECT_EQ(loaded.Templates.size(), 11u);
    EXPECT_TRUE(loaded.Echoes.empty());
    ExpectStoredSettingsEqual(loaded.Settings, saved.Settings);
}

TEST_F(ConfigFile, AMissingFileKeepsTheDefaults) {
    TConfig config;
    LoadConfig(config, name);
    EXPECT_EQ(config.Templates.size(), 11u);
    EXPECT_TRUE(config.Echoes.empty());
    EXPECT_TRUE(config.Settings.AutoLoadConfig);
    EXPECT_EQ(config.Settings.MaxMsgLines, 240);
}

// Layout B stored RunOnExit only in its later files and never AutoLoadConfig; layout C
// treats a file that ends before AutoLoadConfig as "do not load".
TEST_F(ConfigFile, LayoutsBAndCWithTheirEndOfFileRules) {
    struct {
        const char* version;
        bool withRunOnExit;
        int autoLoadByte; // -1: the file ends before it
        bool autoLoadConfig;
    } cases[] = {
        {"0.53", false, -1, true},  {"0.54", true, -1, true},   {"0.54", true, 0x00, true},
        {"0.56", true, -1, false},  {"0.60", true, 0xFF, true}, {"0.62", true, 0x00, false},
        {"0.62", true, 0x01, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version);
        const bool layoutC = std::string(c.version) >= "0.56";
        TCfgWriter w;
        w.Bytes("TavroCfg");
        w.Bytes(c.version);
        WriteStart(w, layoutC);
        WriteSettingsToMaxMsgLen(w);
        if (c.withRunOnExit)
            w.String("run.sh");
        if (c.autoLoadByte >= 0)
            w.Byte(static_cast<uint8_t>(c.autoLoadByte));
        TConfig config;
        Load(config, w);
        ExpectStart(config, layoutC);
        const TGlobalSettings& s = config.Settings;
        EXPECT_FALSE(s.ConfirmDel);
        EXPECT_FALSE(s.ConfirmExit);
        EXPECT_EQ(s.GateName, "uucp");
        EXPECT_EQ(s.GateAddr, TAddress(2, 5020, 49));
        EXPECT_FALSE(s.MinToTray);
        EXPECT_TRUE(s.OldAddrStyle);
        EXPECT_TRUE(s.ReplyDelEchomail);
        EXPECT_FALSE(s.AddQuoteSpace);
        EXPECT_EQ(s.PathSubst, std::vector<std::string>{"C:\\=/"});
        EXPECT_EQ(s.Cookies, std::vector<std::string>{"Cookie"});
        EXPECT_EQ(s.MaxMsgLen, 32);
        EXPECT_EQ(s.MaxMsgLines, 500);
        EXPECT_EQ(s.RunOnExit, c.withRunOnExit ? "run.sh" : "");
        EXPECT_EQ(s.AutoLoadConfig, c.autoLoadConfig);
    }
}

// The first layout: the UU line count stored directly, then groups of later settings, each
// present only when the file goes on.
TEST_F(ConfigFile, LayoutWithoutHeaderReadsTheGroupsThatArePresent) {
    for (int groups = 0; groups <= 6; ++groups) {
        SCOPED_TRACE(groups);
        TCfgWriter w;
        WriteStart(w, false);
        w.Int32(123);
        w.Bool(false);
        w.Bool(false);
        if (groups >= 1) {
            w.String("uucp");
            w.Address(TAddress(2, 5020, 49));
        }
        if (groups >= 2) {
            w.Bool(false);
            w.Bool(true);
        }
        if (groups >= 3)
            w.Bool(true);
        if (groups >= 4) {
            w.Bool(true);
            w.Bool(true);
            w.Bool(false);
        }
        if (groups >= 5) {
            w.Bool(false);
            w.StringList({"C:\\=/"});
        }
        if (groups >= 6)
            w.StringList({"Cookie"});
        TConfig config;
        Load(config, w);
        ExpectStart(config, false);
        const TGlobalSettings& s = config.Settings;
        EXPECT_EQ(s.MaxMsgLines, 123);
        EXPECT_EQ(s.MaxMsgLen, 16);
        EXPECT_FALSE(s.ConfirmDel);
        EXPECT_FALSE(s.ConfirmExit);
        EXPECT_EQ(s.GateName, groups >= 1 ? "uucp" : "");
        EXPECT_EQ(s.GateAddr, groups >= 1 ? TAddress(2, 5020, 49) : TAddress());
        EXPECT_EQ(s.MinToTray, groups < 2);
        EXPECT_EQ(s.OldAddrStyle, groups >= 2);
        EXPECT_EQ(s.OnlyOneInstance, groups >= 3);
        EXPECT_EQ(s.ReplyDelNetmail, groups >= 4);
        EXPECT_EQ(s.ReplyDelEchomail, groups >= 4);
        EXPECT_EQ(s.ConfirmDelReplied, groups < 4);
        EXPECT_EQ(s.AddQuoteSpace, groups < 5);
        EXPECT_EQ(s.PathSubst.size(), groups >= 5 ? 1u : 0u);
        EXPECT_EQ(s.Cookies.size(), groups >= 6 ? 1u : 0u);
        EXPECT_TRUE(s.AutoLoadConfig);
        EXPECT_TRUE(s.RunOnExit.empty());
    }
}

TEST_F(ConfigFile, AnUnknownVersionFailsWithUnknownConfig) {
    for (const char* version : {"0.55", "0.63", "1.00", "\0\0\0\0"}) {
        TCfgWriter w;
        w.Bytes("TavroCfg");
        w.Bytes(std::string_view(version, 4));
        WriteStart(w, true);
        TConfig config;
        try {
            Load(config, w);
            ADD_FAILURE() << "loaded version " << version;
        } catch (const EConfigError& e) {
            EXPECT_STREQ(e.what(), "Unknown config");
        }
        EXPECT_EQ(config.Templates.size(), 11u);
    }
}

// Every cut of a saved file fails, except the one layout C allows: before AutoLoadConfig.
TEST_F(ConfigFile, ACutFileFailsInsteadOfLoadingHalf) {
    TConfig saved;
    FillConfig(saved);
    SaveConfig(saved, name);
    const std::string bytes = ReadFile(name);
    for (size_t size = 0; size + 1 < bytes.size(); ++size) {
        SCOPED_TRACE(size);
        WriteFile(name, bytes.substr(0, size));
        TConfig config;
        EXPECT_THROW(LoadConfig(config, name), EConfigError);
    }
    WriteFile(name, bytes.substr(0, bytes.size() - 1));
    TConfig config;
    LoadConfig(config, name);
    EXPECT_EQ(config.Echoes.size(), 2u);
}

TEST_F(ConfigFile, DamagedFieldsFailWithAClearError) {
    TConfig saved;
    saved.Templates.push_back(std::make_unique<TTemplate>());
    SaveConfig(saved, name);
    const std::string good = ReadFile(name);
    const size_t maxMsgLenAt = good.size() - 9; // then an empty RunOnExit and AutoLoadConfig
    struct {
        const char* what;
        size_t offset;
        int32_t value;
    } cases[] = {
        {"a count beyond the end", 12, 0x7FFFFFFF},
        {"a negative count", 12, -1},
        {"a text beyond the end", 16, 0x10000000},
        {"a negative text length", 16, -4},
        {"no message length", maxMsgLenAt, 0},
        {"a message length no message has", maxMsgLenAt, 0x7FFFFFFF},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TCfgWriter value;
        value.Int32(c.value);
        std::string bytes = good;
        bytes.replace(c.offset, 4, value.Data);
        WriteFile(name, bytes);
        TConfig config;
        try {
            LoadConfig(config, name);
            ADD_FAILURE() << "loaded";
        } catch (const EConfigError& e) {
            EXPECT_GT(std::string(e.what()).size(), 10u);
        }
    }
}

TEST_F(ConfigFile, AFailedSaveKeepsThePreviousFile) {
    TConfig first;
    SaveConfig(first, name);
    const std::string before = ReadFile(name);
    TConfig second;
    FillConfig(second);

    // A parent that is a regular file: no permission, root's neither, lets a file in there.
    WriteFile(dir.File("plain"), "plain");
    EXPECT_THROW(SaveConfig(second, dir.File("plain/tavro.cfg")), EConfigError);
    EXPECT_EQ(ReadFile(dir.File("plain")), "plain");

    // A full disk, played by a file size limit.
    struct rlimit previous;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = previous;
    small.rlim_cur = 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    bool thrown = false;
    try {
        SaveConfig(second, name);
    } catch (const EConfigError&) {
        thrown = true;
    }
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_TRUE(thrown);
    EXPECT_EQ(ReadFile(name), before);

    TConfig loaded;
    LoadConfig(loaded, name);
    EXPECT_TRUE(loaded.Echoes.empty());
}

// What older files hold is checked: a line count the message length does not allow, and a
// stored template that calls itself built in (it could never be edited or deleted again).
TEST_F(ConfigFile, OlderValuesAreChecked) {
    const struct {
        int32_t stored;
        int32_t lines;
    } counts[] = {{123, 123}, {240, 240}, {241, 240}, {100000, 240}, {0, 240}, {-5, 240}};
    for (const auto& c : counts) {
        SCOPED_TRACE(c.stored);
        TCfgWriter w;
        WriteStart(w, false);
        w.Int32(c.stored);
        w.Bool(true);
        w.Bool(true);
        TConfig config;
        Load(config, w);
        EXPECT_EQ(config.Settings.MaxMsgLines, c.lines);
    }
    TCfgWriter w;
    w.Bytes("TavroCfg0.62");
    w.Int32(1);
    w.String("Claims to be built in");
    w.StringList({"%Cursor"});
    w.Bool(true);
    w.Int32(0);
    TConfig config;
    try {
        Load(config, w);
    } catch (const EConfigError&) {
        // The file ends after the templates: what matters is what was read.
    }
    ASSERT_EQ(config.Templates.size(), 12u);
    EXPECT_FALSE(config.Templates[11]->IsDefault);
}

TEST_F(ConfigFile, AFileFarLargerThanAnyConfigurationIsRefused) {
    TConfig config;
    FillConfig(config);
    SaveConfig(config, name);
    std::string data = ReadFile(name);
    data.resize(MaxSmallConfigBytes + 1, '\0');
    WriteFile(name, data);
    TConfig loaded;
    EXPECT_THROW(LoadConfig(loaded, name), EConfigError);
}
