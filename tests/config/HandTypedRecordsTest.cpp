// Configuration files typed byte by byte from their layout, so that the reader and the writer
// are checked against the format itself and not only against each other.
#include "config/Config.h"
#include "config/ConfigFile.h"
#include "config/User.h"
#include "config/UsersFile.h"

#include <gtest/gtest.h>

#include <string>

using namespace tavro;

namespace {

using namespace std::string_literals;

// One area, then every setting; all integers little-endian, booleans 00/FF.
const std::string MainFile =
    "TavroCfg"
    "0.62"
    "\x00\x00\x00\x00"s // no stored templates
    "\x01\x00\x00\x00"s // one area
    // Area record: name, origin, echo type, base type, default attributes, flags.
    "\x09\x00\x00\x00"s
    "R50.SYSOP"
    "\x0E\x00\x00\x00"s
    "Moscow, Russia"
    "\x01"s // echomail
    "\x02"s // JAM
    "\x21\x01\x00\x00"s
    "\x0B"s
    // Address 2:5020/1042.7 and its domain.
    "\x02\x00\x9C\x13\x12\x04\x07\x00"s
    "\x07\x00\x00\x00"s
    "fidonet"
    "\x13\x00\x00\x00"s
    "/var/spool/fido/r50"
    "\x0A\x00\x00\x00"s
    "SU.GENERAL"
    // Origins.
    "\x01\x00\x00\x00"s
    "\x06\x00\x00\x00"s
    "Moscow"
    "\x04"s // tosser type
    "\x10\x00\x00\x00"s
    "/etc/fido/config"
    "\x03\x00\x00\x00"s
    "/nl"
    "\x01\x00\x00\x00"s
    "\x0A\x00\x00\x00"s
    "NODELIST.*"
    "\x03\x00\x00\x00"s
    "/nm"
    "\x08\x00\x00\x00"s
    "/nm.flag"
    "\x0D\x00\x00\x00"s
    "/echotoss.log"
    "\x04\x00\x00\x00"s
    "/uue"
    "\xFF\x00"s // confirm delete, confirm exit
    "\x04\x00\x00\x00"s
    "uucp"
    "\x02\x00\x9C\x13\x31\x00\x00\x00"s // gateway 2:5020/49
    "\x00\x00\x00\x00"s
    "\xFF\x00\xFF\x00\xFF\x00\xFF"s // tray, old addresses, one instance, three reply deletes, quote space
    "\x01\x00\x00\x00"s
    "\x0D\x00\x00\x00"s
    "/fido=/srv/ft"
    "\x00\x00\x00\x00"s // no cookies
    "\x20\x00\x00\x00"s // 32 KB
    "\x04\x00\x00\x00"s
    "true"
    "\x00"s; // no import at start-up

// A users file of the previous layout, "0.62": one user with a folder holding one area.
const std::string Colors = "\x01\x00\x00\x00\x02\x00\x00\xFF"s
                           "\x03\x00\x00\x00\x04\x00\x00\xFF"s
                           "\x05\x00\x00\x00\x06\x00\x00\xFF"s
                           "\x07\x00\x00\x00\x08\x00\x00\xFF"s
                           "\x09\x00\x00\x00\x0A\x00\x00\xFF"s
                           "\x0B\x00\x00\x00\x0C\x00\x00\xFF"s
                           "\x0D\x00\x00\x00\x0E\x00\x00\xFF"s
                           "\x0F\x00\x00\x00\x10\x00\x00\xFF"s
                           "\x11\x00\x00\x00\x12\x00\x00\xFF"s
                           "\x13\x00\x00\x00\x14\x00\x00\xFF"s
                           "\x15\x00\x00\x00\x16\x00\x00\xFF"s
                           "\x17\x00\x00\x00\x18\x00\x00\xFF"s
                           "\x19\x00\x00\x00\xEE\xDD\xCC\x00"s;

std::string UserRecordBefore(const std::string& leafTag) {
    return "\x0B\x00\x00\x00"s
           "Ivan Petrov"
           "\x04\x00\x00\x00"s
           "Ivan"
           "\x07\x00\x00\x00"s // user id
           // Templates: the built-in ones 0 to 9, the last slot empty.
           "\x00\x00\x00\x00\x01\x00\x00\x00\x02\x00\x00\x00\x03\x00\x00\x00"s
           "\x04\x00\x00\x00\x05\x00\x00\x00\x06\x00\x00\x00\x07\x00\x00\x00"s
           "\x08\x00\x00\x00\x09\x00\x00\x00\xFF\xFF\xFF\xFF"s
           // Editor: options, key mapping, tab, indent, format to viewer.
           "\x45\x23\x01\x00"s
           "\x01"s
           "\x04\x00\x00\x00"s
           "\x03\x00\x00\x00"s
           "\x01"s +
           Colors +
           "\x01\x02\x04\x08\x00\x01\x02\x04\x08"s // styles
           // Tree, list and text fonts: name, charset, size.
           "\x04\x00\x00\x00"s
           "Sans"
           "\xCC\x09\x00\x00\x00"s
           "\x04\x00\x00\x00"s
           "Mono"
           "\x00\x0A\x00\x00\x00"s
           "\x10\x00\x00\x00"s
           "DejaVu Sans Mono"
           "\xCC\x0B\x00\x00\x00"s
           "\xFF"s // spell check while typing
           // Area tree: the folder "Fido" with the leaf "Sysop talk" for area 0.
           "\x01\x00\x00\x00"s
           "\x04\x00\x00\x00"s
           "Fido"
           "\xFF"s
           "\x01\x00\x00\x00"s
           "\x0A\x00\x00\x00"s
           "Sysop talk"
           "\x00"s
           "\x00\x00\x00\x00"s +
           leafTag +
           // Hot texts: Ctrl+A types "Hello".
           "\x01\x00\x00\x00"s
           "\x41\x40"s
           "\x05\x00\x00\x00"s
           "Hello"
           // Names to highlight.
           "\x02\x00\x00\x00"s
           "\x04\x00\x00\x00"s
           "Ivan"
           "\x05\x00\x00\x00"s
           "Vanya";
}

const std::string UsersFile062 = "TavroUsr"
                                 "0.62"
                                 "\x01\x00\x00\x00"s +
                                 UserRecordBefore("");
// The current layout names a leaf's area by its tag after its place in the list.
const std::string UsersFile063 = "TavroUsr"
                                 "0.63"
                                 "\x01\x00\x00\x00"s +
                                 UserRecordBefore("\x09\x00\x00\x00"s
                                                  "R50.SYSOP");

} // namespace

TEST(HandTypedRecords, MainFileLoadsFieldByFieldAndIsWrittenTheSame) {
    TConfig config;
    ParseConfig(config, MainFile);
    ASSERT_EQ(config.Echoes.size(), 1u);
    const TEcho& echo = *config.Echoes[0];
    EXPECT_EQ(echo.Name, "R50.SYSOP");
    EXPECT_EQ(echo.Origin, "Moscow, Russia");
    EXPECT_EQ(echo.EchoType, etEchomail);
    EXPECT_EQ(echo.BaseType, btJam);
    EXPECT_EQ(echo.DefAttr, 0x121u);
    EXPECT_EQ(echo.Flags, efAddOrigin | efUseTemplate | efAddCookies);
    EXPECT_EQ(echo.Address, TAddress(2, 5020, 1042, 7, "fidonet"));
    EXPECT_EQ(echo.Path, "/var/spool/fido/r50");
    EXPECT_EQ(echo.DefCC, "SU.GENERAL");

    const TGlobalSettings& s = config.Settings;
    EXPECT_EQ(s.Origins, std::vector<std::string>{"Moscow"});
    EXPECT_EQ(s.TosserType, 4);
    EXPECT_EQ(s.TosserCfgPath, "/etc/fido/config");
    EXPECT_EQ(s.NdlDir, "/nl");
    EXPECT_EQ(s.NdlMasks, std::vector<std::string>{"NODELIST.*"});
    EXPECT_EQ(s.NetmailPath, "/nm");
    EXPECT_EQ(s.NetmailFlag, "/nm.flag");
    EXPECT_EQ(s.EchoscanFile, "/echotoss.log");
    EXPECT_EQ(s.UUEPath, "/uue");
    EXPECT_TRUE(s.ConfirmDel);
    EXPECT_FALSE(s.ConfirmExit);
    EXPECT_EQ(s.GateName, "uucp");
    EXPECT_EQ(s.GateAddr, TAddress(2, 5020, 49));
    EXPECT_TRUE(s.MinToTray);
    EXPECT_FALSE(s.OldAddrStyle);
    EXPECT_TRUE(s.OnlyOneInstance);
    EXPECT_FALSE(s.ReplyDelNetmail);
    EXPECT_TRUE(s.ReplyDelEchomail);
    EXPECT_FALSE(s.ConfirmDelReplied);
    EXPECT_TRUE(s.AddQuoteSpace);
    EXPECT_EQ(s.PathSubst, std::vector<std::string>{"/fido=/srv/ft"});
    EXPECT_TRUE(s.Cookies.empty());
    EXPECT_EQ(s.MaxMsgLen, 32);
    EXPECT_EQ(s.RunOnExit, "true");
    EXPECT_FALSE(s.AutoLoadConfig);

    EXPECT_EQ(FormatConfig(config), MainFile);
}

TEST(HandTypedRecords, UserLoadsFieldByFieldAndIsWrittenInTheCurrentLayout) {
    for (const std::string* file : {&UsersFile062, &UsersFile063}) {
        SCOPED_TRACE(file == &UsersFile062 ? "0.62" : "0.63");
        TConfig config;
        ParseConfig(config, MainFile);
        ParseUsers(config, *file);
        ASSERT_EQ(config.Users.size(), 1u);
        const TUser& user = *config.Users[0];
        EXPECT_EQ(user.Name, "Ivan Petrov");
        EXPECT_EQ(user.RealName, "Ivan");
        EXPECT_EQ(user.UserId, 7);
        for (int kind = 0; kind < 10; ++kind)
            EXPECT_EQ(user.Templates[kind], config.Templates[kind].get()) << kind;
        EXPECT_EQ(user.Templates[10], nullptr);
        EXPECT_EQ(user.EditorOptions, 0x12345u);
        EXPECT_EQ(user.KeyMapping, 1);
        EXPECT_EQ(user.SpacesInTab, 4);
        EXPECT_EQ(user.BlockIndent, 3);
        EXPECT_TRUE(user.FormatToViewer);
        for (int i = 0; i < ColorElementCount - 1; ++i)
            EXPECT_EQ(user.Colors[i], (TColorPair{uint32_t(2 * i + 1), 0xFF000000u + 2 * i + 2})) << i;
        EXPECT_EQ(user.Colors[ceMsgListSel], (TColorPair{0x19, 0x00CCDDEE}));
        EXPECT_EQ(user.Styles, (std::array<uint8_t, 9>{1, 2, 4, 8, 0, 1, 2, 4, 8}));
        EXPECT_EQ(user.TreeFont, (TUserFont{"Sans", 204, 9}));
        EXPECT_EQ(user.ListFont, (TUserFont{"Mono", 0, 10}));
        EXPECT_EQ(user.TextFont, (TUserFont{"DejaVu Sans Mono", 204, 11}));
        EXPECT_TRUE(user.AutoSpellCheck);
        ASSERT_EQ(user.AreaTree.size(), 1u);
        const TTreeInfo& folder = *user.AreaTree[0];
        EXPECT_TRUE(folder.IsFolder());
        EXPECT_EQ(folder.Name, "Fido");
        ASSERT_EQ(folder.Children.size(), 1u);
        EXPECT_FALSE(folder.Children[0]->IsFolder());
        EXPECT_EQ(folder.Children[0]->Name, "Sysop talk");
        EXPECT_EQ(folder.Children[0]->Echo, config.Echoes[0].get());
        ASSERT_EQ(user.HotTexts.size(), 1u);
        EXPECT_EQ(user.HotTexts[0].ShortCut, 0x4041);
        EXPECT_EQ(user.HotTexts[0].Text, "Hello");
        EXPECT_EQ(user.HighlightNames, (std::vector<std::string>{"Ivan", "Vanya"}));

        EXPECT_EQ(FormatUsers(config), UsersFile063);
    }
}
