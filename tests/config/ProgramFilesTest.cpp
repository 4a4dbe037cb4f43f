// Loading the program's files as both the program and the command line do.
#include "config/ProgramFiles.h"
#include "config/Config.h"
#include "config/ConfigFile.h"
#include "config/UsersFile.h"

#include "core/Base.h"
#include "core/Settings.h"

#include "TempDir.h"

#include <gtest/gtest.h>

using namespace tavro;
using tavro::test::TTempDir;

namespace {

// A home with one JAM echo area and two users, the second one's tree naming the area.
void WriteHome(const TTempDir& dir) {
    TConfig config;
    config.Settings.EchoscanFile = dir.File("echotoss.log");
    TEcho& echo = config.AddEcho();
    echo.Name = "LOCAL.TEST";
    echo.EchoType = etEchomail;
    echo.BaseType = btJam;
    echo.Path = dir.File("local.jhr");
    for (int id : {3, 7}) {
        config.Users.push_back(config.NewUser());
        config.Users.back()->UserId = id;
        config.Users.back()->Name = "User " + std::to_string(id);
    }
    config.Users.back()->AreaTree.push_back(std::make_unique<TTreeInfo>(&echo));
    SaveConfig(config, ConfigFileName(dir.Path()));
    SaveUsers(config, UsersFileName(dir.Path()));
}

} // namespace

TEST(ProgramFilesTest, LoadsInOrderAndFindsUsersById) {
    TTempDir dir;
    WriteHome(dir);
    TConfig config;
    int usersWhenCalledBack = -1;
    LoadProgramFiles(config, dir.Path(), [&] { usersWhenCalledBack = int(config.Users.size()); });
    EXPECT_EQ(usersWhenCalledBack, 0);
    ASSERT_EQ(config.Echoes.size(), 1u);
    TUser* user = FindUserById(config, 7);
    ASSERT_NE(user, nullptr);
    EXPECT_EQ(user->Name, "User 7");
    ASSERT_EQ(user->AreaTree.size(), 1u);
    EXPECT_EQ(user->AreaTree[0]->Echo, config.Echoes[0].get());
    EXPECT_EQ(FindUserById(config, 5), nullptr);
}

// A configuration loaded outside the program writes the scan file its own settings name,
// not the program's.
TEST(ProgramFilesTest, AreasWriteTheScanFileOfTheirOwnConfiguration) {
    TTempDir dir;
    WriteHome(dir);
    TConfig config;
    LoadProgramFiles(config, dir.Path());
    ASSERT_TRUE(Settings().EchoscanFile.empty());
    TBaseRef base = config.Echoes[0]->GetBase();
    ASSERT_TRUE(base && base->CreateIfMissing());
    std::unique_ptr<TCustomMsg> msg = base->NewMsg();
    msg->Subject = "scan";
    ASSERT_TRUE(base->WriteMsg(msg.get()));
    EXPECT_NE(test::ReadFile(dir.File("echotoss.log")).find("local 1"), std::string::npos)
        << test::ReadFile(dir.File("echotoss.log"));
}
