#include "config/AreaImport.h"
#include "config/CfgStream.h"
#include "config/ConfigFile.h"
#include "config/UsersFile.h"

#include "core/FileUtils.h"

#include "ImportTestKit.h"
#include "RecordingUi.h"

#include <cstdlib>
#include <filesystem>

using namespace tavro;

namespace {

TEST(PathSubstitution, TheFirstMatchingPrefixIsReplaced) {
    const std::vector<std::string> rules = {"no equals sign", " D:\\MAIL = C:\\FIDO\\MAIL ", "D:\\=/never",
                                            "/var/spool/fido=/home/u/fido"};
    const struct {
        const char* path;
        const char* expected;
    } cases[] = {
        {"d:\\mail\\r50", "C:\\FIDO\\MAIL\\r50"},
        {"D:\\MAILBOX", "C:\\FIDO\\MAILBOX"}, // a prefix, not a directory
        {"D:\\FILES", "/neverFILES"},
        {"/var/spool/fido/r50.sqd", "/home/u/fido/r50.sqd"},
        {"/VAR/SPOOL/FIDO", "/home/u/fido"},
        {"E:\\MAIL\\R50", "E:\\MAIL\\R50"},
        {"no equals sign\\x", "no equals sign\\x"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SubstitutePath(c.path, rules), c.expected) << c.path;
}

TEST(AkaChoice, TheLinksNodeChoosesAmongTheOwnAddresses) {
    const std::vector<std::string> own = {"2:5020/1042.7", "1:23/45.6", "2:5030/45.1"};
    const struct {
        const char* link;
        const char* expected;
    } cases[] = {
        {"1:23/45", "1:23/45.6"},       {"2:5030/45", "2:5030/45.1"},
        {"45", "2:5030/45.1"}, // any zone and net: the last match wins
        {"5020/1042", "2:5020/1042.7"}, {"2:5020/0", "2:5020/1042.7"}, // node 0: the first own address
        {".5", "2:5020/1042.7"},        {"3:99/99", ""},
    };
    for (const auto& c : cases) {
        TConfig config;
        TAreaImport import(config);
        for (const std::string& address : own)
            import.AddOwnAddress(address);
        import.AddOwnAddress("not an address");
        TEcho echo;
        import.ChooseAka(echo, c.link);
        EXPECT_EQ(echo.Address.ToStr(), c.expected) << c.link;
        // An area that has its address keeps it.
        echo.Address = TAddress(9, 9, 9);
        import.ChooseAka(echo, c.link);
        EXPECT_EQ(echo.Address.ToStr(), "9:9/9") << c.link;
    }
}

class TosserImport : public test::ImportTest {
protected:
    std::string Home = Dir.File("home");
    // The areas' paths are looked at on disk: they must be ours, never the machine's /fido.
    std::string Fido = Dir.File("fido");
    std::string Cfg =
        Write("squish.cfg", "EchoArea R50 " + Fido + "/r50\nEchoArea SU.GENERAL " + Fido + "/su\n");

    TUser& AddUser(int id) {
        Config.Users.push_back(Config.NewUser());
        Config.Users.back()->UserId = id;
        return *Config.Users.back();
    }

    void SetUp() override { std::filesystem::create_directories(Home); }
};

TEST_F(TosserImport, ImportsWhenTheFileChangedAndSavesBothFiles) {
    Config.Settings.TosserCfgPath = Cfg;
    TEcho& gone = AddArea("GONE");
    TUser& user = AddUser(0);
    user.AreaTree.push_back(std::make_unique<TTreeInfo>(&gone));

    EXPECT_EQ(ImportTosserConfig(Config, Home).Outcome, soImported);
    EXPECT_EQ(Config.Settings.LastTosserImport, FileDateTime(Cfg));
    // The only user gets the new areas at the end of the tree; the removed one goes.
    EXPECT_EQ(test::Tree(user.AreaTree), (std::vector<std::string>{"R50", "SU.GENERAL"}));

    TConfig saved;
    LoadConfig(saved, ConfigFileName(Home));
    LoadUsers(saved, UsersFileName(Home));
    EXPECT_EQ(test::Describe(saved), test::Describe(Config));
    ASSERT_EQ(saved.Users.size(), 1u);
    EXPECT_EQ(test::Tree(saved.Users[0]->AreaTree), (std::vector<std::string>{"R50", "SU.GENERAL"}));

    // Unchanged: nothing happens, even after the areas were edited here.
    Config.Echoes.front()->Path = "/edited";
    EXPECT_EQ(ImportTosserConfig(Config, Home).Outcome, soNotNeeded);
    EXPECT_EQ(Config.Echoes.front()->Path, "/edited");

    // A new time imports again.
    const auto touch = [this] {
        std::filesystem::last_write_time(Cfg,
                                         std::filesystem::last_write_time(Cfg) + std::chrono::seconds(5));
    };
    touch();
    EXPECT_EQ(ImportTosserConfig(Config, Home).Outcome, soImported);
    EXPECT_EQ(Config.Echoes.front()->Path, Fido + "/r50/");
    EXPECT_EQ(test::Tree(user.AreaTree), (std::vector<std::string>{"R50", "SU.GENERAL"}));

    // A new time with the same areas: nothing to save.
    const TFileStamp mainStamp = FileStampOf(ConfigFileName(Home));
    const TFileStamp usersStamp = FileStampOf(UsersFileName(Home));
    touch();
    EXPECT_EQ(ImportTosserConfig(Config, Home).Outcome, soUnchanged);
    EXPECT_EQ(Config.Settings.LastTosserImport, FileDateTime(Cfg));
    EXPECT_EQ(FileStampOf(ConfigFileName(Home)), mainStamp);
    EXPECT_EQ(FileStampOf(UsersFileName(Home)), usersStamp);
}

TEST_F(TosserImport, AConfigurationThatCannotBeImportedAtStartUpLeavesEverythingAsItWas) {
    std::string fmail(18432, '\0');
    fmail.replace(560, 9, "/new/mail"); // read before the missing area file fails the import
    Write("hpt/areas", "EchoArea R50 /r50\n");
    const struct {
        int type;
        std::string file;
        const char* error;
    } cases[] = {
        {ttFastEcho, Write("fastecho.cfg", "too short"), "fastecho.cfg"},
        {ttFMail, Write("fmail.cfg", fmail), "fmail.ar"},
        {ttHpt, Write("hpt/config", "Include areas\nInclude gone\n"), "config\" line 2"},
        {ttSquish, Write("squish-big.cfg", std::string((16 << 20) + 1, '\n')), "squish-big.cfg"},
    };
    TEcho& netmail = AddArea("NETMAIL", etNetmail);
    netmail.Path = "/old/mail/";
    TEcho& gone = AddArea("GONE");
    TUser& user = AddUser(0);
    user.AreaTree.push_back(std::make_unique<TTreeInfo>(&gone));
    const std::vector<std::string> areas = test::Describe(Config);
    for (const auto& c : cases) {
        Config.Settings.TosserType = static_cast<uint8_t>(c.type);
        Config.Settings.TosserCfgPath = c.file;
        const TStartupImport result = ImportTosserConfig(Config, Home);
        EXPECT_EQ(result.Outcome, soFailed) << c.file;
        EXPECT_NE(result.Error.find(c.error), std::string::npos) << result.Error;
        EXPECT_EQ(test::Describe(Config), areas) << c.file;
        EXPECT_EQ(test::Tree(user.AreaTree), (std::vector<std::string>{"GONE"})) << c.file;
        EXPECT_EQ(Config.Settings.LastTosserImport, 0) << c.file;
    }
    EXPECT_FALSE(test::FileExists(ConfigFileName(Home)));
    EXPECT_FALSE(test::FileExists(UsersFileName(Home)));
}

TEST_F(TosserImport, AConfigurationWithoutAreasRemovesNone) {
    const struct {
        int type;
        std::string file;
    } cases[] = {
        {ttSquish, Write("empty.cfg", "")},
        {ttAreasBbs, Write("areas.bbs", "; nothing but a comment\n2:5020/1042.7 Address line\n")},
        {ttHpt, Write("config", "# misread\nAddress 2:5020/1042.7\nif no\nEchoArea R50 /r50\nendif\n")},
    };
    TEcho& stays = AddArea("STAYS");
    TUser& user = AddUser(0);
    user.AreaTree.push_back(std::make_unique<TTreeInfo>(&stays));
    const std::vector<std::string> areas = test::Describe(Config);
    for (const auto& c : cases) {
        const TImportSummary summary = ImportAreas(Config, c.type, c.file, true);
        EXPECT_FALSE(summary.Changed()) << c.file;
        ASSERT_EQ(summary.Warnings.size(), 1u) << c.file;
        EXPECT_NE(summary.Warnings[0].find(c.file + "\" names no area"), std::string::npos)
            << summary.Warnings[0];
        EXPECT_EQ(test::Describe(Config), areas) << c.file;
        EXPECT_EQ(test::Tree(user.AreaTree), (std::vector<std::string>{"STAYS"})) << c.file;
    }
    // At start-up: nothing to save either.
    Config.Settings.TosserType = ttSquish;
    Config.Settings.TosserCfgPath = cases[0].file;
    EXPECT_EQ(ImportTosserConfig(Config, Home).Outcome, soUnchanged);
    EXPECT_FALSE(test::FileExists(ConfigFileName(Home)));
}

TEST_F(TosserImport, AnImportThatCannotBeSavedKeepsTheAreasAndSaysSo) {
    Config.Settings.TosserCfgPath = Cfg;
    const TStartupImport result = ImportTosserConfig(Config, Write("not-a-directory", ""));
    EXPECT_EQ(result.Outcome, soNotSaved);
    EXPECT_FALSE(result.Error.empty());
    EXPECT_EQ(result.Summary.Added, (std::vector<std::string>{"R50", "SU.GENERAL"}));
    EXPECT_EQ(Config.Echoes.size(), 2u);
    EXPECT_EQ(Config.Settings.LastTosserImport, FileDateTime(Cfg));
}

TEST_F(TosserImport, AFailedImportPutsBackWhatTheImporterChanged) {
    TEcho& netmail = AddArea("NETMAIL", etNetmail);
    netmail.Path = "/old/mail/";
    netmail.Address = TAddress(2, 5020, 1042, 7);
    std::string fmail(18432, '\0');
    fmail.replace(560, 9, "/new/mail");
    fmail.replace(992, 9, "/personal");
    const std::vector<std::string> areas = test::Describe(Config);
    EXPECT_THROW(Import(ttFMail, Write("fmail.cfg", fmail)), EConfigError);
    EXPECT_EQ(test::Describe(Config), areas);
    ASSERT_EQ(Config.Echoes.size(), 1u);
    EXPECT_EQ(Config.Echoes[0].get(), &netmail);
}

TEST_F(TosserImport, NothingHappensWithoutAFileOrWithAnUnknownKind) {
    AddArea("STAYS");
    const struct {
        int type;
        std::string path;
    } cases[] = {{ttSquish, ""}, {ttSquish, Dir.File("missing.cfg")}, {ttSquish, Dir.Path()}, {9, Cfg}};
    for (const auto& c : cases) {
        Config.Settings.TosserType = static_cast<uint8_t>(c.type);
        Config.Settings.TosserCfgPath = c.path;
        EXPECT_EQ(ImportTosserConfig(Config, Home).Outcome, soNotNeeded) << c.path;
        EXPECT_EQ(Config.Echoes.size(), 1u) << c.path;
    }
    EXPECT_FALSE(test::FileExists(ConfigFileName(Home)));
    EXPECT_THROW(Import(9, Cfg), EConfigError);
}

TEST_F(TosserImport, TreesLoseRemovedAreasInEveryFolderAndManyUsersGetNoLeaves) {
    TEcho& kept = AddArea("R50");
    TEcho& gone = AddArea("GONE");
    TEcho& netmail = AddArea("NETMAIL", etNetmail);
    for (int id : {0, 1}) {
        TUser& user = AddUser(id);
        auto folder = std::make_unique<TTreeInfo>();
        folder->Name = "Fido";
        folder->Children.push_back(std::make_unique<TTreeInfo>(&gone));
        auto inner = std::make_unique<TTreeInfo>();
        inner->Name = "Empty";
        inner->Children.push_back(std::make_unique<TTreeInfo>(&gone));
        folder->Children.push_back(std::move(inner));
        folder->Children.push_back(std::make_unique<TTreeInfo>(&kept));
        user.AreaTree.push_back(std::move(folder));
        user.AreaTree.push_back(std::make_unique<TTreeInfo>(&netmail));
    }
    const TImportSummary summary = ImportAreas(Config, ttSquish, Cfg, true);
    for (const auto& user : Config.Users)
        EXPECT_EQ(test::Tree(user->AreaTree),
                  (std::vector<std::string>{"Fido/", "  Empty/", "  R50", "NETMAIL"}));
    EXPECT_EQ(summary.Added, (std::vector<std::string>{"SU.GENERAL"}));
    EXPECT_EQ(summary.Updated, (std::vector<std::string>{"R50"}));
    EXPECT_EQ(summary.Removed, (std::vector<std::string>{"GONE"}));
}

TEST_F(TosserImport, TheManualImportTakesTheDialogsChoices) {
    test::TRecordingUi ui;
    TEcho& gone = AddArea("GONE");
    TUser& user = AddUser(0);
    user.AreaTree.push_back(std::make_unique<TTreeInfo>(&gone));

    EXPECT_FALSE(ImportTosserConfigManually(Config, ttSquish, Dir.File("missing"), {}));
    EXPECT_EQ(ui.Errors, (std::vector<std::string>{"Specified file does not exists!"}));
    EXPECT_EQ(Config.Echoes.size(), 1u);

    // A failed import leaves the dialog's rules out of the settings.
    Config.Settings.PathSubst = {"/old=/rules"};
    EXPECT_THROW(ImportTosserConfigManually(Config, ttFastEcho, Write("fe.cfg", "short"), {"/fido=/srv"}),
                 EConfigError);
    EXPECT_EQ(Config.Settings.PathSubst, (std::vector<std::string>{"/old=/rules"}));
    EXPECT_EQ(Config.Settings.LastTosserImport, 0);
    EXPECT_EQ(Config.Echoes.size(), 1u);

    const std::string bbs = Write("areas.bbs", "$/fido/r50 R50\n");
    TImportSummary summary;
    EXPECT_TRUE(ImportTosserConfigManually(Config, ttAreasBbs, bbs, {"/fido=/srv/fido"}, &summary));
    EXPECT_EQ(Config.Settings.PathSubst, (std::vector<std::string>{"/fido=/srv/fido"}));
    EXPECT_EQ(Config.Settings.LastTosserImport, FileDateTime(bbs));
    EXPECT_EQ(test::Describe(Config), (std::vector<std::string>{"R50 t1 b1 a32 f3 - /srv/fido/r50.Sqd"}));
    EXPECT_EQ(summary.Added, (std::vector<std::string>{"R50"}));
    // Pruned, but no leaves are added from the dialog.
    EXPECT_TRUE(user.AreaTree.empty());
    EXPECT_EQ(ui.Errors.size(), 1u);
}

TEST_F(TosserImport, HptWithoutAPathLooksAtFidoconfig) {
    ::setenv("FIDOCONFIG", Cfg.c_str(), 1);
    EXPECT_EQ(TosserConfigFile(ttHpt, ""), Cfg);
    EXPECT_EQ(TosserConfigFile(ttSquish, ""), "");
    ::unsetenv("FIDOCONFIG");
    EXPECT_EQ(TosserConfigFile(ttHpt, ""), "/etc/fido/config");
    // A path written the DOS way, in another letter case, names the file on disk.
    EXPECT_EQ(TosserConfigFile(ttSquish, Dir.Path() + "\\SQUISH.CFG"), Cfg);
}

} // namespace
