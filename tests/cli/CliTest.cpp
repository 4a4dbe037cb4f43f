#include "CliRun.h"
#include "Command.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sstream>

using namespace tavro::cli;
using tavro::test::Invoke;
using tavro::test::TCliResult;

TEST(Cli, HelpListsEveryCommand) {
    TCliResult r = Invoke({"--help"});
    EXPECT_EQ(r.Status, 0);
    EXPECT_NE(r.Out.find("Usage: tavro-cli"), std::string::npos);
    for (const TCommand& command : Commands())
        EXPECT_NE(r.Out.find(command.Usage), std::string::npos) << command.Name;
    EXPECT_EQ(Invoke({"-h"}).Out, r.Out);
}

TEST(Cli, VersionNamesThisSystem) {
    TCliResult r = Invoke({"--version"});
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(r.Out, "Tavro 2001 Build 0063-RC10/Linux\n");
}

TEST(Cli, MisuseIsOneLineOnStandardErrorAndAFailure) {
    for (const auto& args : {std::vector<std::string>{"frobnicate"}, {"sysinfo", "extra"}}) {
        TCliResult r = Invoke(args);
        EXPECT_NE(r.Status, 0);
        EXPECT_TRUE(r.Out.empty());
        EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 1) << r.Err;
    }
    EXPECT_NE(Invoke({}).Status, 0);
}

TEST(Cli, ProgramRunsAsAProcess) {
    std::string command = std::string(TAVRO_CLI_PATH) + " --version";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char line[128] = {};
    ASSERT_NE(fgets(line, sizeof line, pipe), nullptr);
    EXPECT_EQ(pclose(pipe), 0);
    EXPECT_EQ(std::string(line), "Tavro 2001 Build 0063-RC10/Linux\n");
}
