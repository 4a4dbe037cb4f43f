#include "config/ConfigSave.h"

#include "config/AddressBookFile.h"
#include "config/CfgStream.h"
#include "config/Config.h"
#include "config/ConfigFile.h"
#include "config/ConfigLock.h"
#include "config/UsersFile.h"
#include "core/ConfigDir.h"

#include "FileFaults.h"
#include "RecordingUi.h"
#include "TempDir.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tavro;
using test::ReadFile;
using test::TFileChangeFault;
using test::WriteFile;

namespace {

class ConfigSave : public ::testing::Test {
protected:
    // One copy of the program: what it read at its start.
    std::unique_ptr<TConfig> Start() {
        auto config = std::make_unique<TConfig>();
        LoadConfig(*config, ConfigFileName(Dir.Path()));
        LoadUsers(*config, UsersFileName(Dir.Path()));
        LoadAddressBook(*config, AddressBookFileName(Dir.Path()));
        return config;
    }

    static TEcho& AddArea(TConfig& config, const std::string& tag) {
        config.Echoes.push_back(std::make_unique<TEcho>());
        config.Echoes.back()->Name = tag;
        config.Echoes.back()->Path = "/fido/" + tag;
        return *config.Echoes.back();
    }

    static TUser& AddUser(TConfig& config, int32_t id, const std::string& name) {
        config.Users.push_back(config.NewUser());
        config.Users.back()->UserId = id;
        config.Users.back()->Name = name;
        return *config.Users.back();
    }

    static void AddLeaf(TConfig& config, TUser& user, const std::string& tag) {
        for (const auto& echo : config.Echoes)
            if (echo->Name == tag)
                user.AreaTree.push_back(std::make_unique<TTreeInfo>(echo.get()));
    }

    static std::vector<std::string> Leaves(const TUser& user) {
        std::vector<std::string> tags;
        for (const auto& node : user.AreaTree)
            if (!node->IsFolder())
                tags.push_back(node->Echo->Name);
        return tags;
    }

    static const TUser* User(const TConfig& config, int32_t id) {
        for (const auto& user : config.Users)
            if (user->UserId == id)
                return user.get();
        return nullptr;
    }

    static std::vector<std::string> Tags(const TConfig& config) {
        std::vector<std::string> tags;
        for (const auto& echo : config.Echoes)
            tags.push_back(echo->Name);
        return tags;
    }

    // Two areas, two users with a leaf each, one contact.
    void Seed() {
        TConfig config;
        AddArea(config, "NETMAIL");
        AddArea(config, "RU.LINUX");
        AddLeaf(config, AddUser(config, 0, "Ivan"), "NETMAIL");
        AddLeaf(config, AddUser(config, 1, "Petr"), "RU.LINUX");
        config.ABUsers.push_back(std::make_unique<TABUser>());
        config.ABUsers.back()->FirstName = "Sergey";
        config.ABUsers.back()->Address = TAddress(2, 5020, 1);
        SaveConfigAndUsers(config, Dir.Path());
        SaveAddressBook(config, AddressBookFileName(Dir.Path()));
    }

    test::TTempDir Dir;
};

} // namespace

// Two copies of the program run at once: what each changed reaches the files, whatever order
// they save in, and nothing one of them added is lost.
TEST_F(ConfigSave, SavesOfTwoCopiesMergeInsteadOfOverwriting) {
    Seed();
    auto first = Start(), second = Start();

    first->Users[0]->RealName = "Ivan Petrov";
    AddUser(*first, 5, "Added by the first");
    first->ABUsers.push_back(std::make_unique<TABUser>());
    first->ABUsers.back()->FirstName = "New contact";
    SaveConfigFiles(*first, {{TConfigFile::Users, UsersFileName(Dir.Path())},
                             {TConfigFile::Book, AddressBookFileName(Dir.Path())}});

    second->Users[1]->RealName = "Petr Sidorov";
    AddUser(*second, 7, "Added by the second");
    second->ABUsers[0]->VoicePhone = "+7-495-0000000";
    SaveConfigFiles(*second, {{TConfigFile::Users, UsersFileName(Dir.Path())},
                              {TConfigFile::Book, AddressBookFileName(Dir.Path())}});

    auto after = Start();
    ASSERT_EQ(after->Users.size(), 4u);
    EXPECT_EQ(User(*after, 0)->RealName, "Ivan Petrov") << "the second copy did not touch user 0";
    EXPECT_EQ(User(*after, 1)->RealName, "Petr Sidorov");
    ASSERT_NE(User(*after, 5), nullptr);
    ASSERT_NE(User(*after, 7), nullptr);
    EXPECT_EQ(Leaves(*User(*after, 1)), std::vector<std::string>{"RU.LINUX"});
    ASSERT_EQ(after->ABUsers.size(), 2u);
    EXPECT_EQ(after->ABUsers[0]->VoicePhone, "+7-495-0000000");
    EXPECT_EQ(after->ABUsers[1]->FirstName, "New contact");
    // The second copy now holds what it wrote, the first copy's work included.
    EXPECT_NE(User(*second, 5), nullptr);
}

// An import by one copy and a change of the settings by another: the areas of the import stay,
// the change comes on top, and the users' leaves follow their areas by tag.
TEST_F(ConfigSave, AChangedMainFileGetsThisCopysChangeOnTop) {
    Seed();
    auto importer = Start(), editor = Start();
    importer->Echoes.erase(importer->Echoes.begin()); // NETMAIL gone, the leaf with it
    importer->Users[0]->AreaTree.clear();
    AddArea(*importer, "SU.FIDOTECH");
    importer->Echoes[0]->Origin = "changed by the import";
    SaveConfigAndUsers(*importer, Dir.Path());

    editor->Settings.Origins = {"A new origin"};
    AddArea(*editor, "LOCAL.MINE");
    SaveConfigAndUsers(*editor, Dir.Path());

    auto after = Start();
    EXPECT_EQ(Tags(*after), (std::vector<std::string>{"RU.LINUX", "LOCAL.MINE", "SU.FIDOTECH"}));
    EXPECT_EQ(after->Echoes[0]->Origin, "changed by the import");
    EXPECT_EQ(after->Settings.Origins, std::vector<std::string>{"A new origin"});
    EXPECT_TRUE(User(*after, 0)->AreaTree.empty());
    EXPECT_EQ(Leaves(*User(*after, 1)), std::vector<std::string>{"RU.LINUX"});
}

// The users' leaves name their areas by place and tag; when the two disagree (the main file
// changed without the users file) the tag wins, and a tag no area has any more drops the leaf.
TEST_F(ConfigSave, LeavesFindTheirAreasByTag) {
    Seed();
    TConfig moved;
    AddArea(moved, "RU.LINUX");
    AddArea(moved, "NEW.AREA");
    SaveConfig(moved, ConfigFileName(Dir.Path()));
    auto after = Start();
    EXPECT_TRUE(User(*after, 0)->AreaTree.empty()) << "NETMAIL is gone";
    EXPECT_EQ(Leaves(*User(*after, 1)), std::vector<std::string>{"RU.LINUX"});
}

TEST_F(ConfigSave, AnAddressBookThatIsNotOursIsKeptAside) {
    const std::string book = AddressBookFileName(Dir.Path());
    WriteFile(book, "Some other program's book\r\nwith its data");
    auto config = Start();
    EXPECT_TRUE(config->ABUsers.empty());
    config->ABUsers.push_back(std::make_unique<TABUser>());
    config->ABUsers.back()->FirstName = "Mine";
    test::TRecordingUi ui;
    SaveAddressBook(*config, book);
    EXPECT_EQ(ReadFile(book + ".unknown"), "Some other program's book\r\nwith its data");
    ASSERT_EQ(ui.Errors.size(), 1u);
    EXPECT_NE(ui.Errors[0].find(".unknown"), std::string::npos);
    auto after = Start();
    ASSERT_EQ(after->ABUsers.size(), 1u);
    // Ours from now on: the next save writes over it as usual.
    SaveAddressBook(*config, book);
    EXPECT_EQ(ui.Errors.size(), 1u);
    EXPECT_FALSE(test::FileExists(book + ".unknown.1"));

    // Only the file that was not ours is kept aside, not another one saved to.
    const std::string other = Dir.File("other.cfg");
    WriteFile(other, "not a book");
    TConfig stranger;
    LoadAddressBook(stranger, other);
    SaveAddressBook(stranger, book);
    EXPECT_FALSE(test::FileExists(book + ".unknown.1"));
    EXPECT_EQ(ui.Errors.size(), 1u);
}

// The two files are written as one: a failure at any step of the save leaves both old files,
// and a crash between the renames leaves files whose leaves still find their areas.
TEST_F(ConfigSave, TheMainAndTheUsersFileAreWrittenAsOne) {
    Seed();
    const std::string mainFile = ConfigFileName(Dir.Path()), usersFile = UsersFileName(Dir.Path());
    const std::string mainBefore = ReadFile(mainFile), usersBefore = ReadFile(usersFile);
    auto change = [](TConfig& config) {
        config.Echoes.insert(config.Echoes.begin(), std::make_unique<TEcho>());
        config.Echoes.front()->Name = "FIRST.NOW";
        config.Users[0]->AreaTree.push_back(std::make_unique<TTreeInfo>(config.Echoes.front().get()));
    };
    for (int k = 1;; ++k) {
        SCOPED_TRACE(k);
        auto config = Start();
        change(*config);
        bool failed = false;
        bool hit;
        {
            TFileChangeFault fault(k);
            try {
                SaveConfigAndUsers(*config, Dir.Path());
            } catch (const EConfigError&) {
                failed = true;
            }
            hit = fault.Hit();
        }
        if (!hit)
            break;
        // A step that only guards the others (keeping an old file reachable) may fail
        // without failing the save; then the save is complete.
        EXPECT_EQ(Start()->Echoes.size(), failed ? 2u : 3u);
        if (failed) {
            EXPECT_EQ(ReadFile(mainFile), mainBefore);
            EXPECT_EQ(ReadFile(usersFile), usersBefore);
        } else {
            EXPECT_EQ(Leaves(*User(*Start(), 0)), (std::vector<std::string>{"NETMAIL", "FIRST.NOW"}));
        }
        WriteFile(mainFile, mainBefore);
        WriteFile(usersFile, usersBefore);
    }
    for (int k = 1;; ++k) {
        SCOPED_TRACE(k);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            auto config = Start();
            change(*config);
            TFileChangeFault fault(k, TFileChangeFault::TAction::Exit);
            SaveConfigAndUsers(*config, Dir.Path());
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        auto after = Start();
        EXPECT_EQ(Leaves(*User(*after, 1)), std::vector<std::string>{"RU.LINUX"});
        const std::vector<std::string> leaves = Leaves(*User(*after, 0));
        EXPECT_TRUE(leaves == std::vector<std::string>{"NETMAIL"} ||
                    leaves == (std::vector<std::string>{"NETMAIL", "FIRST.NOW"}))
            << leaves.size();
        WriteFile(mainFile, mainBefore);
        WriteFile(usersFile, usersBefore);
        if (WEXITSTATUS(status) == 0)
            break;
    }
}

TEST_F(ConfigSave, FilesAndTheDirectoryAreTheUsersAlone) {
    const std::string home = Dir.File("home/tavro");
    ASSERT_EQ(setenv("TAVRO_HOME", home.c_str(), 1), 0);
    std::string dir;
    ASSERT_TRUE(EnsureConfigDir(dir));
    unsetenv("TAVRO_HOME");
    struct stat st;
    ASSERT_EQ(stat(home.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    TConfig config;
    SaveConfigAndUsers(config, home);
    SaveAddressBook(config, AddressBookFileName(home));
    for (const std::string& file : {ConfigFileName(home), UsersFileName(home), AddressBookFileName(home)}) {
        ASSERT_EQ(stat(file.c_str(), &st), 0) << file;
        EXPECT_EQ(st.st_mode & 0777, 0600u) << file;
    }
    // A file the user opened up stays as the user set it.
    ASSERT_EQ(chmod(ConfigFileName(home).c_str(), 0640), 0);
    SaveConfig(config, ConfigFileName(home));
    ASSERT_EQ(stat(ConfigFileName(home).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(ConfigSave, RunningCopiesShareTheirLockAnImportNeedsItAlone) {
    auto first = TConfigLock::Take(Dir.Path(), TConfigLock::TKind::Running);
    auto second = TConfigLock::Take(Dir.Path(), TConfigLock::TKind::Running);
    ASSERT_TRUE(first);
    ASSERT_TRUE(second);
    EXPECT_FALSE(TConfigLock::Take(Dir.Path(), TConfigLock::TKind::Importing));
    // Saves go on while programs run.
    EXPECT_TRUE(TConfigLock::Take(Dir.Path(), TConfigLock::TKind::Saving));
    first.reset();
    second.reset();
    auto import = TConfigLock::Take(Dir.Path(), TConfigLock::TKind::Importing);
    EXPECT_TRUE(import);
    EXPECT_FALSE(TConfigLock::Take(Dir.Path(), TConfigLock::TKind::Running));
}
