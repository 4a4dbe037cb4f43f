#include "CliRun.h"

#include "config/Config.h"
#include "config/ConfigFile.h"
#include "config/ConfigSave.h"
#include "config/UsersFile.h"

#include "FileFaults.h"
#include "TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tavro;
using tavro::test::TFileChangeFault;
using tavro::test::TTempDir;
using tavro::test::WriteFile;

namespace {

// Leaf captions and their areas' tags: they agree in a consistent pair of files.
void ExpectLeavesMatchTheirAreas(const std::vector<std::unique_ptr<TTreeInfo>>& nodes) {
    for (const auto& node : nodes) {
        if (node->IsFolder())
            ExpectLeavesMatchTheirAreas(node->Children);
        else
            EXPECT_EQ(node->Name, node->Echo->Name);
    }
}

} // namespace

// The import stopped at every file change it makes: the configuration it leaves loads, and
// every leaf of the users' trees still shows its own area.
TEST(ImportInterrupt, EveryStopLeavesBothFilesInStep) {
    TTempDir dir;
    const std::string home = dir.File("home"), fido = dir.File("fido");
    std::filesystem::create_directories(home);
    std::filesystem::create_directories(fido + "/msgbase");
    WriteFile(fido + "/config", "Address 2:5020/1042.7\n"
                                "NetmailArea NETMAIL " +
                                    fido +
                                    "/msgbase/netmail -b Msg\n"
                                    "EchoArea R50.SYSOP " +
                                    fido +
                                    "/msgbase/r50.sysop -b Squish\n"
                                    "EchoArea SU.GENERAL " +
                                    fido + "/msgbase/su.general -b Jam\n");
    {
        TConfig config;
        for (const char* name : {"GONE", "SU.GENERAL"}) {
            config.Echoes.push_back(std::make_unique<TEcho>());
            config.Echoes.back()->Name = name;
            config.Echoes.back()->EchoType = etEchomail;
        }
        config.Users.push_back(config.NewUser());
        for (const auto& echo : config.Echoes)
            config.Users.back()->AreaTree.push_back(std::make_unique<TTreeInfo>(echo.get()));
        SaveConfigAndUsers(config, home);
    }
    const std::string mainBefore = test::ReadFile(ConfigFileName(home));
    const std::string usersBefore = test::ReadFile(UsersFileName(home));
    int k = 1;
    for (;; ++k) {
        SCOPED_TRACE(k);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            TFileChangeFault fault(k, TFileChangeFault::TAction::Exit);
            const test::TCliResult r =
                test::Invoke({"import", "--type", "hpt", fido + "/config", "--home", home});
            ::_exit(r.Status == 0 ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        TConfig config;
        ASSERT_NO_THROW({
            LoadConfig(config, ConfigFileName(home));
            LoadUsers(config, UsersFileName(home));
        });
        ASSERT_EQ(config.Users.size(), 1u);
        ExpectLeavesMatchTheirAreas(config.Users[0]->AreaTree);
        if (WEXITSTATUS(status) == 0) {
            EXPECT_EQ(config.Echoes.size(), 3u);
            EXPECT_EQ(config.Users[0]->AreaTree.size(), 3u);
            break;
        }
        EXPECT_EQ(WEXITSTATUS(status), TFileChangeFault::ExitCode);
        WriteFile(ConfigFileName(home), mainBefore);
        WriteFile(UsersFileName(home), usersBefore);
    }
    EXPECT_GT(k, 2);
}
