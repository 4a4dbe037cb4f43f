#include "ImportTestKit.h"

using namespace tavro;

namespace {

class AreasBbsImport : public test::ImportTest {
protected:
    std::string Bbs(const std::string& text) { return Write("areas.bbs", text); }
};

TEST_F(AreasBbsImport, ReadsSquishAndJamAreasUnderTheirAddress) {
    Config.Settings.PathSubst = {"C:\\MAIL=/var/spool/fido"};
    Import(ttAreasBbs, Bbs("My BBS ! John Doe\r\n"
                           "; comment\r\n"
                           "# comment\r\n"
                           "$C:\\MAIL\\R50 R50.SYSOP 1:23/45\r\n"
                           "2:5020/1042.7\r\n"
                           "$C:\\MAIL\\R51\r\n"
                           "!/var/jam/su.general SU.GENERAL\r\n"
                           "C:\\MAIL\\MSGAREA MSG.AREA 1:23/45\r\n"
                           "P PASS.AREA 1:23/45\r\n"
                           "2001 is a number and a blank: skipped\r\n"
                           "$ \r\n"));
    EXPECT_EQ(test::Describe(Config), (std::vector<std::string>{
                                          "R50.SYSOP t1 b1 a32 f3 - /var/spool/fido\\R50.Sqd",
                                          // The tag from the file name.
                                          "R51 t1 b1 a32 f3 2:5020/1042.7 /var/spool/fido\\R51.Sqd",
                                          "SU.GENERAL t1 b2 a32 f3 2:5020/1042.7 /var/jam/su.general.JHR",
                                      }));
}

TEST_F(AreasBbsImport, ANumberWithoutAColonEndsTheList) {
    for (const char* stop : {"5020", "12abc"}) {
        TConfig config;
        config.Echoes.push_back(std::make_unique<TEcho>());
        config.Echoes.back()->Name = "LATER";
        config.Echoes.back()->EchoType = etEchomail;
        ImportAreas(config, ttAreasBbs, Bbs(std::string("$/a/first FIRST\n") + stop + "\n$/a/later LATER\n"),
                    false);
        ASSERT_EQ(config.Echoes.size(), 1u) << stop;
        EXPECT_EQ(config.Echoes[0]->Name, "FIRST") << stop;
    }
}

TEST_F(AreasBbsImport, AnUnchangedListImportedTwiceChangesNothing) {
    AddArea("GONE");
    ImportTwice(ttAreasBbs, Bbs("2:5020/1\n$/a/r50 R50\n!/a/jam\n"));
    EXPECT_EQ(Config.Echoes.size(), 2u);
}

} // namespace
