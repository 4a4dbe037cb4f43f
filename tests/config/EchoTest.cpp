#include "config/Echo.h"

#include "core/Base.h"
#include "core/Settings.h"

#include "TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace tavro;

TEST(Echo, UnknownBaseTypeOpensNoBaseAndTriesAgainLater) {
    TEcho echo;
    echo.BaseType = 7;
    EXPECT_FALSE(echo.GetBase());
    EXPECT_FALSE(echo.GetBase());
    echo.SetPath("/fido/area");
    EXPECT_EQ(echo.Path, "/fido/area");
}

TEST(Echo, OpensTheBaseOfItsTypeWithItsTagsAndFlags) {
    test::TTempDir dir;
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
        TBaseRef base = echo.GetBase();
        ASSERT_TRUE(base);
        EXPECT_EQ(echo.GetBase().Get(), base.Get());
        EXPECT_EQ(base->EchoTag, c.echoTag);
        EXPECT_EQ(base->NetmailTag, c.netmailTag);
        EXPECT_EQ(base->DoNotIgnoreSoftCR, (c.flags & efKeepSoftCR) != 0);
        // The program's settings at each write, not a copy from the opening.
        EXPECT_EQ(base->ScanSettings, nullptr);
        echo.SetPath(dir.File("other"));
        EXPECT_EQ(base->Path, dir.File("other/"));
        echo.CloseBase();
        EXPECT_EQ(echo.Base(), nullptr);
    }
}

TEST(Echo, AComposersReferenceKeepsTheBaseAfterTheAreaLetsGo) {
    test::TTempDir dir;
    TEcho echo;
    echo.BaseType = btMsg;
    echo.Path = dir.Path();
    TBaseRef composer = echo.GetBase();
    EXPECT_EQ(composer->RefCount(), 2);
    echo.CloseBase();
    EXPECT_EQ(composer->RefCount(), 1);
    composer->Rescan();
    EXPECT_EQ(composer->GetCount(), 0);
}

TEST(Echo, OpeningCreatesNothingWritersCreateWhatIsMissing) {
    test::TTempDir dir;
    struct {
        uint8_t type;
        std::string path;
        std::vector<const char*> created;
    } cases[] = {
        {btMsg, dir.File("netmail"), {"netmail"}},
        {btSquish, dir.File("sq/area.sqd"), {"sq/area.sqd", "sq/area.sqi"}},
        {btJam, dir.File("jam/area.jhr"), {"jam/area.jhr", "jam/area.jdx", "jam/area.jdt", "jam/area.jlr"}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.type));
        TEcho echo;
        echo.BaseType = c.type;
        echo.Path = c.path;
        TBaseRef base = echo.GetBase();
        ASSERT_TRUE(base);
        EXPECT_FALSE(base->Exists());
        base->Rescan();
        EXPECT_EQ(base->GetCount(), 0);
        EXPECT_FALSE(base->HasList());
        base->Close();
        EXPECT_FALSE(std::filesystem::exists(c.path));

        EXPECT_TRUE(base->CreateIfMissing());
        EXPECT_TRUE(base->Exists());
        for (const char* name : c.created)
            EXPECT_TRUE(std::filesystem::exists(dir.File(name))) << name;
        base->Rescan();
        EXPECT_TRUE(base->HasList());
        EXPECT_TRUE(base->CreateIfMissing()); // an existing base stays as it is
    }
}
