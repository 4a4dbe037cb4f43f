#include "CliRun.h"

#include "bases/FidoBase.h"
#include "config/Config.h"
#include "config/ConfigFile.h"
#include "config/UsersFile.h"

#include "TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

using namespace tavro;
using tavro::test::Invoke;
using tavro::test::TCliResult;
using tavro::test::TTempDir;
using tavro::test::WriteFile;

namespace {

// A *.MSG area with two messages, which user 1 has read and user 0 has not.
void WriteArea(const std::string& dir) {
    std::filesystem::create_directories(dir);
    TFidoBase base(dir, "", "");
    base.Rescan();
    for (const char* subject : {"First", "Second"}) {
        auto msg = base.NewMsg();
        msg->FromName = "Ivan Petrov";
        msg->ToName = "All";
        msg->Subject = subject;
        msg->Body = {{"Hi"}};
        ASSERT_TRUE(msg->Save());
    }
    base.Rescan();
    base.SetUser(1, "Olga Ivanova");
    for (int i = 0; i < base.GetCount(); ++i)
        base.SetRead(base.GetMsgId(i), true);
    base.Close();
}

TEcho* AddArea(TConfig& config, const std::string& name, uint8_t echoType, uint8_t baseType,
               const std::string& aka, const std::string& path) {
    auto echo = std::make_unique<TEcho>();
    echo->Name = name;
    echo->EchoType = echoType;
    echo->BaseType = baseType;
    echo->Address.Parse(aka);
    echo->Path = path;
    config.Echoes.push_back(std::move(echo));
    return config.Echoes.back().get();
}

void AddUser(TConfig& config, int id, const std::string& name, std::vector<std::unique_ptr<TTreeInfo>> tree) {
    auto user = config.NewUser();
    user->UserId = id;
    user->Name = name;
    user->AreaTree = std::move(tree);
    config.Users.push_back(std::move(user));
}

class AreasCommandTest : public ::testing::Test {
protected:
    TTempDir Home;
    std::string Netmail = Home.File("netmail");
    std::string Damaged = Home.File("damaged.sqd");

    // Four areas: a *.MSG area with two messages, a missing Squish base, a damaged one and
    // a missing JAM base; two users with trees.
    void WriteConfiguration() {
        WriteArea(Netmail);
        WriteFile(Damaged, "not a squish base");
        TConfig config;
        TEcho* netmail = AddArea(config, "NETMAIL", etNetmail, btMsg, "2:5020/1042.7", Netmail);
        TEcho* echo =
            AddArea(config, "RU.TEST", etEchomail, btSquish, "2:5020/1042@fidonet", Home.File("rutest.sqd"));
        TEcho* bad = AddArea(config, "BADMAIL", etBadmail, btSquish, "2:5020/1042", Damaged);
        AddArea(config, "SU.GENERAL", etEchomail, btJam, "2:5020/1042", Home.File("general.jhr"));

        std::vector<std::unique_ptr<TTreeInfo>> tree;
        tree.push_back(std::make_unique<TTreeInfo>());
        tree.back()->Name = "Fido";
        tree.back()->Children.push_back(std::make_unique<TTreeInfo>(netmail));
        tree.back()->Children.push_back(std::make_unique<TTreeInfo>(echo));
        tree.back()->Children.back()->Name = "Test area"; // a caption; the area name is shown
        tree.push_back(std::make_unique<TTreeInfo>(bad));
        AddUser(config, 0, "Ivan Petrov", std::move(tree));
        std::vector<std::unique_ptr<TTreeInfo>> flat;
        flat.push_back(std::make_unique<TTreeInfo>(netmail));
        AddUser(config, 1, "Olga Ivanova", std::move(flat));

        SaveConfig(config, ConfigFileName(Home.Path()));
        SaveUsers(config, UsersFileName(Home.Path()));
    }

    TCliResult Run(std::vector<std::string> args) {
        args.insert(args.end(), {"--home", Home.Path()});
        return Invoke(std::move(args));
    }
};

} // namespace

TEST_F(AreasCommandTest, ListsTheAreasInOrderWithKindFormatAkaAndPath) {
    WriteConfiguration();
    const TCliResult r = Run({"areas"});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "NAME\tKIND\tFORMAT\tAKA\tPATH\n"
                     "NETMAIL\tNetmail\tMSG\t2:5020/1042.7\t" +
                         Netmail + "\n" + "RU.TEST\tEchomail\tSquish\t2:5020/1042@fidonet\t" +
                         Home.File("rutest.sqd") + "\n" + "BADMAIL\tCorrupted mail\tSquish\t2:5020/1042\t" +
                         Damaged + "\n" + "SU.GENERAL\tEchomail\tJAM\t2:5020/1042\t" +
                         Home.File("general.jhr") + "\n");
    EXPECT_EQ(r.Err, "");
}

TEST_F(AreasCommandTest, WithAUserCountsMessagesAndTellsUnreadMail) {
    WriteConfiguration();
    const std::string columns = "NAME\tKIND\tFORMAT\tAKA\tPATH\tMESSAGES\tUNREAD\n";
    const std::string rest = "RU.TEST\tEchomail\tSquish\t2:5020/1042@fidonet\t" + Home.File("rutest.sqd") +
                             "\tmissing\tmissing\n" + "BADMAIL\tCorrupted mail\tSquish\t2:5020/1042\t" +
                             Damaged + "\tlocked\tlocked\n" + "SU.GENERAL\tEchomail\tJAM\t2:5020/1042\t" +
                             Home.File("general.jhr") + "\tmissing\tmissing\n";
    const struct {
        const char* user;
        const char* netmailColumns;
    } cases[] = {{"0", "\t2\tyes\n"}, {"1", "\t2\tno\n"}, {"7", "\t2\tyes\n"}};
    for (const auto& c : cases) {
        const TCliResult r = Run({"areas", "--user", c.user});
        EXPECT_EQ(r.Status, 0) << c.user << r.Err;
        EXPECT_EQ(r.Err, "") << c.user;
        EXPECT_EQ(r.Out,
                  columns + "NETMAIL\tNetmail\tMSG\t2:5020/1042.7\t" + Netmail + c.netmailColumns + rest)
            << c.user;
    }
    // Listing creates no base.
    EXPECT_FALSE(test::FileExists(Home.File("rutest.sqd")));
    EXPECT_FALSE(test::FileExists(Home.File("general.jhr")));
}

TEST_F(AreasCommandTest, ListsTheUsersWithTheirAreaTrees) {
    WriteConfiguration();
    const TCliResult r = Run({"users"});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "0\tIvan Petrov\n"
                     "  Fido/\n"
                     "    NETMAIL\n"
                     "    RU.TEST\n"
                     "  BADMAIL\n"
                     "1\tOlga Ivanova\n"
                     "  NETMAIL\n");
}

TEST_F(AreasCommandTest, AMissingConfigurationIsEmptyAndTavroHomeIsTheDefault) {
    EXPECT_EQ(Run({"areas"}).Out, "NAME\tKIND\tFORMAT\tAKA\tPATH\n");
    EXPECT_EQ(Run({"users"}).Out, "");

    WriteConfiguration();
    ::setenv("TAVRO_HOME", Home.Path().c_str(), 1);
    const TCliResult r = Invoke({"users"});
    ::unsetenv("TAVRO_HOME");
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out.substr(0, 14), "0\tIvan Petrov\n");
}

TEST_F(AreasCommandTest, ADamagedConfigurationFailsWithOneLine) {
    const std::string config = ConfigFileName(Home.Path());
    const std::string users = UsersFileName(Home.Path());
    const struct {
        const char* what;
        std::string file, data;
    } cases[] = {
        {"an unknown version", config, "TavroCfg9.99"},
        {"users cut short", users, "TavroUsr0.62\x05"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(config);
        std::filesystem::remove(users);
        WriteFile(c.file, c.data);
        for (const char* command : {"areas", "users"}) {
            const TCliResult r = Run({command});
            EXPECT_EQ(r.Status, 1) << command << ", " << c.what;
            EXPECT_EQ(r.Out, "") << command << ", " << c.what;
            EXPECT_EQ(r.Err.find('\n'), r.Err.size() - 1) << r.Err;
            EXPECT_EQ(r.Err.rfind(std::string("tavro-cli ") + command + ": ", 0), 0u) << r.Err;
        }
    }
}

TEST_F(AreasCommandTest, MisuseExitsWithTwo) {
    const std::vector<std::vector<std::string>> misuse = {
        {"areas", "extra"},       {"areas", "--user", "256"}, {"areas", "--user", "x"}, {"areas", "--bogus"},
        {"users", "--user", "1"}, {"users", "extra"},         {"areas", "--home"}};
    for (const auto& args : misuse) {
        const TCliResult r = Invoke(args);
        EXPECT_EQ(r.Status, 2) << args[1];
        EXPECT_NE(r.Err, "") << args[1];
    }
}
