#include "config/Echo.h"

#include "core/Base.h"
#include "core/Settings.h"

#include "TempDir.h"

#include <gtest/gtest.h>

using namespace tavro;

TEST(Echo, UnknownBaseTypeOpensNoBaseAndTriesAgainLater) {
    TEcho echo;
    echo.BaseType = 7;
    EXPECT_EQ(echo.GetBase(), nullptr);
    EXPECT_EQ(echo.GetBase(), nullptr);
    echo.SetPath("/fido/area");
    EXPECT_EQ(echo.Path, "/fido/area");
}

TEST(Echo, OpensTheBaseOfItsTypeWithItsTagsAndFlags) {
    test::TTempDir dir;
    Settings().EchoscanFile = dir.File("echotoss.log");
    struct {
        uint8_t echoType;
        uint8_t flags;
        const char* echoTag;
        const char* netmailTag;
    } cases[] = {
        {etEchomail, efKeepSoftCR, "RU.TEST", ""},
        {etNetmail, efAddOrigin, "", "RU.TEST"},
        {etBadmail, 0, "", ""},
    };
    for (const auto& c : cases) {
        TEcho echo;
        echo.Name = "RU.TEST";
        echo.EchoType = c.echoType;
        echo.Flags = c.flags;
        echo.BaseType = btMsg;
        echo.Path = dir.Path();
        TCustomBase* base = echo.GetBase();
        ASSERT_NE(base, nullptr);
        EXPECT_EQ(echo.GetBase(), base);
        EXPECT_EQ(base->EchoTag, c.echoTag);
        EXPECT_EQ(base->NetmailTag, c.netmailTag);
        EXPECT_EQ(base->DoNotIgnoreSoftCR, (c.flags & efKeepSoftCR) != 0);
        EXPECT_EQ(base->ScanFiles.EchoscanFile, dir.File("echotoss.log"));
        echo.SetPath(dir.File("other"));
        EXPECT_EQ(base->Path, dir.File("other/"));
        echo.CloseBase();
        EXPECT_EQ(echo.Base(), nullptr);
    }
    Settings() = TGlobalSettings();
}

TEST(Echo, EachBaseTypeOpensItsStorage) {
    test::TTempDir dir;
    struct {
        uint8_t type;
        std::string path;
        const char* created;
    } cases[] = {{btMsg, dir.Path(), nullptr}, {btSquish, dir.File("area.sqd"), "area.sqi"}};
    for (const auto& c : cases) {
        TEcho echo;
        echo.BaseType = c.type;
        echo.Path = c.path;
        TCustomBase* base = echo.GetBase();
        ASSERT_NE(base, nullptr) << int(c.type);
        base->Rescan();
        EXPECT_EQ(base->GetCount(), 0);
        if (c.created) {
            EXPECT_TRUE(test::FileExists(dir.File(c.created)));
        }
    }
}
