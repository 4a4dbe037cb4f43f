#include "config/FMailImport.h"
#include "config/CfgStream.h"

#include "core/Endian.h"

#include "ImportTestKit.h"

#include <algorithm>

using namespace tavro;

namespace {

// An FMail configuration and its area file, put together field by field.
struct TFMailFiles {
    std::string Config = std::string(18432, '\0');
    std::string AreaRecords;
    uint16_t RecordSize = 300;

    void PutText(std::string& s, size_t at, std::string_view text) { s.replace(at, text.size(), text); }
    void PutAddress(size_t at, const TAddress& a) {
        for (uint16_t v : {a.Zone, a.Net, a.Node, a.Point}) {
            PutLE16(Config.data() + at, v);
            at += 2;
        }
    }
    void Area(std::string_view tag, std::string_view path, uint16_t aka, std::string_view origin = {},
              uint16_t skip = 0) {
        std::string r(std::max<size_t>(RecordSize, 300), '\0');
        PutText(r, 4, tag);
        PutText(r, 111, path);
        PutLE16(r.data() + 172, skip);
        PutText(r, 174, origin);
        PutLE16(r.data() + 233, aka);
        r.resize(RecordSize);
        AreaRecords += r;
    }
    std::string AreaFile() const {
        std::string header(50, '\0');
        PutLE16(header.data() + 46, static_cast<uint16_t>(AreaRecords.size() / RecordSize));
        PutLE16(header.data() + 48, RecordSize);
        return header + AreaRecords;
    }
};

class FMailImport : public test::ImportTest {
protected:
    TFMailFiles Files;
    // A dot in a directory name must not cut the area file's name.
    std::string CfgName = ".fido/fmail.cfg";

    void SetUp() override {
        Files.PutText(Files.Config, 560, "C:\\FMAIL\\NETMAIL");
        Files.PutText(Files.Config, 992, "  C:\\FMAIL\\PERSONAL  ");
        Files.PutAddress(17792, TAddress(2, 5020, 1042, 0));
        Files.PutAddress(17802, TAddress(2, 5020, 1042, 7));
        Files.PutAddress(17812, TAddress(2, 5030, 10, 3));
    }

    std::string WriteFiles() {
        Write(".fido/fmail.ar", Files.AreaFile());
        return Write(CfgName, Files.Config);
    }
};

TEST_F(FMailImport, TheAreaFileIsNamedAfterTheConfiguration) {
    const struct {
        const char* config;
        const char* areas;
    } cases[] = {
        {"/home/u/.fido/fmail.cfg", "/home/u/.fido/fmail.ar"},
        {"/srv/FMAIL.CFG.OLD", "/srv/FMAIL.ar"},
        {"fmail", "fmail.ar"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FMailAreaFileName(c.config), c.areas);
}

TEST_F(FMailImport, ReadsTheMailFoldersAndTheJamAreas) {
    Config.Settings.PathSubst = {"C:\\FMAIL=/fido"};
    TEcho& stored = AddArea("NETMAIL", etNetmail);
    stored.DefAttr = 1;
    AddArea("PASSED.ON");
    AddArea("NO.PATH");
    AddArea("GONE");
    Files.Area("R50.SYSOP", "C:\\FMAIL\\JAM\\R50", 2, "  My origin ");
    Files.Area("AKA.BEYOND.TABLE", "C:\\FMAIL\\JAM\\FAR", 9999);
    Files.Area("PASSED.ON", "C:\\FMAIL\\JAM\\PASS", 0, "", 1);
    Files.Area("NEW.PASSED.ON", "C:\\FMAIL\\JAM\\NEWPASS", 0, "", 1);
    Files.Area("NO.PATH", "", 0);
    const TImportSummary summary = Import(ttFMail, WriteFiles());
    EXPECT_EQ(test::Describe(Config),
              (std::vector<std::string>{
                  // The folders are taken as FMail names them.
                  "NETMAIL t0 b0 a1 f3 2:5020/1042.7 C:\\FMAIL\\NETMAIL",
                  "PASSED.ON t1 b0 a33 f3 - ",
                  "NO.PATH t1 b0 a33 f3 - ",
                  "PERSONAL_MAIL t0 b0 a35 f3 2:5020/1042.7 C:\\FMAIL\\PERSONAL",
                  "R50.SYSOP t1 b2 a32 f3 2:5030/10.3 /fido\\JAM\\R50.JHR o:My origin",
                  "AKA.BEYOND.TABLE t1 b2 a32 f3 - /fido\\JAM\\FAR.JHR",
              }));
    EXPECT_EQ(summary.Removed, (std::vector<std::string>{"GONE"}));
    ImportTwice(ttFMail, Dir.File(CfgName));
}

TEST_F(FMailImport, LongAndShortRecordsKeepTheirPlaces) {
    for (uint16_t size : {uint16_t(4000), uint16_t(100)}) {
        TConfig config;
        Files.RecordSize = size;
        Files.AreaRecords.clear();
        Files.Area("FIRST", "C:\\FMAIL\\JAM\\FIRST", 0);
        Files.Area("SECOND", "C:\\FMAIL\\JAM\\SECOND", 0);
        ImportAreas(config, ttFMail, WriteFiles(), false);
        std::vector<std::string> names;
        for (const auto& echo : config.Echoes)
            names.push_back(echo->Name + " " + echo->Path);
        // A record too short to hold a path names no area.
        if (size > 3072)
            EXPECT_EQ(names, (std::vector<std::string>{
                                 "PERSONAL_MAIL C:\\FMAIL\\PERSONAL", "NETMAIL C:\\FMAIL\\NETMAIL",
                                 "FIRST C:\\FMAIL\\JAM\\FIRST.JHR", "SECOND C:\\FMAIL\\JAM\\SECOND.JHR"}));
        else
            EXPECT_EQ(names.size(), 2u);
    }
}

TEST_F(FMailImport, FilesThatEndTooSoonFail) {
    Files.Area("R50.SYSOP", "C:\\FMAIL\\JAM\\R50", 0);
    const std::string areaFile = Files.AreaFile();
    std::string countPastEnd = areaFile;
    PutLE16(countPastEnd.data() + 46, 2);
    const struct {
        const char* what;
        std::string config, areas;
        bool withAreaFile;
    } cases[] = {
        {"a short configuration", Files.Config.substr(0, 18431), areaFile, true},
        {"no area file", Files.Config, "", false},
        {"a short area file header", Files.Config, areaFile.substr(0, 49), true},
        {"records past the end", Files.Config, countPastEnd, true},
    };
    for (const auto& c : cases) {
        test::TTempDir dir;
        const std::string cfg = dir.File("fmail.cfg");
        test::WriteFile(cfg, c.config);
        if (c.withAreaFile)
            test::WriteFile(dir.File("fmail.ar"), c.areas);
        TConfig config;
        config.Echoes.push_back(std::make_unique<TEcho>());
        config.Echoes.back()->Name = "KEPT";
        config.Echoes.back()->EchoType = etEchomail;
        EXPECT_THROW(ImportAreas(config, ttFMail, cfg, false), EConfigError) << c.what;
        EXPECT_EQ(config.Echoes.front()->Name, "KEPT") << c.what;
    }
}

} // namespace
