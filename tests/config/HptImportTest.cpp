#include "config/CfgStream.h"
#include "config/ConfigFile.h"
#include "config/FidoconfigReader.h"
#include "config/UsersFile.h"

#include "core/FileUtils.h"

#include "ImportTestKit.h"

#include <cstdlib>
#include <filesystem>

using namespace tavro;

namespace {

class HptImport : public test::ImportTest {
protected:
    std::vector<std::string> Warnings;

    // The lines the reader hands on from `main` and the files it includes.
    std::vector<std::string> LinesOf(const std::string& main) {
        std::vector<std::string> lines;
        Warnings.clear();
        TFidoconfigReader reader([&lines](std::string_view line) { lines.emplace_back(line); },
                                 [this](const std::string& warning) { Warnings.push_back(warning); });
        reader.Read(main);
        return lines;
    }

    // The message of the error reading `main` fails with; empty when it does not fail.
    std::string ErrorOf(const std::string& main) {
        try {
            LinesOf(main);
        } catch (const EConfigError& e) {
            return e.what();
        }
        return {};
    }

    // The areas imported from a main file of `text`.
    std::vector<std::string> AreasOf(const std::string& text) {
        Import(ttHpt, Write("config", text));
        return test::Describe(Config);
    }
};

TEST_F(HptImport, IncludesAreReadInPlaceRelativeToTheIncludingFile) {
    const std::string main = Write("etc/fido/config", "A1\n"
                                                      "Include areas/echo.cfg\n"
                                                      "A2\n"
                                                      "INCLUDE \"[configdir]/with blank.cfg\"\n"
                                                      "A3\n");
    Write("etc/fido/areas/echo.cfg", "B1\ninclude links.cfg\nB2\n");
    Write("etc/fido/areas/links.cfg", "C1\nInclude " + Dir.File("abs.cfg") + "\n");
    Write("etc/fido/with blank.cfg", "E1\n");
    Write("abs.cfg", "D1\r\n");
    EXPECT_EQ(LinesOf(main), (std::vector<std::string>{"A1", "B1", "C1", "D1", "B2", "A2", "E1", "A3"}));
    EXPECT_TRUE(Warnings.empty());
}

TEST_F(HptImport, AnIncludeThatCannotBeReadFailsNamingTheFileAndTheLine) {
    std::filesystem::create_directories(Dir.File("fido/subdir"));
    Write("fido/nested.cfg", "X\nInclude gone.cfg\n");
    const struct {
        const char* include;
        std::string where;
        std::string names;
    } cases[] = {
        {"Include missing.cfg", "config\" line 3", "fido/missing.cfg\""},
        {"Include subdir", "config\" line 3", "fido/subdir\""},
        {"Include", "config\" line 3", "\"Include\" names no file"},
        {"Include [areas]", "config\" line 3", "\"Include\" names no file"},
        {"Include [nothere]/areas", "config\" line 3", "\"/areas\""},
        {"Include nested.cfg", "nested.cfg\" line 2", "fido/gone.cfg\""},
    };
    for (const auto& c : cases) {
        const std::string main = Write("fido/config", "# the areas\nAddress 2:5020/1042.7\n" +
                                                          std::string(c.include) + "\nEchoArea R50 /r50\n");
        const std::string error = ErrorOf(main);
        EXPECT_NE(error.find(c.where), std::string::npos) << c.include << ": " << error;
        EXPECT_NE(error.find(c.names), std::string::npos) << c.include << ": " << error;
    }
    EXPECT_NE(ErrorOf(Dir.File("none")).find("none\""), std::string::npos);
}

TEST_F(HptImport, AnIncludeCycleIsReadOnce) {
    Write("self.cfg", "S\nInclude self.cfg\n");
    EXPECT_EQ(LinesOf(Dir.File("self.cfg")), (std::vector<std::string>{"S"}));
    EXPECT_EQ(Warnings.size(), 1u);
    Write("a.cfg", "A\nInclude b.cfg\n");
    Write("b.cfg", "B\nInclude a.cfg\n");
    EXPECT_EQ(LinesOf(Dir.File("a.cfg")), (std::vector<std::string>{"A", "B"}));
}

TEST_F(HptImport, ACommentStartsWhereHptStartsOne) {
    const struct {
        const char* line;
        char commentChar;
        const char* kept;
    } cases[] = {
        {"# all of it", '#', ""},
        {"   #indented", '#', "   "},
        {"Path /a/b#c", '#', "Path /a/b#c"},
        {"Path /a/b # note", '#', "Path /a/b "},
        {"Path /a/b\t#\tnote", '#', "Path /a/b\t"},
        {"Path /a/b #note", '#', "Path /a/b #note"},
        {"Path /a/b #", '#', "Path /a/b "},
        {"EchoArea C# msgbase/cs -b Jam", '#', "EchoArea C# msgbase/cs -b Jam"},
        {"EchoArea C msgbase/c -d \"C/C++: #include\" -b Jam", '#',
         "EchoArea C msgbase/c -d \"C/C++: #include\" -b Jam"},
        {"EchoArea C c -d \"a # b\" -b Jam # note", '#', "EchoArea C c -d \"a # b\" -b Jam "},
        {"EchoArea C c -d \"unclosed # b", '#', "EchoArea C c -d \"unclosed # b"},
        {"EchoArea C\"c # note", '#', "EchoArea C\"c "}, // a quote inside a word opens nothing
        {"; all of it", ';', ""},
        {"Path /a # b ; note", ';', "Path /a # b "},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StripFidoconfigComment(c.line, c.commentChar), c.kept) << c.line;
}

TEST_F(HptImport, LinesAreJoinedAndCommentCharIsHonoured) {
    Write("inc.cfg", "; CommentChar holds in an included file\nI1 # kept\n");
    const std::string main = Write("config", "L1 part \\\r\n"
                                             "  two \\  # a comment ends the piece\r"
                                             "  three\n"
                                             "Path C:\\MAIL\\\n"
                                             "Alone \\\n"
                                             "# a comment \\\n"
                                             "L2\n"
                                             "CommentChar ;\n"
                                             "L3 # kept ; gone\n"
                                             "Include inc.cfg\n"
                                             "CommentChar xy\n"
                                             "Last \\");
    EXPECT_EQ(LinesOf(main), (std::vector<std::string>{"L1 part   two   three", "Path C:\\MAIL\\", "Alone",
                                                       "L2", "L3 # kept", "I1 # kept", "Last"}));
    EXPECT_EQ(Warnings.size(), 1u); // "xy" is no character
}

TEST_F(HptImport, VariablesArePredefinedSetOrTakenFromTheEnvironment) {
    ::setenv("TAVRO_TEST_FIDO", "/srv/fido", 1);
    const std::string main = Write("etc/config", "Os [OS] [module] [ConfigDir]\n"
                                                 "set module=htick\n"
                                                 "set base=[TAVRO_TEST_FIDO]/msgbase\n"
                                                 "Base [BASE] [module]\n"
                                                 "Empty [nothing]x [NOTHING] [also]\n"
                                                 "Kept [] [open\n"
                                                 "set base=\n"
                                                 "Unset [base]\n");
    EXPECT_EQ(LinesOf(main),
              (std::vector<std::string>{"Os UNIX hpt " + Dir.File("etc"), "Base /srv/fido/msgbase htick",
                                        "Empty x", "Kept [] [open", "Unset"}));
    ::unsetenv("TAVRO_TEST_FIDO");
    // Each name once, where it is first met.
    ASSERT_EQ(Warnings.size(), 3u);
    EXPECT_NE(Warnings[0].find("config\" line 5: [nothing]"), std::string::npos) << Warnings[0];
    EXPECT_NE(Warnings[1].find("[also]"), std::string::npos) << Warnings[1];
    EXPECT_NE(Warnings[2].find("line 8: [base]"), std::string::npos) << Warnings[2];
}

TEST_F(HptImport, ConditionsCompareTextAndUnsetVariablesAreEmpty) {
    const struct {
        const char* condition;
        bool taken;
    } cases[] = {
        {"if [OS]==UNIX", true},
        {"IF \"[os]\" == \"unix\"", true},
        {"if [module]==htick", false},
        {"if [undefined]==x", false},
        {"if [undefined]", false},
        {"if \"[undefined]\"==\"\"", true},
        {"if not [OS]==UNIX", false},
        {"if NOT [module]==htick", true},
        {"if not not yes", true},
        {"if [configdir]=~*/fido", true},
        {"if a!=a", false},
        {"if hpt!~h*", false},
        {"if yes", true},
        {"if On", true},
        {"if 0", false},
        {"if something", false},
        {"ifdef OS", true},
        {"ifdef nothing", false},
        {"ifndef nothing", true},
        {"ifndef module", false},
    };
    for (const auto& c : cases) {
        const std::string main =
            Write("fido/config", std::string(c.condition) + "\nTaken\nelse\nNot\nendif\n");
        const std::vector<std::string> expected = {c.taken ? "Taken" : "Not"};
        EXPECT_EQ(LinesOf(main), expected) << c.condition;
    }
}

TEST_F(HptImport, BranchesNestAndTheFirstTakenOneWins) {
    const std::string main = Write("config", "if [OS]==DOS\n"
                                             "  Dos\n"
                                             "elif [OS]==UNIX\n"
                                             "  Unix\n"
                                             "  ifdef nothing\n"
                                             "    Nested\n"
                                             "  else\n"
                                             "    NestedElse\n"
                                             "  endif\n"
                                             "elseif 1==1\n"
                                             "  NotAfterATakenBranch\n"
                                             "else\n"
                                             "  NotEither\n"
                                             "endif\n"
                                             "if no\n"
                                             "  if yes\n"
                                             "    InsideAnUntakenBranch\n"
                                             "  else\n"
                                             "    NorItsElse\n"
                                             "  endif\n"
                                             "elseif [unset]==x\n"
                                             "  UnsetIsEmpty\n"
                                             "ElseIf [unset]==\n"
                                             "  Empty\n"
                                             "EndIf\n"
                                             "endif\n"
                                             "if yes\n"
                                             "  Open\n");
    EXPECT_EQ(LinesOf(main), (std::vector<std::string>{"Unix", "NestedElse", "Empty", "Open"}));
    // The unset variable, the stray endif and the open if.
    EXPECT_EQ(Warnings.size(), 3u);
}

TEST_F(HptImport, ConfigurationsBeyondAnyRealOneFail) {
    std::string doubling = "set a=xxxxxxxxxxxxxxxx\n";
    for (int i = 0; i < 20; ++i)
        doubling += "set a=[a][a]\n";
    std::string growing = "set a=" + std::string(1000, 'x') + "\n";
    for (int i = 0; i < 2000; ++i)
        growing += "X [a]\n";
    std::string continued;
    for (int i = 0; i < 2000; ++i)
        continued += std::string(40, 'x') + " \\\n";
    for (int i = 0; i < 40; ++i)
        Write("deep" + std::to_string(i), "Include deep" + std::to_string(i + 1) + "\n");
    const struct {
        std::string text;
        const char* error;
    } cases[] = {
        {doubling, "line 13: the line grows over 64 KB"},
        {growing, "variables add more text"},
        {"X\n" + std::string(70000, 'x') + "\n", "line 2: the line is longer than 64 KB"},
        {"X\n" + continued, "line 2: the line is longer than 64 KB with the lines that continue it"},
        {"Include deep0\n", "too deeply"},
    };
    for (const auto& c : cases) {
        const std::string error = ErrorOf(Write("config", c.text));
        EXPECT_NE(error.find(c.error), std::string::npos) << c.error << ": " << error;
    }
}

TEST_F(HptImport, BaseTypesFollowHptsDefaults) {
    const std::string base = Dir.File("b");
    Write("b/x.sqd", "");
    constexpr int Passthrough = -1;
    const struct {
        const char* lines;
        int kind; // Passthrough: the area is not kept
        int baseType;
        const char* path;
    } cases[] = {
        {"EchoArea X [b]/x", etEchomail, btSquish, "/x.Sqd"},
        {"EchoArea X [b]/x -b Jam", etEchomail, btJam, "/x.Jhr"},
        {"EchoArea X [b]/x -b msg", etEchomail, btMsg, "/x/"}, // the Squish base beside it is not HPT's
        {"EchoAreaDefaults -b Jam\nEchoArea X [b]/x", etEchomail, btJam, "/x.Jhr"},
        {"EchoAreaDefaults -b Jam\nEchoArea X [b]/x -b msg", etEchomail, btMsg, "/x/"},
        {"EchoAreaDefaults -b Jam\nEchoAreaDefaults OFF\nEchoArea X [b]/x", etEchomail, btSquish, "/x.Sqd"},
        {"EchoAreaDefaults -b Jam\nEchoAreaDefaults\nEchoArea X [b]/x", etEchomail, btSquish, "/x.Sqd"},
        {"EchoAreaDefaults -d \"no base\"\nEchoArea X [b]/x", etEchomail, btSquish, "/x.Sqd"},
        {"EchoAreaDefaults -b Jam\nLocalArea X [b]/x", etEchomail, btJam, "/x.Jhr"},
        {"EchoAreaDefaults -b Jam\nNetmailArea X [b]/x", etNetmail, btSquish, "/x.Sqd"},
        {"EchoAreaDefaults -b msg\nBadArea X [b]/x", etBadmail, btSquish, "/x.Sqd"},
        {"EchoAreaDefaults -b Jam\nDupeArea X [b]/x -b msg", etBadmail, btMsg, "/x/"},
        {"EchoAreaDefaults -b passthrough\nEchoArea X [b]/x", Passthrough, 0, ""},
        {"EchoAreaDefaults -b passthrough\nEchoArea X [b]/x -b jam", etEchomail, btJam, "/x.Jhr"},
        {"EchoAreaDefaults -b passthrough\nNetmailArea X [b]/x", etNetmail, btSquish, "/x.Sqd"},
        {"EchoArea X passthrough -b jam", Passthrough, 0, ""},
        {"EchoArea X [b]/x -b jam -b passthrough", Passthrough, 0, ""},
        {"EchoArea X [b]/x -pass", Passthrough, 0, ""},
    };
    for (const auto& c : cases) {
        Config.Echoes.clear();
        std::vector<std::string> expected;
        if (c.kind != Passthrough)
            expected.push_back("X t" + std::to_string(c.kind) + " b" + std::to_string(c.baseType) + " a" +
                               (c.kind == etEchomail ? "32" : "35") + " f3 2:5020/1042.7 " + base + c.path);
        EXPECT_EQ(AreasOf("Address 2:5020/1042.7\nset b=" + base + "\n" + c.lines + "\n"), expected)
            << c.lines;
    }
}

TEST_F(HptImport, AddressesFollowTheTosser) {
    const struct {
        const char* lines;
        const char* stored; // the area's address before the import; empty for a new area
        const char* expected;
    } cases[] = {
        {"EchoArea X /x", "", "2:5020/1042.7"}, // the first own address, as the tosser uses
        {"NetmailArea X /x", "", "2:5020/1042.7"},
        {"EchoArea X /x 2:5030/10", "", "2:5030/10.3"},
        {"EchoArea X /x 3:1/1 2:5030/10", "", "2:5030/10.3"},
        {"EchoArea X /x 3:1/1", "", "2:5020/1042.7"},
        {"EchoArea X /x -a 2:5030/10.3 2:5020/1042", "", "2:5030/10.3"},
        {"EchoArea X /x -a 9:9/9", "2:5030/10.3", "9:9/9"},
        {"EchoArea X /x -a nonsense 2:5030/10", "", "2:5030/10.3"},
        {"EchoArea X /x -d \"2:5030/10 in a description\"", "", "2:5020/1042.7"},
        {"EchoArea X /x -p 30 2:5030/10", "", "2:5030/10.3"},
        // An own address stays, one that is no longer own is chosen anew.
        {"EchoArea X /x", "2:5030/10.3", "2:5030/10.3"},
        {"EchoArea X /x 2:5030/10", "2:5020/1042.9", "2:5030/10.3"},
        {"EchoArea X /x", "2:5020/1042.9", "2:5020/1042.7"},
        {"EchoArea X /x", "2:5030/10.3@fidonet", "2:5020/1042.7"},
        {"EchoAreaDefaults -a 2:5030/10.3\nEchoArea X /x 2:5020/1042", "", "2:5030/10.3"},
        {"EchoAreaDefaults -a 2:5030/10.3\nEchoArea X /x -a 2:5020/1042.7", "", "2:5020/1042.7"},
        {"EchoAreaDefaults 2:5030/10\nEchoArea X /x 2:5020/1042", "", "2:5030/10.3"},
        {"EchoAreaDefaults -a 2:5030/10.3\nNetmailArea X /x", "", "2:5020/1042.7"},
    };
    for (const auto& c : cases) {
        Config.Echoes.clear();
        if (*c.stored)
            AddArea("X").Address.Parse(c.stored);
        AreasOf("Address 2:5020/1042.7\nAddress 2:5030/10.3\n" + std::string(c.lines) + "\n");
        ASSERT_EQ(Config.Echoes.size(), 1u) << c.lines;
        EXPECT_EQ(Config.Echoes[0]->Address.ToStr5D(), c.expected) << c.lines << " from " << c.stored;
    }
}

TEST_F(HptImport, AddressesAreChosenWithEveryOwnAddressKnown) {
    AddArea("KEPT").Address = TAddress(1, 2, 3);
    EXPECT_EQ(AreasOf("EchoArea LINKED /l 2:5030/10\n"
                      "EchoArea KEPT /k\n"
                      "Address 2:5020/1042.7\n"
                      "Address 2:5030/10.3\n"),
              (std::vector<std::string>{"KEPT t1 b1 a33 f3 2:5020/1042.7 /k.Sqd",
                                        "LINKED t1 b1 a32 f3 2:5030/10.3 /l.Sqd"}));
    // Without any own address an area keeps what it has.
    EXPECT_EQ(
        AreasOf("EchoArea KEPT /k\nEchoArea NEW /n\n"),
        (std::vector<std::string>{"KEPT t1 b1 a33 f3 2:5020/1042.7 /k.Sqd", "NEW t1 b1 a32 f3 - /n.Sqd"}));
}

TEST_F(HptImport, AreaLinesAreReadWordByWord) {
    EXPECT_EQ(AreasOf("Address 2:5020/1042.7\n"
                      "EchoArea Dup /first -b jam\n"
                      "FileArea FILES /files\n"
                      "EchoAreaX NOT.AN.AREA /x\n"
                      "EchoArea TOO.SHORT\n"
                      "EchoArea C# /cs # a comment\n"
                      "echoarea DUP /second\n"
                      "EchoArea DESC /desc -b Jam -d \"C/C++: #include\" -g A\n"),
              (std::vector<std::string>{"DUP t1 b1 a32 f3 2:5020/1042.7 /second.Sqd",
                                        "C# t1 b1 a32 f3 2:5020/1042.7 /cs.Sqd",
                                        "DESC t1 b2 a32 f3 2:5020/1042.7 /desc.Jhr"}));
}

TEST_F(HptImport, PassthroughEchoesGoAndAnUnchangedConfigurationChangesNothing) {
    AddArea("WAS.STORED");
    AddArea("NETMAIL.ELSEWHERE", etNetmail);
    const std::string r50 = "EchoArea R50 " + Dir.File("r50") + " -b squish 2:5020/1042\n";
    const std::string main =
        Write("config", "Address 2:5020/1042.7\nEchoArea WAS.STORED passthrough 2:5020/1042\n" + r50);
    const TImportSummary summary = Import(ttHpt, main);
    EXPECT_EQ(summary.Removed, (std::vector<std::string>{"WAS.STORED"}));
    EXPECT_EQ(summary.Added, (std::vector<std::string>{"R50"}));
    EXPECT_TRUE(summary.Warnings.empty());
    ImportTwice(ttHpt, main);
    EXPECT_EQ(Config.Echoes.size(), 2u);
    EXPECT_NE(Area("NETMAIL.ELSEWHERE"), nullptr);
}

TEST_F(HptImport, UnsetVariablesAreWarnedOfInTheSummary) {
    const std::string main = Write("config", "Address 2:5020/1042.7\nEchoArea R50 [base]/r50\n");
    const TImportSummary summary = Import(ttHpt, main);
    EXPECT_EQ(test::Describe(Config), (std::vector<std::string>{"R50 t1 b1 a32 f3 2:5020/1042.7 /r50.Sqd"}));
    ASSERT_EQ(summary.Warnings.size(), 1u);
    EXPECT_NE(summary.Warnings[0].find("line 2: [base] is not set"), std::string::npos)
        << summary.Warnings[0];
}

TEST_F(HptImport, APointConfigurationImportsAtStartUpAndAMissingIncludeChangesNothing) {
    const std::string home = Dir.File("home");
    std::filesystem::create_directories(home);
    const std::string main = Write("fido/config", "# a point\n"
                                                  "Address 2:5020/1042.7\n"
                                                  "Address 2:5030/10.3\n"
                                                  "set base=[configdir]/msgbase\n"
                                                  "if [OS]==UNIX\n"
                                                  "  NetmailArea NETMAIL [base]/netmail -b msg\n"
                                                  "else\n"
                                                  "  NetmailArea NETMAIL C:\\FIDO\\NETMAIL -b msg\n"
                                                  "endif\n"
                                                  "BadArea BAD [base]/bad\n"
                                                  "DupeArea DUPES [base]/dupes\n"
                                                  "EchoAreaDefaults -b Jam -dupeCheck move\n"
                                                  "include [configdir]/areas\n");
    const std::string areaFile =
        "EchoArea R50.SYSOP [base]/r50.sysop -b Squish -d \"Sysops # R50\" 2:5020/1042\r\n"
        "EchoArea SU.GENERAL [base]/su.general \\\r\n"
        "    2:5030/10 -g A\r\n"
        "LocalArea MY.LOCAL [base]/local\r\n"
        "EchoArea C# [base]/cs # C sharp\r\n";
    Write("fido/areas", areaFile);
    Config.Settings.TosserType = ttHpt;
    Config.Settings.TosserCfgPath = main;
    Config.Users.push_back(Config.NewUser());

    const TStartupImport first = ImportTosserConfig(Config, home);
    EXPECT_EQ(first.Outcome, soImported) << first.Error;
    EXPECT_TRUE(first.Summary.Warnings.empty());
    const std::string base = Dir.File("fido/msgbase");
    const std::vector<std::string> areas = {
        "NETMAIL t0 b0 a35 f3 2:5020/1042.7 " + base + "/netmail/",
        "BAD t2 b1 a35 f3 2:5020/1042.7 " + base + "/bad.Sqd",
        "DUPES t2 b1 a35 f3 2:5020/1042.7 " + base + "/dupes.Sqd",
        "R50.SYSOP t1 b1 a32 f3 2:5020/1042.7 " + base + "/r50.sysop.Sqd",
        "SU.GENERAL t1 b2 a32 f3 2:5030/10.3 " + base + "/su.general.Jhr",
        "MY.LOCAL t1 b2 a32 f3 2:5020/1042.7 " + base + "/local.Jhr",
        "C# t1 b2 a32 f3 2:5020/1042.7 " + base + "/cs.Jhr",
    };
    EXPECT_EQ(test::Describe(Config), areas);
    const std::vector<std::string> tree = {"NETMAIL",    "BAD",      "DUPES", "R50.SYSOP",
                                           "SU.GENERAL", "MY.LOCAL", "C#"};
    EXPECT_EQ(test::Tree(Config.Users[0]->AreaTree), tree);

    // The area file goes missing: an error, and nothing else changes.
    const std::string mainFile = ConfigFileName(home);
    const std::string usersFile = UsersFileName(home);
    const std::string savedMain = test::ReadFile(mainFile);
    const std::string savedUsers = test::ReadFile(usersFile);
    const TFileStamp mainStamp = FileStampOf(mainFile);
    const TFileStamp usersStamp = FileStampOf(usersFile);
    const TDateTime imported = Config.Settings.LastTosserImport;
    std::filesystem::remove(Dir.File("fido/areas"));
    std::filesystem::last_write_time(main, std::filesystem::last_write_time(main) + std::chrono::seconds(5));
    const TStartupImport failed = ImportTosserConfig(Config, home);
    EXPECT_EQ(failed.Outcome, soFailed);
    EXPECT_NE(
        failed.Error.find("config\" line 13: cannot read the included file \"" + Dir.File("fido/areas")),
        std::string::npos)
        << failed.Error;
    EXPECT_EQ(test::Describe(Config), areas);
    EXPECT_EQ(test::Tree(Config.Users[0]->AreaTree), tree);
    EXPECT_EQ(Config.Settings.LastTosserImport, imported);
    EXPECT_EQ(test::ReadFile(mainFile), savedMain);
    EXPECT_EQ(test::ReadFile(usersFile), savedUsers);
    EXPECT_EQ(FileStampOf(mainFile), mainStamp);
    EXPECT_EQ(FileStampOf(usersFile), usersStamp);

    // Back again: the areas are what they were, so nothing is saved.
    Write("fido/areas", areaFile);
    EXPECT_EQ(ImportTosserConfig(Config, home).Outcome, soUnchanged);
    EXPECT_EQ(test::Describe(Config), areas);
    EXPECT_EQ(FileStampOf(mainFile), mainStamp);
    EXPECT_EQ(FileStampOf(usersFile), usersStamp);
}

} // namespace
