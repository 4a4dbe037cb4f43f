#include "config/CfgStream.h"

#include "core/CodePage.h"
#include "core/Endian.h"

#include "ImportTestKit.h"

using namespace tavro;

namespace {

// A FastEcho configuration put together field by field.
struct TFastEchoFile {
    std::string Header = std::string(4644, '\0');
    std::string Extensions, Nodes, Areas;

    void Put16(std::string& s, size_t at, uint16_t v) { PutLE16(s.data() + at, v); }
    void PutText(std::string& s, size_t at, std::string_view text) { s.replace(at, text.size(), text); }

    void Block(uint16_t type, std::string_view body, uint32_t size) {
        std::string header(6, '\0');
        PutLE16(header.data(), type);
        PutLE32(header.data() + 2, size);
        Extensions += header + std::string(body);
    }
    void Akas(const std::vector<TAddress>& akas) {
        std::string body;
        for (const TAddress& a : akas) {
            std::string r(42, '\0');
            Put16(r, 0, a.Zone), Put16(r, 2, a.Net), Put16(r, 4, a.Node), Put16(r, 6, a.Point);
            PutText(r, 8, a.Domain);
            body += r;
        }
        Header[3250] = static_cast<char>(akas.size());
        Block(7, body, static_cast<uint32_t>(body.size()));
    }
    void Origins(const std::vector<std::string>& origins) {
        std::string body;
        for (const std::string& o : origins)
            body += o + std::string(62 - o.size(), '\0');
        Header[3817] = static_cast<char>(origins.size());
        Block(8, body, static_cast<uint32_t>(body.size()));
    }
    void NodeRecords(uint16_t count, uint16_t size) {
        Put16(Header, 6, count);
        Put16(Header, 4638, size);
        Nodes = std::string(size_t(count) * size, 'N');
    }
    void Area(std::string_view tag, std::string_view path, unsigned storage, unsigned kind, unsigned aka,
              unsigned origin) {
        std::string r(190, '\0');
        PutText(r, 0, tag);
        r[60] = static_cast<char>(aka);
        Put16(r, 62, static_cast<uint16_t>(storage | kind << 4 | origin << 8));
        PutText(r, 82, path);
        Areas += r;
    }
    std::string Data() {
        PutLE32(Header.data() + 4640, static_cast<uint32_t>(Extensions.size()));
        Put16(Header, 8, static_cast<uint16_t>(Areas.size() / 190));
        return Header + Extensions + Nodes + Areas;
    }
};

class FastEchoImport : public test::ImportTest {
protected:
    TFastEchoFile File;

    void SetUp() override {
        File.Akas({TAddress(2, 5020, 1042, 7, "fidonet"), TAddress(2, 5030, 10, 3)});
        File.Block(42, "other", 5);
        File.Origins({"First origin", "", "  Third origin  "});
        File.NodeRecords(3, 100);
    }
};

TEST_F(FastEchoImport, ReadsAreasWithTheirAkasOriginsAndStorage) {
    SetActiveCodePages(TCodePagePair::Default());
    TEcho& stored = AddArea("r50.sysop");
    stored.Origin = "Kept";
    stored.DefAttr = 1;
    AddArea("GONE");
    Config.Settings.PathSubst = {"C:\\FE=/fido"};
    File.Area("NETMAIL", "C:\\FE\\NETMAIL", 1, 1, 0, 0);
    File.Area("R50.SYSOP", "C:\\FE\\R50", 2, 0, 1, 1); // its origin slot is empty
    File.Area("SU.GENERAL", "C:\\FE\\SUGEN", 3, 2, 9, 2);
    File.Area("BAD", "C:\\FE\\BAD", 2, 3, 0, 15);
    File.Area("UNKNOWN.STORAGE", "C:\\FE\\X", 4, 0, 0, 0);
    File.Area("\x8f\xe0\xa8\xa2\xa5\xe2", "C:\\FE\\CYR", 1, 0, 0, 0); // CP866
    const TImportSummary summary = Import(ttFastEcho, Write("fastecho.cfg", File.Data()));
    EXPECT_EQ(test::Describe(Config),
              (std::vector<std::string>{
                  "R50.SYSOP t1 b1 a1 f3 2:5030/10.3 /fido\\R50.SQD o:Kept",
                  "NETMAIL t0 b0 a35 f3 2:5020/1042.7@fidonet /fido\\NETMAIL\\ o:First origin",
                  "SU.GENERAL t1 b2 a32 f3 - /fido\\SUGEN.JHR o:Third origin",
                  "BAD t2 b1 a32 f3 2:5020/1042.7@fidonet /fido\\BAD.SQD",
                  "\xcf\xf0\xe8\xe2\xe5\xf2 t1 b0 a35 f3 2:5020/1042.7@fidonet /fido\\CYR\\ o:First origin",
              }));
    EXPECT_EQ(summary.Removed, (std::vector<std::string>{"GONE"}));
    ImportTwice(ttFastEcho, Dir.File("fastecho.cfg"));
}

TEST_F(FastEchoImport, AFileThatEndsTooSoonFailsAndChangesNothing) {
    File.Area("R50.SYSOP", "C:\\FE\\R50", 2, 0, 0, 0);
    const std::string whole = File.Data();
    std::string akasPastEnd = whole.substr(0, 4644 + 6 + 20);
    PutLE32(akasPastEnd.data() + 4640, 4000);
    std::string areasPastEnd = whole;
    PutLE16(areasPastEnd.data() + 8, 2);
    std::string nodesPastEnd = whole;
    PutLE16(nodesPastEnd.data() + 4638, 60000);
    std::string blockPastEnd = whole;
    PutLE32(blockPastEnd.data() + 4640, 0xFFFFFFF0);
    const struct {
        const char* what;
        std::string data;
    } cases[] = {
        {"shorter than the header", whole.substr(0, 4643)},
        {"AKAs past the end", akasPastEnd},
        {"areas past the end", areasPastEnd},
        {"nodes past the end", nodesPastEnd},
        {"extension blocks past the end", blockPastEnd},
    };
    AddArea("KEPT");
    for (const auto& c : cases) {
        EXPECT_THROW(Import(ttFastEcho, Write("fastecho.cfg", c.data)), EConfigError) << c.what;
        EXPECT_EQ(test::Describe(Config), (std::vector<std::string>{"KEPT t1 b0 a33 f3 - "})) << c.what;
    }
}

} // namespace
