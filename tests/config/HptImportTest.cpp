#include "config/CfgStream.h"
#include "config/FidoconfigReader.h"

#include "ImportTestKit.h"

#include <cstdlib>
#include <filesystem>

using namespace tavro;

namespace {

class HptImport : public test::ImportTest {
protected:
    // The lines the reader hands on from `main` and the files it includes.
    std::vector<std::string> LinesOf(const std::string& main) {
        std::vector<std::string> lines;
        TFidoconfigReader reader([&lines](std::string_view line) { lines.emplace_back(line); });
        reader.Read(main);
        return lines;
    }
};

TEST_F(HptImport, IncludesAreReadInPlaceRelativeToTheIncludingFile) {
    const std::string main = Write("etc/fido/config", "A1\n"
                                                      "Include areas/echo.cfg\n"
                                                      "A2\n"
                                                      "INCLUDE missing.cfg\n"
                                                      "A3\n");
    Write("etc/fido/areas/echo.cfg", "B1\ninclude links.cfg\nB2\n");
    Write("etc/fido/areas/links.cfg", "C1\nInclude " + Dir.File("abs.cfg") + "\n");
    Write("abs.cfg", "D1\r\n");
    EXPECT_EQ(LinesOf(main), (std::vector<std::string>{"A1", "B1", "C1", "D1", "B2", "A2", "A3"}));
}

TEST_F(HptImport, AnIncludeCycleIsReadOnce) {
    Write("self.cfg", "S\nInclude self.cfg\n");
    EXPECT_EQ(LinesOf(Dir.File("self.cfg")), (std::vector<std::string>{"S"}));
    Write("a.cfg", "A\nInclude b.cfg\n");
    Write("b.cfg", "B\nInclude a.cfg\n");
    EXPECT_EQ(LinesOf(Dir.File("a.cfg")), (std::vector<std::string>{"A", "B"}));
}

TEST_F(HptImport, CommentsVariablesAndConditions) {
    ::setenv("TAVRO_TEST_FIDO", "/srv/fido", 1);
    const std::string main = Write("config", "# a comment\n"
                                             "   # an indented one\n"
                                             "Path /a/b#c   # kept up to the blank before #\n"
                                             "set base=[TAVRO_TEST_FIDO]/msgbase\n"
                                             "Base [BASE] [unknown]\n"
                                             "if \"[base]\"==\"/SRV/FIDO/MSGBASE\"\n"
                                             "  Equal\n"
                                             "  ifdef nothing\n"
                                             "    Nested\n"
                                             "  endif\n"
                                             "elseif 1==1\n"
                                             "  NotAfterATakenBranch\n"
                                             "else\n"
                                             "  NotEither\n"
                                             "endif\n"
                                             "IF [module]==htick\n"
                                             "  UnknownVariablesCountAsTrue\n"
                                             "ElseIf 1==1\n"
                                             "  NotTaken\n"
                                             "EndIf\n"
                                             "if a!=a\n"
                                             "  False\n"
                                             "elseif x=~X*\n"
                                             "  Mask\n"
                                             "endif\n"
                                             "ifndef base\n"
                                             "  Defined\n"
                                             "else\n"
                                             "  InTheElseBranch\n"
                                             "endif\n"
                                             "set base=\n"
                                             "ifdef base\n"
                                             "  Unset\n"
                                             "endif\n"
                                             "endif\n");
    EXPECT_EQ(LinesOf(main), (std::vector<std::string>{
                                 "Path /a/b#c",
                                 "Base /srv/fido/msgbase [unknown]",
                                 "Equal",
                                 "UnknownVariablesCountAsTrue",
                                 "Mask",
                                 "InTheElseBranch",
                             }));
    ::unsetenv("TAVRO_TEST_FIDO");
}

TEST_F(HptImport, VariablesThatGrowWithoutBoundFail) {
    std::string text = "set a=xxxxxxxxxxxxxxxx\n";
    for (int i = 0; i < 20; ++i)
        text += "set a=[a][a]\n";
    EXPECT_THROW(LinesOf(Write("config", text)), EConfigError);
}

TEST_F(HptImport, ReadsAreasWithDefaultsOptionsAndLinks) {
    const std::string base = Dir.File("msgbase");
    Write("msgbase/r50.sysop.sqd", "");
    Write("msgbase/jam.area.jhr", "");
    std::filesystem::create_directories(base + "/netmail");
    Write("fido/areas", "EchoArea R50.SYSOP [base]/r50.sysop -p 30 2:5020/1042\n"
                        "echoarea SU.GENERAL [base]/su.general -d \"2:5030/1 in a description\" 2:5030/10\n"
                        "EchoArea OWN.MSG [base]/own -b Msg 2:5020/1042\n"
                        "EchoArea AKA [base]/aka -a 2:5030/10.3 2:5020/1042\n"
                        "EchoAreaDefaults OFF\n"
                        "EchoArea FOUND.SQUISH [base]/R50.SYSOP\n"
                        "EchoArea FOUND.JAM [base]/JAM.AREA\n"
                        "EchoAreaDefaults -b jam\n"
                        "EchoArea DEF.JAM [base]/def\n"
                        "EchoAreaDefaults\n"
                        "EchoArea NO.DEFAULTS [base]/nodef\n"
                        "FileArea FILES [base]/files\n"
                        "EchoArea PASS.PATH passthrough -b squish\n"
                        "EchoArea PASS.OPTION [base]/x -pass\n");
    const char* folders = "NetArea NETMAIL [base]/netmail -b msg\n"
                          "BadArea BAD [base]/bad -b squish\n"
                          "DupeArea DUPES [base]/dupes -b squish\n"
                          "LocalArea LOCAL [base]/local -b squish\n"
                          "EchoAreaDefaults -b squish -$m 500\n"
                          "Include areas\n";
    const std::string main =
        Write("fido/config", "Address 2:5020/1042.7\nAddress 2:5030/10.3\nset base=" + base + "\n" + folders);
    Import(ttHpt, main);
    EXPECT_EQ(test::Describe(Config), (std::vector<std::string>{
                                          "NETMAIL t0 b0 a35 f3 - " + base + "/netmail/",
                                          "BAD t2 b1 a35 f3 - " + base + "/bad.Sqd",
                                          "DUPES t2 b1 a35 f3 - " + base + "/dupes.Sqd",
                                          "LOCAL t1 b1 a32 f3 - " + base + "/local.Sqd",
                                          // "-p 30" is the purge age, not an address.
                                          "R50.SYSOP t1 b1 a32 f3 2:5020/1042.7 " + base + "/r50.sysop.Sqd",
                                          "SU.GENERAL t1 b1 a32 f3 2:5030/10.3 " + base + "/su.general.Sqd",
                                          "OWN.MSG t1 b0 a32 f3 2:5020/1042.7 " + base + "/own/",
                                          "AKA t1 b1 a32 f3 2:5030/10.3 " + base + "/aka.Sqd",
                                          "FOUND.SQUISH t1 b1 a32 f3 - " + base + "/R50.SYSOP.Sqd",
                                          "FOUND.JAM t1 b2 a32 f3 - " + base + "/JAM.AREA.Jhr",
                                          "DEF.JAM t1 b2 a32 f3 - " + base + "/def.Jhr",
                                          "NO.DEFAULTS t1 b0 a32 f3 - " + base + "/nodef/",
                                      }));
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
    ImportTwice(ttHpt, main);
    EXPECT_EQ(Config.Echoes.size(), 2u);
    EXPECT_NE(Area("NETMAIL.ELSEWHERE"), nullptr);
}

} // namespace
