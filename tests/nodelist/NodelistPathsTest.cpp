#include "nodelist/NodelistPaths.h"
#include "nodelist/Nodelist.h"

#include "TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace tavro;
using tavro::test::TTempDir;

TEST(NodelistPaths, WhatTheUserTypedBecomesFullPaths) {
    const std::string home = "/home/u/.config/tavro";
    const struct {
        const char* ndlDir;
        const char* dir;
    } dirs[] = {
        {"", "/home/u/.config/tavro"},
        {"  ", "/home/u/.config/tavro"},
        {"nodelist", "/home/u/.config/tavro/nodelist"},
        {" nodelist/ ", "/home/u/.config/tavro/nodelist"},
        {"..\\fido\\nodelist", "/home/u/.config/fido/nodelist"},
        {"/srv/fido/nodelist/", "/srv/fido/nodelist"},
        {"/", "/"},
    };
    for (const auto& d : dirs)
        EXPECT_EQ(FullNodelistDir(d.ndlDir, home), d.dir) << d.ndlDir;

    const struct {
        const char* mask;
        const char* full;
    } masks[] = {
        {"NODELIST.*", "NODELIST.*"}, // the nodelist directory, wherever it moves
        {" pnt5020.ndl ", "pnt5020.ndl"},
        {"points/*.pnt", "/srv/nl/points/*.pnt"},
        {"..\\other\\NODELIST.*", "/srv/other/NODELIST.*"},
        {"/var/fido/z2pnt.*", "/var/fido/z2pnt.*"},
        {"/NODELIST.*", "/NODELIST.*"},
        {"   ", ""},
    };
    for (const auto& m : masks)
        EXPECT_EQ(FullNodelistMask(m.mask, "/srv/nl"), m.full) << m.mask;

    const TNodelistPaths paths = FullNodelistPaths("nl", {"NODELIST.*", "", "pnt/*.pnt"}, home);
    EXPECT_EQ(paths.Dir, "/home/u/.config/tavro/nl");
    EXPECT_EQ(paths.Masks, (std::vector<std::string>{"NODELIST.*", "/home/u/.config/tavro/nl/pnt/*.pnt"}));
}

// A relative directory once meant the working directory, which a desktop program does not
// choose.
TEST(NodelistPaths, RelativeDirectoriesAreTakenFromTheConfigurationAndNodelistDirectories) {
    TTempDir home;
    std::filesystem::create_directories(home.File("nodelist/points"));
    test::WriteFile(home.File("nodelist/NODELIST.001"), "Zone,2,Z,E,S,1,300\r\n");
    test::WriteFile(home.File("nodelist/points/PNT.001"), "Boss,2:5020/1\r\n,1,P,M,S,-,300\r\n");
    TNodelistIndex index("nodelist", home.Path());
    EXPECT_EQ(index.Dir(), home.File("nodelist/"));
    const TNodelistCompileReport report = index.CompileNodelists({"NODELIST.*", "points/PNT.*"});
    ASSERT_TRUE(report.Ok());
    ASSERT_EQ(report.Files.size(), 2u);
    EXPECT_EQ(report.Files[0].Path, home.File("nodelist/NODELIST.001"));
    EXPECT_EQ(report.Files[1].Path, home.File("nodelist/points/PNT.001"));
    EXPECT_TRUE(test::FileExists(home.File("nodelist/Tavro.ndx")));
    index.LoadNodelistIndex();
    EXPECT_EQ(index.Entries().size(), 2u);
}
