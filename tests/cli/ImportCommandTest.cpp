#include "CliRun.h"

#include "config/Config.h"
#include "config/ConfigFile.h"
#include "config/ConfigLock.h"
#include "config/UsersFile.h"
#include "core/FileUtils.h"

#include "TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

using namespace tavro;
using tavro::test::Invoke;
using tavro::test::TCliResult;
using tavro::test::TTempDir;
using tavro::test::WriteFile;

namespace {

class ImportCommandTest : public ::testing::Test {
protected:
    TTempDir Dir;
    std::string Home = Dir.File("home");
    std::string Fido = Dir.File("fido");

    // An HPT configuration whose areas sit in an included file of another directory.
    std::string WriteHpt() {
        std::filesystem::create_directories(Fido + "/areas");
        std::filesystem::create_directories(Fido + "/msgbase/netmail");
        WriteFile(Fido + "/msgbase/r50.sysop.sqd", "");
        const char* rest = "NetmailArea NETMAIL [base]/netmail -b msg\n"
                           "EchoAreaDefaults -b Jam\n"
                           "Include areas/echoes\n";
        WriteFile(Fido + "/config", "Address 2:5020/1042.7\nset base=" + Fido + "/msgbase\n" + rest);
        WriteFile(Fido + "/areas/echoes", "EchoArea R50.SYSOP [base]/r50.sysop -b Squish 2:5020/1042\n"
                                          "EchoArea SU.GENERAL [base]/su.general 2:5020/1042\n");
        return Fido + "/config";
    }

    TCliResult Run(std::vector<std::string> args) {
        args.insert(args.end(), {"--home", Home});
        return Invoke(std::move(args));
    }
};

TEST_F(ImportCommandTest, AnHptConfigurationFillsTheAreaList) {
    const TCliResult r = Run({"import", "--type", "hpt", WriteHpt()});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "added\tNETMAIL\nadded\tR50.SYSOP\nadded\tSU.GENERAL\n3 added, 0 updated, 0 removed\n");
    const std::string base = Fido + "/msgbase";
    const std::string expected[] = {
        "NAME\tKIND\tFORMAT\tAKA\tPATH",
        "NETMAIL\tNetmail\tMSG\t2:5020/1042.7\t" + base + "/netmail/",
        "R50.SYSOP\tEchomail\tSquish\t2:5020/1042.7\t" + base + "/r50.sysop.Sqd",
        "SU.GENERAL\tEchomail\tJAM\t2:5020/1042.7\t" + base + "/su.general.Jhr",
    };
    std::string listing;
    for (const std::string& line : expected)
        listing += line + "\n";
    EXPECT_EQ(Run({"areas"}).Out, listing);
    // Again: nothing changed, and nothing is written.
    const TFileStamp stamp = FileStampOf(ConfigFileName(Home));
    EXPECT_EQ(Run({"import", "--type=hpt", Fido + "/config"}).Out, "0 added, 0 updated, 0 removed\n");
    EXPECT_EQ(FileStampOf(ConfigFileName(Home)), stamp);
}

TEST_F(ImportCommandTest, AMissingIncludeFailsAndChangesNothing) {
    const std::string config = WriteHpt();
    ASSERT_EQ(Run({"import", "--type", "hpt", config}).Status, 0);
    const std::string areas = Run({"areas"}).Out;
    const std::string saved = test::ReadFile(ConfigFileName(Home));
    const TFileStamp mainStamp = FileStampOf(ConfigFileName(Home));
    const TFileStamp usersStamp = FileStampOf(UsersFileName(Home));

    std::filesystem::remove(Fido + "/areas/echoes");
    const TCliResult r = Run({"import", "--type", "hpt", config});
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Out, "");
    EXPECT_EQ(r.Err, "tavro-cli import: \"" + config + "\" line 5: cannot read the included file \"" + Fido +
                         "/areas/echoes\"\n");
    EXPECT_EQ(Run({"areas"}).Out, areas);
    EXPECT_EQ(test::ReadFile(ConfigFileName(Home)), saved);
    EXPECT_EQ(FileStampOf(ConfigFileName(Home)), mainStamp);
    EXPECT_EQ(FileStampOf(UsersFileName(Home)), usersStamp);
}

TEST_F(ImportCommandTest, WarningsGoToStandardError) {
    const std::string config = Dir.File("config");
    WriteFile(config, "Address 2:5020/1042.7\nEchoArea R50 [base]/r50\n");
    const TCliResult r = Run({"import", "--type", "hpt", config});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "added\tR50\n1 added, 0 updated, 0 removed\n");
    EXPECT_EQ(r.Err,
              "tavro-cli import: warning: \"" + config + "\" line 2: [base] is not set and reads as empty\n");

    // A file without areas removes none, and says so.
    WriteFile(config, "Address 2:5020/1042.7\n");
    const TCliResult empty = Run({"import", "--type", "hpt", config});
    EXPECT_EQ(empty.Status, 0) << empty.Err;
    EXPECT_EQ(empty.Out, "0 added, 0 updated, 0 removed\n");
    EXPECT_EQ(empty.Err, "tavro-cli import: warning: \"" + config + "\" names no area; no area is removed\n");
    EXPECT_NE(Run({"areas"}).Out.find("R50"), std::string::npos);
}

TEST_F(ImportCommandTest, UsesTheConfiguredTosserAndKeepsTheUsersInStep) {
    WriteHpt();
    std::filesystem::create_directories(Home);
    TConfig config;
    config.Settings.TosserType = 4;
    config.Settings.TosserCfgPath = Fido + "/CONFIG"; // the letter case on disk differs
    for (const char* name : {"GONE", "SU.GENERAL"}) {
        config.Echoes.push_back(std::make_unique<TEcho>());
        config.Echoes.back()->Name = name;
        config.Echoes.back()->EchoType = etEchomail;
    }
    config.Users.push_back(config.NewUser());
    config.Users.back()->AreaTree.push_back(std::make_unique<TTreeInfo>(config.Echoes[0].get()));
    config.Users.back()->AreaTree.push_back(std::make_unique<TTreeInfo>(config.Echoes[1].get()));
    SaveConfig(config, ConfigFileName(Home));
    SaveUsers(config, UsersFileName(Home));

    const TCliResult r = Run({"import"});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "added\tNETMAIL\nadded\tR50.SYSOP\nupdated\tSU.GENERAL\nremoved\tGONE\n"
                     "2 added, 1 updated, 1 removed\n");
    // The one user's tree follows: the removed area goes, the new ones come at its end.
    EXPECT_EQ(Run({"users"}).Out, "0\t\n  SU.GENERAL\n  NETMAIL\n  R50.SYSOP\n");
}

TEST_F(ImportCommandTest, FailuresAndMisuse) {
    WriteFile(Dir.File("short.fe"), "too short");
    const struct {
        std::vector<std::string> args;
        int status;
    } cases[] = {
        {{"import", "--type", "gecho", "x"}, 2},
        {{"import", "a", "b"}, 2},
        {{"import"}, 1}, // no configuration names a file
        {{"import", Dir.File("missing.cfg")}, 1},
        {{"import", "--type", "fastecho", Dir.File("short.fe")}, 1},
    };
    for (const auto& c : cases) {
        const TCliResult r = Run(c.args);
        EXPECT_EQ(r.Status, c.status) << r.Err;
        EXPECT_EQ(r.Err.rfind("tavro-cli import: ", 0), 0u) << r.Err;
        EXPECT_EQ(r.Out, "");
    }
    // Nothing was saved by a failed import.
    EXPECT_FALSE(test::FileExists(ConfigFileName(Home)));
}

TEST_F(ImportCommandTest, RefusesWhileTavroRuns) {
    const std::string config = WriteHpt();
    std::filesystem::create_directories(Home);
    {
        auto running = TConfigLock::Take(Home, TConfigLock::TKind::Running);
        ASSERT_TRUE(running);
        const TCliResult r = Run({"import", "--type", "hpt", config});
        EXPECT_EQ(r.Status, 1);
        EXPECT_EQ(r.Err, "tavro-cli import: Tavro is running; close it or import from its Setup\n");
        EXPECT_FALSE(test::FileExists(ConfigFileName(Home)));
    }
    EXPECT_EQ(Run({"import", "--type", "hpt", config}).Status, 0);
}

} // namespace
