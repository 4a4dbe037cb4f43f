// Messages stored in the character set their CHRS kludge names, in all three formats: the
// names, subject and text read right, a message is written back in its own set, and bases
// that copy bytes unchanged do not convert at all.
#include "bases/BaseFactory.h"

#include "core/Charset.h"
#include "core/CodePage.h"
#include "core/Msg.h"

#include "TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace tavro;
using tavro::test::TTempDir;

namespace {

// Display text, Windows-1251.
const std::string Ivan = "\xC8\xE2\xE0\xED";                             // "Иван"
const std::string Hello = "\xCF\xF0\xE8\xE2\xE5\xF2, \xFD\xF2\xEE \xFF"; // "Привет, это я"
// "Привет" as stored: KOI8-R, UTF-8, CP866.
const std::string HelloKoi8 = "\xF0\xD2\xC9\xD7\xC5\xD4";
const std::string HelloUtf8 = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";
// The OEM page keeps its substitute: small ER is stored as Latin "p".
const std::string HelloCp866 = "\x8Fp\xA8\xA2\xA5\xE2";
const std::string HelloWithP = "\xCFp\xE8\xE2\xE5\xF2, \xFD\xF2\xEE \xFF";

struct TFormat {
    int Type;
    const char* Path;
};
const TFormat Formats[] = {{btMsg, "msg"}, {btSquish, "area.sqd"}, {btJam, "area.jhr"}};

class CharsetBases : public ::testing::TestWithParam<TFormat> {
protected:
    TTempDir Dir;
    std::string Path = Dir.File(GetParam().Path);

    TBaseRef Open(const TCodePagePair& pages = ActiveCodePages()) {
        if (GetParam().Type == btMsg)
            std::filesystem::create_directories(Path);
        TBaseRef base = NewBase(GetParam().Type, Path, "TEST.ECHO", "");
        base->CodePages = pages;
        EXPECT_TRUE(base->CreateIfMissing());
        base->Rescan();
        return base;
    }
    void Post(const std::string& chrs, std::string name = Ivan, std::vector<std::string> before = {}) {
        TBaseRef base = Open();
        auto msg = base->NewMsg();
        msg->FromName = std::move(name);
        msg->ToName = "All";
        msg->Subject = Hello;
        msg->Kludges = std::move(before);
        if (!chrs.empty())
            msg->Kludges.push_back("\x01" + chrs);
        msg->Body = {TBodyLine(Hello), TBodyLine("\xFD")}; // "э", whose UTF-8 holds 0x8D
        ASSERT_TRUE(msg->Save());
    }
    // Every byte of the base's files, to look for the stored form.
    std::string Stored() {
        std::string all;
        const std::filesystem::path root = GetParam().Type == btMsg ? Path : Dir.Path();
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
            if (entry.is_regular_file())
                all += tavro::test::ReadFile(entry.path().string());
        return all;
    }
};

// Written in the set the kludge names, and read back as written, header included.
TEST_P(CharsetBases, WrittenAndReadInTheNamedSet) {
    const struct {
        const char* Chrs;
        const std::string& StoredHello;
        const std::string& Shown;
    } cases[] = {{"CHRS: KOI8-R 2", HelloKoi8, Hello},
                 {"CHRS: UTF-8 4", HelloUtf8, Hello},
                 {"CHRS: CP866 2", HelloCp866, HelloWithP}};
    for (const auto& c : cases) {
        std::filesystem::remove_all(Path);
        for (const char* ext : {".sqd", ".sqi", ".jdt", ".jdx", ".jlr"})
            std::filesystem::remove(Dir.File("area") + ext);
        Post(c.Chrs);
        EXPECT_NE(Stored().find(c.StoredHello), std::string::npos) << c.Chrs;
        TBaseRef base = Open();
        ASSERT_EQ(base->GetCount(), 1);
        TMsgHandle msg = base->GetMsg(0);
        ASSERT_TRUE(msg);
        ASSERT_GE(msg->GetBody().size(), 2u) << c.Chrs;
        EXPECT_EQ(msg->Body[0].Text, c.Shown) << c.Chrs;
        EXPECT_EQ(msg->Body[1].Text, "\xFD") << c.Chrs;
        EXPECT_EQ(msg->FromName, Ivan) << c.Chrs;
        EXPECT_EQ(msg->Subject, c.Shown) << c.Chrs;
    }
}

// The list shows the names and subject in the message's set, as the message itself; the
// set's kludge comes after MSGID and REPLY, as editors write them.
TEST_P(CharsetBases, ListRowsFollowTheSet) {
    Post("CHRS: KOI8-R 2", Ivan, {"\x01MSGID: 2:5020/1 1a", "\x01REPLY: 2:5020/2 2b"});
    TBaseRef base = Open();
    std::string subject;
    base->ReadListHeaders(lfNames | lfSubject, [&](int, const TListHeader& row) { subject = row.Subject; },
                          {});
    EXPECT_EQ(subject, Hello);
}

// A base that copies bytes unchanged keeps them, whatever the kludge says.
TEST_P(CharsetBases, IdentityPagesDoNotConvert) {
    Post("CHRS: UTF-8 4");
    TBaseRef base = Open(TCodePagePair::Identity());
    TMsgHandle msg = base->GetMsg(0);
    ASSERT_TRUE(msg);
    EXPECT_EQ(msg->GetBody().at(0).Text.substr(0, HelloUtf8.size()), HelloUtf8);
}

// A UTF-8 name longer than the fixed header field is cut between characters.
TEST_P(CharsetBases, LongUtf8NameCutBetweenCharacters) {
    if (GetParam().Type == btJam)
        GTEST_SKIP() << "JAM names have no fixed field";
    std::string name;
    for (int i = 0; i < 20; ++i)
        name += "\xC6"; // "Ж", two bytes in UTF-8: the 36-byte field ends inside the 19th
    Post("CHRS: UTF-8 4", name);
    TBaseRef base = Open();
    TMsgHandle msg = base->GetMsg(0);
    ASSERT_TRUE(msg);
    msg->GetBody();
    EXPECT_EQ(msg->FromName, std::string(18, '\xC6'));
}

INSTANTIATE_TEST_SUITE_P(Formats, CharsetBases, ::testing::ValuesIn(Formats), [](const auto& info) {
    return std::string(info.param.Path[0] == 'm' ? "Msg" : info.param.Path[5] == 's' ? "Squish" : "Jam");
});

} // namespace
