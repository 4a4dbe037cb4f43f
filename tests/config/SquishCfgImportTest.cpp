#include "config/SquishCfgImport.h"
#include "config/AreaImport.h"

#include "ImportTestKit.h"

#include <filesystem>

using namespace tavro;

namespace {

class SquishCfgImport : public test::ImportTest {
protected:
    std::string Cfg(const std::string& text) { return Write("squish.cfg", text); }
};

TEST_F(SquishCfgImport, ALinkChoosesTheOwnAddressOfItsNode) {
    const struct {
        const char* address;
        const char* expected;
    } cases[] = {
        {"1:23/45.6", "R50.TEST t1 b1 a32 f3 1:23/45.6 C:\\MAIL\\R50TEST.Sqd"},
        // The link's node is 45, the only own address is of node 0.
        {"1:23/0", "R50.TEST t1 b1 a32 f3 - C:\\MAIL\\R50TEST.Sqd"},
    };
    for (const auto& c : cases) {
        TConfig config;
        TAreaImport import(config);
        ImportSquishCfg(import, Cfg(std::string("Address ") + c.address +
                                    "\nEchoArea R50.TEST C:\\MAIL\\R50TEST -$ 1:23/45\n"));
        ASSERT_EQ(config.Echoes.size(), 1u);
        EXPECT_EQ(test::Describe(*config.Echoes[0]), c.expected) << c.address;
    }
}

TEST_F(SquishCfgImport, ReadsKindsOptionsAndAddresses) {
    const std::string cfg = Cfg("; Squish areas\r\n"
                                "Address 2:5020/1042.7\r\n"
                                "address 2:5030/10.3\r\n"
                                "NetArea NETMAIL C:\\MAIL\\NET\\\r\n"
                                "BadArea BAD C:\\MAIL\\BAD -$\r\n"
                                "DupeArea DUPES C:\\MAIL\\DUPES\\\r\n"
                                "LocalArea MY.LOCAL C:\\MAIL\\LOCAL\\ -p2:5030/10.3\r\n"
                                "ECHOAREA SU.GENERAL C:\\MAIL\\SUGEN -$ -f 5030/10\r\n"
                                "EchoArea R50.SYSOP C:\\MAIL\\R50 -$ 5020/1042 5030/10\r\n"
                                "EchoArea TOO.SHORT\r\n"
                                "Origin Somewhere\r\n");
    Import(ttSquish, cfg);
    EXPECT_EQ(test::Describe(Config), (std::vector<std::string>{
                                          "NETMAIL t0 b0 a35 f3 - C:\\MAIL\\NET\\",
                                          "BAD t2 b1 a35 f3 - C:\\MAIL\\BAD.Sqd",
                                          "DUPES t2 b0 a35 f3 - C:\\MAIL\\DUPES\\",
                                          "MY.LOCAL t1 b0 a32 f3 2:5030/10.3 C:\\MAIL\\LOCAL\\",
                                          // "-f" after "-$" wins; the missing directory gets a separator.
                                          "SU.GENERAL t1 b0 a32 f3 2:5030/10.3 C:\\MAIL\\SUGEN\\",
                                          // The first link that matches an own address chooses.
                                          "R50.SYSOP t1 b1 a32 f3 2:5020/1042.7 C:\\MAIL\\R50.Sqd",
                                      }));
}

TEST_F(SquishCfgImport, CompletesMsgPathsFromWhatIsOnDisk) {
    // A Linux tosser writes lower-case names; the configuration may not.
    std::filesystem::create_directories(Dir.File("mail/xloc"));
    Write("mail/x.sqd", "");
    Write("mail/subst.sqd", "");
    Config.Settings.PathSubst = {"D:\\FIDO=" + Dir.Path()};
    const std::string mail = Dir.File("mail");
    const std::string text = test::Lines({
        "EchoArea X " + mail + "/X",            // beside a Squish base
        "EchoArea XLOC " + mail + "/XLOC",      // an existing directory
        "EchoArea TRAILING C:\\MAIL\\XLOC\\",   // already a directory
        "EchoArea NEW " + mail + "/new",        // nothing there yet
        "EchoArea SUBST d:\\fido\\mail\\SUBST", // found where the substitution puts it
    });
    Import(ttSquish, Cfg(text));
    EXPECT_EQ(test::Describe(Config), (std::vector<std::string>{
                                          "X t1 b1 a32 f3 - " + mail + "/X.Sqd",
                                          "XLOC t1 b0 a32 f3 - " + mail + "/XLOC/",
                                          "TRAILING t1 b0 a32 f3 - C:\\MAIL\\XLOC\\",
                                          "NEW t1 b0 a32 f3 - " + mail + "/new/",
                                          "SUBST t1 b1 a32 f3 - " + Dir.Path() + "\\mail\\SUBST.Sqd",
                                      }));
}

TEST_F(SquishCfgImport, PassthroughAndUnnamedEchoesGoNetmailStays) {
    AddArea("OLD.PASS");
    AddArea("GONE.ECHO");
    AddArea("LOCAL.NETMAIL", etNetmail);
    TEcho& kept = AddArea("r50.sysop");
    kept.Flags = efAddCookies;
    kept.DefAttr = 1;
    kept.Origin = "My origin";
    kept.DefCC = "CARBON";
    kept.Address = TAddress(2, 5020, 1042, 7);

    const TImportSummary summary = Import(ttSquish, Cfg("EchoArea OLD.PASS C:\\MAIL\\PASS\\ -0\n"
                                                        "EchoArea NEW.PASS C:\\MAIL\\NEWPASS\\ -0\n"
                                                        "EchoArea R50.SYSOP C:\\MAIL\\R50\\ 2:5020/1\n"));
    EXPECT_EQ(test::Describe(Config), (std::vector<std::string>{
                                          "LOCAL.NETMAIL t0 b0 a33 f3 - ",
                                          // Reused: only the tag's spelling, kind, format and path change.
                                          "R50.SYSOP t1 b0 a1 f8 2:5020/1042.7 C:\\MAIL\\R50\\ o:My origin",
                                      }));
    EXPECT_EQ(Area("R50.SYSOP")->DefCC, "CARBON");
    EXPECT_EQ(summary.Removed, (std::vector<std::string>{"OLD.PASS", "GONE.ECHO"}));
    EXPECT_EQ(summary.Updated, (std::vector<std::string>{"R50.SYSOP"}));
    EXPECT_TRUE(summary.Added.empty());
}

TEST_F(SquishCfgImport, AnUnchangedConfigurationImportedTwiceChangesNothing) {
    Write("mail/r50.sqd", "");
    ImportTwice(ttSquish, Cfg(test::Lines({"Address 2:5020/1042.7", "NetArea NETMAIL " + Dir.File("net"),
                                           "EchoArea R50 " + Dir.File("mail/R50") + " 2:5020/1042",
                                           "EchoArea P " + Dir.File("p") + " -0"})));
    EXPECT_EQ(Config.Echoes.size(), 2u);
}

} // namespace
