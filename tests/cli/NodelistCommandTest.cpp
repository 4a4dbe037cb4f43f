#include "CliRun.h"

#include "config/Config.h"
#include "config/ConfigFile.h"
#include "config/Echo.h"
#include "core/CodePage.h"

#include "TempDir.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

using namespace tavro;
using tavro::test::Invoke;
using tavro::test::TCliResult;
using tavro::test::TTempDir;
using tavro::test::WriteFile;

namespace {

// The nodelist's Cyrillic sysop, stored in CP866 as nodelists are.
const std::string CyrillicSysop = "Иван Петров";

std::string Cp866(const std::string& utf8) {
    return TCodePage::Get("CP866")->FromUtf8(utf8);
}

// Nodes 2:2/0, 2:50/0, 2:5020/0, /1, /100, /101 and /102 with lines of every length; the
// pointlist adds 2:5020/1.1 and 2:5020/1.2.
std::string Nodelist() {
    std::string sysop = Cp866(CyrillicSysop);
    std::replace(sysop.begin(), sysop.end(), ' ', '_');
    return ";A Tavro test nodelist\r\n"
           "Zone,2,Europe_Zone,Europe,Olga_Ivanova,7-495-000-0000,33600,CM,IBN\r\n"
           "Region,50,Russia_Region,Moscow_Russia,Pavel_Orlov,-Unpublished-,300\r\n"
           "Host,5020,Moscow_Net,Moscow_Russia,Sergey_Smirnov,7-495-111-1111,33600,CM,XA,V34\r\n"
           ",1,Some_BBS_Name,Moscow_Russia,John_Smith,7-495-123-4567,33600,CM,XA,V34,IBN,INA:host.example."
           "org\r\n"
           "Hub,100,Hub_BBS,Moscow_Russia," +
           sysop +
           ",7-495-222-2222,9600\r\n"
           ",101,Short_Node,Tver_Russia,John_Smith,7-482-000-0000\r\n"
           "Pvt,102,Tiny,Tver\r\n";
}

std::string Pointlist() {
    return ";A Tavro test pointlist\r\n"
           "Boss,2:5020/1\r\n"
           "Point,1,Point_One,Moscow_Russia,Alex_Point,-Unpublished-,300\r\n"
           ",2,Point_Two,Moscow_Russia,Maria_Point,-Unpublished-,300,XA\r\n";
}

class NodelistCommandTest : public ::testing::Test {
protected:
    TTempDir Home;
    std::string Dir = Home.File("nodelist");

    void SetUp() override {
        std::filesystem::create_directories(Dir);
        WriteFile(Dir + "/NODELIST.123", Nodelist());
        WriteFile(Dir + "/POINTS.123", Pointlist());
        // A keyword with a bad number fails its own file only.
        WriteFile(Dir + "/NODELIST.999", "Zone,two,Broken,Nowhere,Nobody,-Unpublished-,300\r\n");
    }

    TCliResult Run(std::vector<std::string> args) {
        args.insert(args.end(), {"--home", Home.Path()});
        return Invoke(std::move(args));
    }

    void Compile() {
        const TCliResult r =
            Run({"nodelist", "compile", "--dir", Dir, "--mask", "NODELIST.*", "--mask=POINTS.123"});
        ASSERT_EQ(r.Status, 0) << r.Err;
    }
};

} // namespace

TEST_F(NodelistCommandTest, CompilesTheGivenMasksAndCountsEntriesAndListedFiles) {
    const TCliResult r =
        Run({"nodelist", "compile", "--dir", Dir, "--mask", "NODELIST.*", "--mask=POINTS.123"});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "compiled 9 entries from 2 files\n");
    // No progress line off a terminal; the broken file is named with its line and reason.
    EXPECT_EQ(r.Err, "tavro-cli nodelist: " + Dir +
                         "/NODELIST.999:1: not compiled: the number \"two\" is not a decimal number\n");
    EXPECT_TRUE(test::FileExists(Dir + "/Tavro.nls"));
    EXPECT_TRUE(test::FileExists(Dir + "/Tavro.ndx"));
}

TEST_F(NodelistCommandTest, FindsANodeOrPointByAddressWithItsFields) {
    Compile();
    const struct {
        const char* address;
        std::string line;
    } cases[] = {
        {"2:5020/1",
         "2:5020/1.0\tSome BBS Name\tMoscow Russia\tJohn Smith\t7-495-123-4567\t33600,CM,XA,V34,IBN,INA:host."
         "example.org"},
        {"2:5020/1.2", "2:5020/1.2\tPoint Two\tMoscow Russia\tMaria Point\t-Unpublished-\t300,XA"},
        {"2:5020/0",
         "2:5020/0.0\tMoscow Net\tMoscow Russia\tSergey Smirnov\t7-495-111-1111\t33600,CM,XA,V34"},
        {"2:2/0.0", "2:2/0.0\tEurope Zone\tEurope\tOlga Ivanova\t7-495-000-0000\t33600,CM,IBN"},
        // Converted from CP866 to UTF-8.
        {"2:5020/100", "2:5020/100.0\tHub BBS\tMoscow Russia\t" + CyrillicSysop + "\t7-495-222-2222\t9600"},
        // Fields the line lacks are empty.
        {"2:5020/101", "2:5020/101.0\tShort Node\tTver Russia\tJohn Smith\t7-482-000-0000\t"},
        {"2:5020/102@fidonet", "2:5020/102.0\tTiny\tTver\t\t\t"},
    };
    for (const auto& c : cases) {
        const TCliResult r = Run({"nodelist", "find", c.address, "--dir", Dir});
        EXPECT_EQ(r.Status, 0) << c.address << ": " << r.Err;
        EXPECT_EQ(r.Out, c.line + "\n") << c.address;
    }
}

TEST_F(NodelistCommandTest, FindsEveryNodeOfASysopIgnoringLatinCase) {
    Compile();
    const struct {
        std::string name;
        std::string addresses;
    } cases[] = {
        {"John Smith", "2:5020/1.0 2:5020/101.0 "},
        {"jOHN sMITH", "2:5020/1.0 2:5020/101.0 "},
        {"Maria Point", "2:5020/1.2 "},
        {CyrillicSysop, "2:5020/100.0 "},
    };
    for (const auto& c : cases) {
        const TCliResult r = Run({"nodelist", "find", "--name", c.name, "--dir", Dir});
        EXPECT_EQ(r.Status, 0) << c.name << ": " << r.Err;
        std::string addresses;
        for (size_t start = 0; start < r.Out.size();) {
            const size_t end = r.Out.find('\n', start);
            addresses += r.Out.substr(start, r.Out.find('\t', start) - start) + " ";
            start = end == std::string::npos ? r.Out.size() : end + 1;
        }
        EXPECT_EQ(addresses, c.addresses) << c.name;
    }
}

TEST_F(NodelistCommandTest, TakesTheDirectoryAndMasksFromTheConfiguration) {
    TConfig config;
    config.Settings.NdlDir = "  " + Dir + " ";
    config.Settings.NdlMasks = {"NODELIST.123", " ", "POINTS.*"};
    SaveConfig(config, ConfigFileName(Home.Path()));

    TCliResult r = Run({"nodelist", "compile"});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "compiled 9 entries from 2 files\n");
    r = Run({"nodelist", "find", "2:5020/1.1"});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out.substr(0, 21), "2:5020/1.1\tPoint One\t");

    // --dir takes the configured masks elsewhere; an empty nodelist directory is --home.
    const std::string other = Home.File("other");
    std::filesystem::create_directories(other);
    WriteFile(other + "/NODELIST.123", Nodelist());
    r = Run({"nodelist", "compile", "--dir", other});
    EXPECT_EQ(r.Out, "compiled 7 entries from 1 files\n") << r.Err;
    config.Settings.NdlDir.clear();
    SaveConfig(config, ConfigFileName(Home.Path()));
    WriteFile(Home.File("NODELIST.123"), Nodelist());
    r = Run({"nodelist", "compile"});
    EXPECT_EQ(r.Out, "compiled 7 entries from 1 files\n") << r.Err;
    EXPECT_TRUE(test::FileExists(Home.File("Tavro.ndx")));
}

TEST_F(NodelistCommandTest, MisuseAndFailuresAreOneLineWithTheirStatus) {
    Compile();
    WriteFile(Home.File("file"), "");
    const std::string empty = Home.File("empty");
    std::filesystem::create_directories(empty);
    const struct {
        std::vector<std::string> args;
        int status;
        const char* says;
    } cases[] = {
        {{"nodelist"}, 2, "compile or find"},
        {{"nodelist", "list"}, 2, "unknown subcommand"},
        {{"nodelist", "find", "--dir", Dir}, 2, "ADDRESS or --name"},
        {{"nodelist", "find", "2:5020/1", "--name", "John Smith", "--dir", Dir}, 2, "ADDRESS or --name"},
        {{"nodelist", "find", "2:5020/1", "2:5020/2", "--dir", Dir}, 2, "ADDRESS or --name"},
        {{"nodelist", "find", "2:5020", "--dir", Dir}, 2, "not an address"},
        {{"nodelist", "find", "--name", " ", "--dir", Dir}, 2, "sysop name"},
        {{"nodelist", "compile", "--mask"}, 2, "--mask needs a value"},
        {{"nodelist", "compile", "--dir", "", "--mask", "X"}, 2, "--dir needs"},
        {{"nodelist", "compile", "extra"}, 2, "takes no arguments"},
        {{"nodelist", "find", "2:5020/7", "--dir", Dir}, 1, "no such node"},
        {{"nodelist", "find", "--name", "Nobody Here", "--dir", Dir}, 1, "no such node"},
        {{"nodelist", "find", "2:5020/1", "--dir", empty}, 1, "tavro-cli nodelist compile"},
        {{"nodelist", "compile", "--dir", Dir}, 1, "--mask"},
        {{"nodelist", "compile", "--dir", Home.File("file/sub"), "--mask", Dir + "/NODELIST.123"},
         1,
         "cannot write"},
    };
    for (const auto& c : cases) {
        const TCliResult r = Run(c.args);
        const std::string what = c.args.back();
        EXPECT_EQ(r.Status, c.status) << what << ": " << r.Err;
        EXPECT_EQ(r.Out, "") << what;
        EXPECT_TRUE(r.Err.starts_with("tavro-cli nodelist: ")) << what << ": " << r.Err;
        EXPECT_NE(r.Err.find(c.says), std::string::npos) << what << ": " << r.Err;
        EXPECT_EQ(r.Err.find('\n'), r.Err.size() - 1) << what;
    }
}

TEST_F(NodelistCommandTest, ANodelistGoneSinceCompilingIsAFailure) {
    Compile();
    std::filesystem::remove(Dir + "/NODELIST.123");
    const TCliResult r = Run({"nodelist", "find", "2:5020/1", "--dir", Dir});
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Out, "");
    EXPECT_TRUE(r.Err.starts_with("tavro-cli nodelist: ")) << r.Err;
}

TEST_F(NodelistCommandTest, ReportsMasksThatFindNothingAndNotesOnStandardError) {
    // The zone of a list without one comes from the configured netmail area.
    TConfig config;
    auto netmail = std::make_unique<TEcho>();
    netmail->Name = "NETMAIL";
    netmail->EchoType = etNetmail;
    netmail->Address = TAddress(2, 5020, 9999);
    config.Echoes.push_back(std::move(netmail));
    SaveConfig(config, ConfigFileName(Home.Path()));
    WriteFile(Dir + "/REGION.50",
              ";No zone line\r\nHost,5030,Tver,Tver,Host_Sysop,-,300\r\n,1,N,T,S,-,300\r\n");

    const TCliResult r = Run({"nodelist", "compile", "--dir", Dir, "--mask", "REGION.*", "--mask", "NONE.*",
                              "--mask", "gone/NODELIST.*"});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "compiled 2 entries from 1 files\n");
    EXPECT_EQ(r.Err,
              "tavro-cli nodelist: " + Dir +
                  "/REGION.50: note: line 2 comes before any Zone line: zone 2 is taken from the address "
                  "2:5020/9999 of the netmail area \"NETMAIL\"\n"
                  "tavro-cli nodelist: warning: mask \"NONE.*\": no file matches it\n"
                  "tavro-cli nodelist: warning: mask \"" +
                  Dir + "/gone/NODELIST.*\": its directory " + Dir + "/gone does not exist\n");
    const TCliResult found = Run({"nodelist", "find", "2:5030/1", "--dir", Dir});
    EXPECT_EQ(found.Status, 0) << found.Err;

    // Without any area address such a list fails.
    std::filesystem::remove(ConfigFileName(Home.Path()));
    const TCliResult failed = Run({"nodelist", "compile", "--dir", Dir, "--mask", "REGION.*"});
    EXPECT_EQ(failed.Status, 0) << failed.Err;
    EXPECT_EQ(failed.Out, "compiled 0 entries from 0 files\n");
    EXPECT_NE(failed.Err.find("/REGION.50:2: not compiled: no Zone line"), std::string::npos) << failed.Err;
}

TEST_F(NodelistCommandTest, RelativeDirectoriesAreTakenFromTheConfigurationDirectory) {
    std::filesystem::create_directories(Dir + "/points");
    std::filesystem::rename(Dir + "/POINTS.123", Dir + "/points/POINTS.123");
    TConfig config;
    config.Settings.NdlDir = "nodelist";
    config.Settings.NdlMasks = {"NODELIST.123", "points\\POINTS.*"};
    SaveConfig(config, ConfigFileName(Home.Path()));
    const TCliResult r = Run({"nodelist", "compile"});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "compiled 9 entries from 2 files\n");
    EXPECT_TRUE(test::FileExists(Dir + "/Tavro.ndx"));
    const TCliResult found = Run({"nodelist", "find", "2:5020/1.2"});
    EXPECT_EQ(found.Status, 0) << found.Err;
    EXPECT_EQ(found.Out.substr(0, 21), "2:5020/1.2\tPoint Two\t");
}
