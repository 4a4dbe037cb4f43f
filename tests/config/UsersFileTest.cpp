#include "config/UsersFile.h"

#include "config/CfgStream.h"
#include "config/Config.h"

#include "TempDir.h"

#include <gtest/gtest.h>

using namespace tavro;
using test::ReadFile;
using test::WriteFile;

namespace {

// Areas and stored templates for the users to refer to: echoes 0 and 1, templates 11 and 12.
void AddRecords(TConfig& config, int storedTemplates = 2) {
    for (const char* area : {"RU.LINUX", "NETMAIL"}) {
        config.Echoes.push_back(std::make_unique<TEcho>());
        config.Echoes.back()->Name = area;
    }
    for (int i = 0; i < storedTemplates; ++i) {
        config.Templates.push_back(std::make_unique<TTemplate>());
        config.Templates.back()->Name = "Stored " + std::to_string(i);
    }
}

std::vector<int> TemplateIndexes(const TConfig& config, const TUser& user) {
    std::vector<int> indexes;
    for (const TTemplate* t : user.Templates)
        indexes.push_back(t ? config.IndexOf(t) : -1);
    return indexes;
}

// Captions, kinds and areas of a tree as one text: "Fido{Local{My local=1}RU.LINUX=0}".
std::string Describe(const TConfig& config, const std::vector<std::unique_ptr<TTreeInfo>>& nodes) {
    std::string text;
    for (const auto& node : nodes) {
        text += node->Name;
        if (node->IsFolder())
            text += "{" + Describe(config, node->Children) + "}";
        else
            text += "=" + std::to_string(config.IndexOf(node->Echo));
        text += ";";
    }
    return text;
}

// Every stored field, with references compared by position in their configurations.
void ExpectSameUser(const TConfig& ca, const TUser& a, const TConfig& cb, const TUser& b) {
    EXPECT_EQ(a.Name, b.Name);
    EXPECT_EQ(a.RealName, b.RealName);
    EXPECT_EQ(a.UserId, b.UserId);
    EXPECT_EQ(TemplateIndexes(ca, a), TemplateIndexes(cb, b));
    EXPECT_EQ(a.EditorOptions, b.EditorOptions);
    EXPECT_EQ(a.KeyMapping, b.KeyMapping);
    EXPECT_EQ(a.SpacesInTab, b.SpacesInTab);
    EXPECT_EQ(a.BlockIndent, b.BlockIndent);
    EXPECT_EQ(a.FormatToViewer, b.FormatToViewer);
    EXPECT_EQ(a.Colors, b.Colors);
    EXPECT_EQ(a.Styles, b.Styles);
    EXPECT_EQ(a.TreeFont, b.TreeFont);
    EXPECT_EQ(a.ListFont, b.ListFont);
    EXPECT_EQ(a.TextFont, b.TextFont);
    EXPECT_EQ(a.AutoSpellCheck, b.AutoSpellCheck);
    EXPECT_EQ(Describe(ca, a.AreaTree), Describe(cb, b.AreaTree));
    ASSERT_EQ(a.HotTexts.size(), b.HotTexts.size());
    for (size_t i = 0; i < a.HotTexts.size(); ++i) {
        EXPECT_EQ(a.HotTexts[i].ShortCut, b.HotTexts[i].ShortCut);
        EXPECT_EQ(a.HotTexts[i].Text, b.HotTexts[i].Text);
    }
    EXPECT_EQ(a.HighlightNames, b.HighlightNames);
}

std::unique_ptr<TTreeInfo> Folder(const std::string& name) {
    auto node = std::make_unique<TTreeInfo>();
    node->Name = name;
    return node;
}

// The header and a "0.62" user record up to its area tree: names, id, template slots,
// zeroed editor, colours and styles, three fonts, AutoSpellCheck.
void WriteUserUpToTree(TCfgWriter& w,
                       std::initializer_list<int32_t> templates = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}) {
    w.Bytes("TavroUsr0.62");
    w.Int32(1);
    w.String("Ivan");
    w.String("");
    w.Int32(0);
    for (int32_t ref : templates)
        w.Int32(ref);
    w.Data += std::string(14 + 13 * 8 + 9, '\0');
    for (int f = 0; f < 3; ++f) {
        w.String("Font");
        w.Byte(204);
        w.Int32(10);
    }
    w.Bool(false);
}

class UsersFile : public ::testing::Test {
protected:
    test::TTempDir dir;
    const std::string name = UsersFileName(dir.Path());
};

} // namespace

TEST_F(UsersFile, EveryStoredFieldRoundTrips) {
    TConfig saved;
    AddRecords(saved);
    TTemplate deleted; // a template no longer in the list
    for (int i = 0; i < 2; ++i) {
        auto user = saved.NewUser();
        user->Name = "Ivan Petrov " + std::to_string(i);
        user->RealName = "Ivan";
        user->UserId = 200 + i;
        user->Templates[tkNew] = saved.Templates[12].get();
        user->Templates[tkReply] = nullptr;
        user->Templates[tkQuote] = &deleted;
        user->EditorOptions = 0x80010003;
        user->KeyMapping = 3;
        user->SpacesInTab = 4;
        user->BlockIndent = 16;
        user->FormatToViewer = true;
        for (size_t c = 0; c < user->Colors.size(); ++c)
            user->Colors[c] = {static_cast<TColor>(0x10000 + c), static_cast<TColor>(0xFF000000 + c)};
        user->Styles = {1, 2, 4, 8, 15, 0, 3, 5, 9};
        user->TreeFont = {"DejaVu Sans", 0, 9};
        user->ListFont = {"DejaVu Serif", 1, 11};
        user->TextFont = {"DejaVu Sans Mono", 238, 12};
        user->AutoSpellCheck = true;
        auto fido = Folder("Fido");
        auto local = Folder("Local");
        local->Children.push_back(std::make_unique<TTreeInfo>(saved.Echoes[1].get()));
        local->Children.back()->Name = "My netmail";
        local->Children.push_back(Folder("Empty"));
        fido->Children.push_back(std::move(local));
        fido->Children.push_back(std::make_unique<TTreeInfo>(saved.Echoes[0].get()));
        user->AreaTree.push_back(std::move(fido));
        user->AreaTree.push_back(std::make_unique<TTreeInfo>(saved.Echoes[0].get()));
        user->HotTexts = {{0x4041, "Hello, All!"}, {0xE070, ""}};
        user->HighlightNames = {"Vanya", "Ivan P."};
        saved.Users.push_back(std::move(user));
    }
    SaveUsers(saved, name);
    const std::string bytes = ReadFile(name);
    EXPECT_EQ(bytes.substr(0, 12), "TavroUsr0.63");

    TConfig loaded;
    AddRecords(loaded);
    LoadUsers(loaded, name);
    ASSERT_EQ(loaded.Users.size(), 2u);
    const TUser& user = *loaded.Users[0];
    EXPECT_EQ(Describe(loaded, user.AreaTree), "Fido{Local{My netmail=1;Empty{};};RU.LINUX=0;};RU.LINUX=0;");
    // The emptied slot and the deleted template's both went out as -1 and load empty.
    EXPECT_EQ(user.Templates[tkNew], loaded.Templates[12].get());
    EXPECT_EQ(user.Templates[tkReply], nullptr);
    EXPECT_EQ(user.Templates[tkQuote], nullptr);
    EXPECT_EQ(user.Templates[tkComment], loaded.Templates[tkComment].get());
    saved.Users[0]->Templates[tkQuote] = nullptr;
    saved.Users[1]->Templates[tkQuote] = nullptr;
    for (size_t i = 0; i < 2; ++i)
        ExpectSameUser(saved, *saved.Users[i], loaded, *loaded.Users[i]);

    SaveUsers(loaded, name);
    EXPECT_EQ(ReadFile(name), bytes);
}

// One user as each layout the program has written stores it; what a layout lacks keeps the
// default of a new user.
TEST_F(UsersFile, EveryOlderLayoutLoads) {
    for (std::string version : {"", "0.23", "0.25", "0.53", "0.54", "0.56", "0.60", "0.62"}) {
        SCOPED_TRACE(version.empty() ? "no header" : version);
        const bool narrowEditor = version.empty() || version == "0.23";
        const int colours = version.empty() ? 9 : version < "0.60" ? 11 : 13;
        const bool threeFonts = version == "0.62";
        const bool spellCheck = version >= "0.54";
        const bool highlights = version >= "0.56";

        TCfgWriter w;
        if (!version.empty()) {
            w.Bytes("TavroUsr");
            w.Bytes(version);
        }
        w.Int32(1);
        w.String("Ivan Petrov");
        w.String("Ivan");
        w.Int32(7);
        for (int32_t ref : {11, -1, 12, 13, 0, 1, 2, 3, 4, 5, 6})
            w.Int32(ref);
        if (version.empty()) {
            w.UInt16(0x0101);
            w.Byte(2);
            w.Byte(0x77); // the skipped byte
        } else if (narrowEditor) {
            w.UInt16(0x0101);
            w.Byte(2);
        } else {
            w.Int32(0x10101);
            w.Byte(2);
        }
        w.Int32(4);
        w.Int32(3);
        if (!version.empty())
            w.Byte(1); // FormatToViewer
        for (int c = 0; c < colours; ++c) {
            w.Int32(0x100 + c);
            w.Int32(0x200 + c);
        }
        for (int s = 0; s < 9; ++s)
            w.Byte(8);
        if (threeFonts) {
            w.String("Tree");
            w.Byte(1);
            w.Int32(7);
            w.String("List");
            w.Byte(2);
            w.Int32(9);
        }
        w.String("Text");
        w.Byte(0);
        w.Int32(13);
        if (spellCheck)
            w.Bool(true);
        w.Int32(1);
        w.String("Old area");
        w.Bool(false);
        w.Int32(1);
        w.Int32(1);
        w.UInt16(0x4041);
        w.String("hot");
        if (highlights)
            w.StringList({"Vanya"});
        WriteFile(name, w.Data);

        TConfig config;
        AddRecords(config);
        LoadUsers(config, name);
        ASSERT_EQ(config.Users.size(), 1u);
        const TUser& u = *config.Users[0];
        const TUser defaults;
        EXPECT_EQ(u.Name, "Ivan Petrov");
        EXPECT_EQ(u.RealName, "Ivan");
        EXPECT_EQ(u.UserId, 7);
        // 13 is past the list: an empty slot.
        EXPECT_EQ(TemplateIndexes(config, u), (std::vector<int>{11, -1, 12, -1, 0, 1, 2, 3, 4, 5, 6}));
        EXPECT_EQ(u.EditorOptions, narrowEditor ? 0x0101u : 0x10101u);
        EXPECT_EQ(u.KeyMapping, 2);
        EXPECT_EQ(u.SpacesInTab, 4);
        EXPECT_EQ(u.BlockIndent, 3);
        EXPECT_EQ(u.FormatToViewer, !version.empty());
        for (int c = 0; c < ColorElementCount; ++c) {
            SCOPED_TRACE(c);
            const TColorPair stored{TColor(0x100 + c), TColor(0x200 + c)};
            EXPECT_EQ(u.Colors[size_t(c)], c < colours ? stored : defaults.Colors[size_t(c)]);
        }
        EXPECT_EQ(u.Styles, (std::array<uint8_t, 9>{8, 8, 8, 8, 8, 8, 8, 8, 8}));
        EXPECT_EQ(u.TreeFont, (threeFonts ? TUserFont{"Tree", 1, 7} : defaults.TreeFont));
        EXPECT_EQ(u.ListFont, (threeFonts ? TUserFont{"List", 2, 9} : defaults.ListFont));
        EXPECT_EQ(u.TextFont, (TUserFont{"Text", 0, 13}));
        EXPECT_EQ(u.AutoSpellCheck, spellCheck);
        EXPECT_EQ(Describe(config, u.AreaTree), "Old area=1;");
        ASSERT_EQ(u.HotTexts.size(), 1u);
        EXPECT_EQ(u.HotTexts[0].ShortCut, 0x4041);
        EXPECT_EQ(u.HotTexts[0].Text, "hot");
        EXPECT_EQ(u.HighlightNames,
                  highlights ? std::vector<std::string>{"Vanya"} : std::vector<std::string>{});

        // Saved again it is the newest layout, and loads the same.
        SaveUsers(config, name);
        EXPECT_EQ(ReadFile(name).substr(0, 12), "TavroUsr0.63");
        TConfig again;
        AddRecords(again);
        LoadUsers(again, name);
        ASSERT_EQ(again.Users.size(), 1u);
        ExpectSameUser(config, u, again, *again.Users[0]);
    }
}

TEST_F(UsersFile, AMissingFileAddsNobody) {
    TConfig config;
    LoadUsers(config, name);
    EXPECT_TRUE(config.Users.empty());
}

TEST_F(UsersFile, AnUnknownVersionFailsWithUnknownConfig) {
    for (const char* version : {"0.24", "0.61", "0.64"}) {
        TCfgWriter w;
        w.Bytes("TavroUsr");
        w.Bytes(version);
        w.Int32(0);
        WriteFile(name, w.Data);
        TConfig config;
        try {
            LoadUsers(config, name);
            ADD_FAILURE() << "loaded version " << version;
        } catch (const EConfigError& e) {
            EXPECT_STREQ(e.what(), "Unknown config");
        }
    }
}

// Areas and templates the users file names may be gone from the main file: a template slot
// turns empty, an area leaf is dropped and the nodes after it still load.
TEST_F(UsersFile, ReferencesThatNoLongerResolve) {
    TCfgWriter w;
    WriteUserUpToTree(w, {12, -1, 11, 2, 3, 4, 5, 6, 7, 8, 9});
    auto leaf = [&w](const char* caption, int32_t area) {
        w.String(caption);
        w.Bool(false);
        w.Int32(area);
    };
    w.Int32(4);
    leaf("Gone", 2);
    w.String("Folder");
    w.Bool(true);
    w.Int32(3);
    leaf("Gone too", -1);
    leaf("Kept", 1);
    leaf("Far away", 0x7FFFFFFF);
    leaf("Negative", -7);
    leaf("Last", 0);
    w.Int32(1);
    w.UInt16(0x2041);
    w.String("after the tree");
    w.StringList({"Vanya"});
    WriteFile(name, w.Data);

    TConfig config;
    AddRecords(config, 1); // template 12 was deleted
    LoadUsers(config, name);
    ASSERT_EQ(config.Users.size(), 1u);
    const TUser& u = *config.Users[0];
    EXPECT_EQ(TemplateIndexes(config, u), (std::vector<int>{-1, -1, 11, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(Describe(config, u.AreaTree), "Folder{Kept=1;};Last=0;");
    ASSERT_EQ(u.HotTexts.size(), 1u);
    EXPECT_EQ(u.HotTexts[0].Text, "after the tree");
    EXPECT_EQ(u.HighlightNames, std::vector<std::string>{"Vanya"});
}

// 64 levels load; a node on level 65 is damage, so a crafted file cannot recurse deeper.
TEST_F(UsersFile, TreeDepthIsBounded) {
    for (int levels : {64, 65}) {
        SCOPED_TRACE(levels);
        TCfgWriter w;
        WriteUserUpToTree(w);
        for (int level = 1; level < levels; ++level) {
            w.Int32(1);
            w.String("Level " + std::to_string(level));
            w.Bool(true);
        }
        w.Int32(1);
        w.String("Leaf");
        w.Bool(false);
        w.Int32(0);
        w.Int32(0);
        w.Int32(0);
        WriteFile(name, w.Data);
        TConfig config;
        AddRecords(config);
        if (levels == 64) {
            LoadUsers(config, name);
            ASSERT_EQ(config.Users.size(), 1u);
            const TTreeInfo* node = config.Users[0]->AreaTree.at(0).get();
            for (int level = 1; level < levels; ++level)
                node = node->Children.at(0).get();
            EXPECT_EQ(node->Echo, config.Echoes[0].get());
            continue;
        }
        EXPECT_THROW(LoadUsers(config, name), EConfigError);

        // Such a tree is never written either, since it would not load; the old file stays.
        const std::string before = ReadFile(name);
        auto user = config.NewUser();
        std::vector<std::unique_ptr<TTreeInfo>>* block = &user->AreaTree;
        for (int level = 1; level < levels; ++level) {
            block->push_back(Folder("Level"));
            block = &block->back()->Children;
        }
        block->push_back(Folder("Too deep"));
        config.Users.push_back(std::move(user));
        EXPECT_THROW(SaveUsers(config, name), EConfigError);
        EXPECT_EQ(ReadFile(name), before);
    }
}

TEST_F(UsersFile, ACutFileFails) {
    TConfig saved;
    AddRecords(saved);
    for (int i = 0; i < 2; ++i) {
        saved.Users.push_back(saved.NewUser());
        saved.Users.back()->AreaTree.push_back(Folder("Fido"));
        saved.Users.back()->AreaTree.back()->Children.push_back(
            std::make_unique<TTreeInfo>(saved.Echoes[1].get()));
        saved.Users.back()->HotTexts = {{0x4041, "hot"}};
        saved.Users.back()->HighlightNames = {"Vanya"};
    }
    SaveUsers(saved, name);
    const std::string bytes = ReadFile(name);
    for (size_t size = 0; size < bytes.size(); ++size) {
        SCOPED_TRACE(size);
        WriteFile(name, bytes.substr(0, size));
        TConfig config;
        AddRecords(config);
        EXPECT_THROW(LoadUsers(config, name), EConfigError);
        EXPECT_LE(config.Users.size(), 1u);
    }
}

TEST_F(UsersFile, CountsBeyondTheFileFailBeforeAllocating) {
    for (int32_t count : {0x7FFFFFFF, -1, 2}) {
        SCOPED_TRACE(count);
        TCfgWriter w;
        w.Bytes("TavroUsr0.62");
        w.Int32(count);
        w.Data += std::string(300, '\0');
        WriteFile(name, w.Data);
        TConfig config;
        EXPECT_THROW(LoadUsers(config, name), EConfigError);
    }
}
