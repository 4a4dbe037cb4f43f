// The nodelist lines shown over the names and addresses of a message header.
#include "nodelist/NodeHints.h"
#include "nodelist/Nodelist.h"

#include "NodelistHelpers.h"
#include "TempDir.h"

#include <gtest/gtest.h>

using namespace tavro;
using tavro::test::Lines;
using tavro::test::TTempDir;

TEST(NodeHints, EveryEntryOfANameOrAddressInIndexOrder) {
    TTempDir dir;
    test::WriteFile(dir.File("nodelist.001"),
                    Lines({"Zone,2,Z,Earth,Zone_Coord,1,300", "Host,5020,Moscow_Net,Moscow,Host_Coord,1,300",
                           ",1,One,Moscow,John_Doe,7-095-1,9600,CM", ",2,Two,Tver,john_doe,1,",
                           ",3,Three,Tula,John_Doe,1,300"}));
    // The same node listed again by a second list.
    test::WriteFile(dir.File("nodelist.002"),
                    Lines({"Zone,2,Z,Earth,Zone_Coord,1,300", "Host,5020,Moscow_Net,Moscow,Host_Coord,1,300",
                           ",1,One_Again,Moscow,Ann_Lee,-Unpublished-,300"}));
    TNodelistIndex index(dir.Path());
    ASSERT_TRUE(index.CompileNodelists({"nodelist.*"}).Ok());
    index.LoadNodelistIndex();

    const TNodeHints hints = BuildNodeHints(index, "john doe", TAddress(2, 5020, 1), "Nobody", TAddress());
    // Node 2 has no speed field: no line.
    EXPECT_EQ(hints.FromName,
              "2:5020/1,One,Moscow,John Doe,7-095-1,9600,CM\r2:5020/3,Three,Tula,John Doe,1,300");
    EXPECT_EQ(
        hints.FromAddr,
        "2:5020/1,One,Moscow,John Doe,7-095-1,9600,CM\r2:5020/1,One Again,Moscow,Ann Lee,-Unpublished-,300");
    EXPECT_EQ(hints.ToName, "");
    EXPECT_EQ(hints.ToAddr, "");

    TNodelistIndex empty(dir.File("none"));
    empty.LoadNodelistIndex();
    const TNodeHints none = BuildNodeHints(empty, "John Doe", TAddress(2, 5020, 1), "", TAddress(2, 5020, 1));
    EXPECT_EQ(none.FromName + none.FromAddr + none.ToName + none.ToAddr, "");
}
