#include "config/Config.h"

#include <gtest/gtest.h>

using namespace tavro;

TEST(Records, NewUserHasTheDefaults) {
    TConfig config;
    auto user = config.NewUser();
    for (int kind = 0; kind < TemplateKindCount; ++kind)
        EXPECT_EQ(user->Templates[kind], config.Templates[kind].get()) << kind;
    EXPECT_EQ(user->EditorOptions, 0x27Bu);
    EXPECT_EQ(user->SpacesInTab, 8);
    EXPECT_EQ(user->BlockIndent, 2);
    EXPECT_FALSE(user->FormatToViewer);
    EXPECT_EQ(user->Colors[ceText], (TColorPair{0x00000000, 0xFF000005}));
    EXPECT_EQ(user->Colors[ceQuote4], (TColorPair{0x00FF00FF, 0xFF000005}));
    EXPECT_EQ(user->Colors[ceSelection], (TColorPair{0xFF00000E, 0xFF00000D}));
    EXPECT_EQ(user->Colors[ceMsgListSel], (TColorPair{0xFF00000D, 0xFF00000F}));
    EXPECT_EQ(user->Styles, (std::array<uint8_t, 9>{0, fsUnderline, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(user->TreeFont, (TUserFont{"MS Sans Serif", 204, 8}));
    EXPECT_EQ(user->ListFont, (TUserFont{"MS Sans Serif", 204, 8}));
    EXPECT_EQ(user->TextFont, (TUserFont{"Courier New", 204, 10}));
    EXPECT_TRUE(user->AreaTree.empty());
}

TEST(Records, BuiltInTemplates) {
    TConfig config;
    ASSERT_EQ(config.BuiltInTemplateCount, 11);
    struct {
        TTemplateKind kind;
        const char* name;
        size_t lines;
    } cases[] = {
        {tkNew, "Default_New", 5},
        {tkReply, "Default_Reply", 6},
        {tkQuote, "Default_Quote", 6},
        {tkComment, "Default_Comment", 6},
        {tkQuoteInArea, "Default_QuoteInArea", 6},
        {tkCommentInArea, "Default_CommentInArea", 6},
        {tkForward, "Default_Forward", 17},
        {tkImportFromFile, "Default_ImportFromFile", 6},
        {tkExportToFile, "Default_ExportToFile", 7},
        {tkExportToPrinter, "Default_ExportToPrinter", 8},
        {tkConfirmReceipt, "Default_ConfirmReceipt", 5},
    };
    for (const auto& c : cases) {
        const TTemplate& t = *config.Templates[c.kind];
        EXPECT_EQ(t.Name, c.name);
        EXPECT_EQ(t.Lines.size(), c.lines) << c.name;
        EXPECT_TRUE(t.IsDefault);
        EXPECT_FALSE(t.Lines.back().empty()) << c.name;
        EXPECT_EQ(config.DefaultTemplates[c.kind], &t);
    }
    const auto& forward = config.Templates[tkForward]->Lines;
    EXPECT_EQ(forward[2], "+" + std::string(77, '-') + "+");
    EXPECT_EQ(forward[12].size(), 79u);
    EXPECT_EQ(forward[12].substr(0, 18), "----- End Forward ");
    EXPECT_EQ(config.Templates[tkReply]->Lines[1], "In reply to your message dated  %QFromDateTime:");
    EXPECT_EQ(config.Templates[tkImportFromFile]->Lines.front(), "");
    EXPECT_EQ(config.Templates[tkExportToPrinter]->Lines.back(), forward[2]);
}

TEST(Records, SettingsDefaults) {
    TConfig config;
    const TGlobalSettings& s = config.Settings;
    EXPECT_EQ(s.MaxMsgLen, 16);
    EXPECT_EQ(s.MaxMsgLines, 240);
    EXPECT_TRUE(s.AutoLoadConfig && s.MinToTray && s.AddQuoteSpace && s.ConfirmDel && s.ConfirmExit &&
                s.ConfirmDelReplied);
    EXPECT_FALSE(s.OldAddrStyle || s.OnlyOneInstance || s.ReplyDelNetmail || s.ReplyDelEchomail);
    EXPECT_EQ(s.VersionText, "Tavro 2001 Build 0063-RC10/Linux");
    EXPECT_EQ(s.TearlineText, s.VersionText);

    TGlobalSettings t;
    for (auto [kb, lines] : {std::pair{1, 0}, {16, 240}, {32, 500}, {64, 1020}}) {
        t.SetMaxMsgLen(kb);
        EXPECT_EQ(t.MaxMsgLines, lines) << kb;
    }
}

TEST(Records, NewAreaDefaults) {
    TEcho echo;
    EXPECT_EQ(echo.DefAttr, 33u);
    EXPECT_EQ(echo.Flags, efAddOrigin | efUseTemplate);
    EXPECT_FALSE(echo.Address.IsValid());
    EXPECT_EQ(TTemplate().Name, "<Unnamed>");
}
