#include "nodelist/Nodelist.h"

#include "core/BufStream.h"
#include "core/CodePage.h"

#include "NodelistHelpers.h"
#include "TempDir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace tavro;
using tavro::test::Addresses;
using tavro::test::Lines;
using tavro::test::TTempDir;

namespace {

TNodelistIndex Compiled(const TTempDir& dir, std::vector<std::string> masks, const TFallbackZone& zone = {}) {
    TNodelistIndex index(dir.Path());
    const TNodelistCompileReport report = index.CompileNodelists(masks, zone);
    EXPECT_TRUE(report.Ok());
    for (const TNodelistFileReport& file : report.Files)
        EXPECT_FALSE(file.Failed) << file.Path << ":" << file.Line << ": " << file.Reason;
    index.LoadNodelistIndex();
    return index;
}

} // namespace

TEST(Nodelist, KeywordsCarryTheAddressFromLineToLine) {
    TTempDir dir;
    test::WriteFile(
        dir.File("NODELIST.340"),
        Lines({";A Nodelist for the test", ",5,Before_zone,Nowhere,Nobody,-Unpublished-,300",
               "Zone,1,Zone_one,Earth,Zone_Coord,1-1,33600,CM",
               "Region,10,Region_ten,Somewhere,Reg_Coord,1-2,33600",
               "Host,100,Host_net,City,Net_Coord,1-3,33600", ",1,Plain_node,City,John_Doe,1-4,33600",
               "Hub,200,Hub_node,City,Hub_Coord,1-5,33600",
               "Pvt,7,Private,City,Private_Sysop,-Unpublished-,300",
               "Point,3,A_point,City,Point_Sysop,-Unpublished-,300", ",8,Node_eight,City,Eight,1-8,300",
               "Hold,9,Held,City,Nine,1-9,300", "Down,11,Down,City,Eleven,1-11,300", "Bogus,12,x,y,z", "",
               "\x1A"}));
    TNodelistIndex index = Compiled(dir, {"nodelist.*"});
    EXPECT_EQ(Addresses(index),
              (std::vector<std::string>{"1:1/0.0", "1:10/0.0", "1:100/0.0", "1:100/1.0", "1:100/200.0",
                                        "1:100/7.0", "1:100/7.3", "1:100/8.0", "1:100/9.0", "1:100/11.0"}));
    const TNodeEntry* node = index.FindNodeByAddress(1, 100, 1, 0);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(index.ReadNodeLine(*node), ",1,Plain node,City,John Doe,1-4,33600");
    EXPECT_EQ(index.GetNodeField(*node, 2), "Plain node");
    EXPECT_EQ(index.GetNodeField(*node, 4), "John Doe");
    EXPECT_EQ(index.GetNodeField(*node, 6), "33600");
    EXPECT_EQ(index.GetNodeField(*index.FindNodeByAddress(1, 100, 7, 3), 5), "-Unpublished-");
    EXPECT_EQ(index.FindNodeByAddress(1, 100, 5, 0), nullptr);
}

TEST(Nodelist, BossLinesSetTheContextOfAPointlist) {
    // Points are listed as plain lines or with the keyword of their status.
    const std::string boss = "Boss,2:5020/7";
    const struct {
        const char* what;
        std::vector<std::string> lines;
        std::vector<std::string> addresses;
    } cases[] = {
        {"every status",
         {boss, ",1,P,M,S,-,300", "Pvt,2,P,M,S,-,300", "Hold,3,P,M,S,-,300", "Down,4,P,M,S,-,300",
          "Point,5,P,M,S,-,300", ",6,P,M,S,-,300"},
         {"2:5020/7.1", "2:5020/7.2", "2:5020/7.3", "2:5020/7.4", "2:5020/7.5", "2:5020/7.6"}},
        {"comments and unknown keywords inside",
         {boss, ";comment", "", "Bogus,9,x,y,z", "pvt,2,P,M,S,-,300"},
         {"2:5020/7.2"}},
        {"a new boss",
         {boss, "Pvt,1,P,M,S,-,300", "Boss,2:5030/9", "Pvt,4,P,M,S,-,300"},
         {"2:5020/7.1", "2:5030/9.4"}},
        // A nodelist after a pointlist in one file: the points end.
        {"Host",
         {boss, "Pvt,1,P,M,S,-,300", "Host,5030,H,M,S,1,300", "Pvt,2,N,M,S,1,300"},
         {"2:5020/7.1", "2:5030/0.0", "2:5030/2.0"}},
        {"Zone",
         {boss, "Hold,1,P,M,S,-,300", "Zone,3,Z,M,S,1,300", "Hold,2,N,M,S,1,300"},
         {"2:5020/7.1", "3:3/0.0", "3:3/2.0"}},
        {"Region",
         {boss, ",1,P,M,S,-,300", "Region,50,R,M,S,1,300", ",2,N,M,S,1,300"},
         {"2:5020/7.1", "2:50/0.0", "2:50/2.0"}},
        {"Hub",
         {boss, ",1,P,M,S,-,300", "Hub,100,H,M,S,1,300", "Down,2,N,M,S,1,300"},
         {"2:5020/7.1", "2:5020/100.0", "2:5020/2.0"}},
    };
    for (const auto& c : cases) {
        TTempDir dir;
        std::string text;
        for (const std::string& line : c.lines)
            text += line + "\r\n";
        test::WriteFile(dir.File("points.txt"), text);
        EXPECT_EQ(Addresses(Compiled(dir, {"points.txt"})), c.addresses) << c.what;
    }
}

// A private point once became node 2:5020/2 of the boss's net, and a look-up by its sysop
// offered that node.
TEST(Nodelist, APrivatePointIsFoundByNameAsThePoint) {
    TTempDir dir;
    test::WriteFile(dir.File("points.txt"),
                    Lines({"Boss,2:5020/7", ",1,Point_one,Moscow,Ivan_Petrov,-Unpublished-,300",
                           "Pvt,2,Point_two,Moscow,Petr_Ivanov,-Unpublished-,300"}));
    test::WriteFile(dir.File("nodelist.1"), Lines({"Zone,2,Z,E,S,1,300", "Host,5020,H,M,S,1,300",
                                                   ",2,Node_two,Moscow,Anna_Smirnova,1,300"}));
    const TNodelistIndex index = Compiled(dir, {"nodelist.*", "points.txt"});
    const auto found = index.FindNodesByName("Petr Ivanov");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(*found[0], (TNodeEntry{2, 5020, 7, 2, NameHash("Petr Ivanov"), found[0]->LineOffset, 1}));
    EXPECT_EQ(index.GetNodeField(*index.FindNodeByAddress(2, 5020, 2, 0), 4), "Anna Smirnova");
}

TEST(Nodelist, NamesAreFoundThroughTheirHash) {
    TTempDir dir;
    const TCodePagePair& pages = ActiveCodePages();
    test::WriteFile(dir.File("nodelist.001"),
                    Lines({"Zone,2,Z,Earth,Zone_Coord,1,300", "Host,5020,Moscow,Moscow,Host_Coord,1,300",
                           ",1,One,Moscow,John_DOE,1,300", ",2,Two,Moscow,john_doe,1,300",
                           ",3,Three,Moscow,Someone_Else,1,300",
                           ",4,Four,Moscow," + pages.Oem()->FromUtf8("Иван_Петров") + ",1,300"}));
    TNodelistIndex index = Compiled(dir, {"nodelist.*"});
    EXPECT_EQ(NameHash("John Doe"), NameHash("jOHN dOE"));
    auto found = index.FindNodesByName("John Doe");
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0]->Node, 1);
    EXPECT_EQ(found[1]->Node, 2);
    auto russian = index.FindNodesByName(pages.Display()->FromUtf8("Иван Петров"));
    ASSERT_EQ(russian.size(), 1u);
    EXPECT_EQ(russian[0]->Node, 4);
    EXPECT_TRUE(index.FindNodesByName("Nobody Here").empty());
}

TEST(Nodelist, ABadNumberAbandonsThatFileOnly) {
    TTempDir dir;
    test::WriteFile(dir.File("nodelist.a"),
                    Lines({"Zone,1,Z,E,S,1,300", ",1,A,B,C,1,300", ",x1,Bad,B,C,1,300"}));
    test::WriteFile(dir.File("nodelist.b"), Lines({"Zone,3,Z,E,S,1,300", ",2,A,B,Second_File,1,300"}));
    TNodelistIndex index(dir.Path());
    const TNodelistCompileReport report = index.CompileNodelists({"nodelist.*"});
    ASSERT_EQ(report.Files.size(), 2u);
    EXPECT_TRUE(report.Files[0].Failed);
    EXPECT_FALSE(report.Files[1].Failed);
    index.LoadNodelistIndex();
    EXPECT_EQ(Addresses(index), (std::vector<std::string>{"3:3/0.0", "3:3/2.0"}));
    // The failed file is listed before it, so its lines are read by their own number.
    EXPECT_EQ(index.Entries()[1].FileNo, 1);
    EXPECT_EQ(index.GetNodeField(index.Entries()[1], 4), "Second File");
}

TEST(Nodelist, ChangesAreNoticedAndTheOldIndexStaysUntilANewOneIsComplete) {
    TTempDir dir;
    const std::string list = dir.File("nodelist.340");
    test::WriteFile(list, Lines({"Zone,1,Z,E,S,1,300", ",1,A,B,C,1,300"}));
    TNodelistIndex index(dir.Path());
    EXPECT_TRUE(index.NodelistsChanged()); // nothing compiled yet
    ASSERT_TRUE(index.CompileNodelists({" nodelist.* ", ""}).Ok());
    EXPECT_FALSE(index.NodelistsChanged());
    struct timespec times[2] = {{1000, 0}, {1000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, list.c_str(), times, 0), 0);
    EXPECT_TRUE(index.NodelistsChanged());

    // A cancelled compilation leaves the previous files.
    const std::string before = test::ReadFile(dir.File("Tavro.ndx"));
    const TNodelistCompileReport cancelled =
        index.CompileNodelists({"nodelist.*"}, {}, [](int, const std::string&) { return false; });
    EXPECT_TRUE(cancelled.Cancelled);
    EXPECT_FALSE(cancelled.Ok());
    EXPECT_EQ(test::ReadFile(dir.File("Tavro.ndx")), before);

    std::vector<std::pair<int, std::string>> progress;
    ASSERT_TRUE(index
                    .CompileNodelists({dir.File("NODELIST.*")}, {},
                                      [&](int p, const std::string& name) {
                                          progress.emplace_back(p, name);
                                          return true;
                                      })
                    .Ok());
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.front(), std::make_pair(0, std::string("nodelist.340")));
    EXPECT_FALSE(index.NodelistsChanged());
}

TEST(Nodelist, DamagedIndexFilesGiveAnEmptyIndex) {
    TTempDir dir;
    test::WriteFile(dir.File("nodelist.1"), Lines({"Zone,1,Z,E,S,1,300"}));
    TNodelistIndex index = Compiled(dir, {"nodelist.1"});
    ASSERT_EQ(index.Entries().size(), 1u);
    std::string ndx = test::ReadFile(dir.File("Tavro.ndx"));
    test::WriteFile(dir.File("Tavro.ndx"), ndx + "tail"); // a torn entry is ignored
    index.LoadNodelistIndex();
    EXPECT_EQ(index.Entries().size(), 1u);
    std::remove(dir.File("Tavro.nls").c_str());
    index.LoadNodelistIndex();
    EXPECT_TRUE(index.Entries().empty());
    EXPECT_EQ(index.FindNodeByAddress(1, 1, 0, 0), nullptr);

    // An entry whose file number the list does not hold is an error to its reader.
    TNodeEntry stray;
    stray.FileNo = 9;
    EXPECT_THROW(index.ReadNodeLine(stray), EFileError);
}

TEST(Nodelist, FieldsOfALine) {
    const std::string line = "Hub,200,System,Location,Sysop,Phone,9600,CM,XA";
    struct {
        int k;
        const char* field;
    } cases[] = {{0, "Hub"}, {1, "200"}, {2, "System"}, {4, "Sysop"}, {5, "Phone"}, {6, "9600,CM,XA"}};
    for (const auto& c : cases)
        EXPECT_EQ(NodeLineField(line, c.k), c.field) << c.k;
    EXPECT_EQ(NodeLineField(",1,A,B,C", 5), "");
    EXPECT_EQ(NodeLineField(",1,A,B,C", 6), "");
}
