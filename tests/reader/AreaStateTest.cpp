#include "reader/AreaState.h"

#include "config/Echo.h"
#include "config/TreeInfo.h"
#include "config/User.h"
#include "core/Base.h"

#include "RecordingUi.h"
#include "TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace tavro;
using tavro::test::TTempDir;
using tavro::test::WriteFile;

namespace {

std::unique_ptr<TEcho> MakeArea(const std::string& tag, int baseType, const std::string& path) {
    auto echo = std::make_unique<TEcho>();
    echo->Name = tag;
    echo->EchoType = etEchomail;
    echo->BaseType = static_cast<uint8_t>(baseType);
    echo->Path = path;
    return echo;
}

// Writes `count` messages and closes the base; the writer (user 1) has read them all.
void Post(TEcho& echo, int count) {
    if (echo.BaseType == btMsg)
        std::filesystem::create_directories(echo.Path);
    TBaseRef base = echo.GetBase();
    ASSERT_TRUE(base && base->CreateIfMissing());
    base->SetUser(1, "Olga Ivanova");
    for (int i = 0; i < count; ++i) {
        auto msg = base->NewMsg();
        msg->FromName = "Ivan Petrov";
        msg->ToName = "All";
        msg->Subject = "Test " + std::to_string(i);
        msg->Body = {{"Hi"}};
        ASSERT_TRUE(msg->Save());
    }
    base->Close();
    echo.CloseBase();
}

TUser MakeUser(int id, const std::string& name) {
    TUser user;
    user.UserId = id;
    user.Name = name;
    return user;
}

class AreaStateTest : public ::testing::Test {
protected:
    TTempDir Home;
    test::TRecordingUi Ui;
    TUser Reader = MakeUser(0, "Ivan Petrov");
    TUser Writer = MakeUser(1, "Olga Ivanova");
};

} // namespace

TEST_F(AreaStateTest, MissingStorageIsAnEmptyAreaAndNothingIsCreated) {
    const struct {
        int type;
        const char* path;
    } cases[] = {
        {btMsg, "netmail"}, {btSquish, "echo.sqd"}, {btJam, "echo.jhr"}, {btJam, "no/such/dir/x.jhr"}};
    for (const auto& c : cases) {
        auto echo = MakeArea("AREA", c.type, Home.File(c.path));
        const TAreaState state = InspectArea(*echo, Reader);
        EXPECT_EQ(state.Kind, TAreaState::Missing) << c.path;
        EXPECT_EQ(state.Count, 0) << c.path;
        EXPECT_FALSE(state.Unread) << c.path;
        EXPECT_EQ(echo->Base(), nullptr) << c.path;
        EXPECT_FALSE(std::filesystem::exists(Home.File(c.path))) << c.path;
    }
    // A *.MSG base made on a missing directory would have said so in a box.
    EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(AreaStateTest, StorageThatCannotBeReadIsLocked) {
    WriteFile(Home.File("damaged.jhr"), "not a JAM header at all");
    WriteFile(Home.File("damaged.sqd"), "not a squish base");
    std::filesystem::create_directories(Home.File("dir.jhr"));
    std::filesystem::create_directories(Home.File("dir.sqd"));
    WriteFile(Home.File("plainfile"), "a file where the *.MSG directory should be");
    const struct {
        int type;
        const char* path;
    } cases[] = {{btJam, "damaged.jhr"}, {btSquish, "damaged.sqd"}, {btJam, "dir.jhr"},
                 {btSquish, "dir.sqd"},  {btMsg, "plainfile"},      {9, "netmail"}};
    for (const auto& c : cases) {
        auto echo = MakeArea("AREA", c.type, Home.File(c.path));
        EXPECT_EQ(InspectArea(*echo, Reader).Kind, TAreaState::Locked) << c.path;
    }
}

TEST_F(AreaStateTest, CountsMessagesAndTellsUnreadForEachUser) {
    for (int type : {btMsg, btSquish, btJam}) {
        const std::string path =
            Home.File("area" + std::to_string(type) + (type == btSquish ? ".sqd" : ".jhr"));
        auto echo = MakeArea("AREA", type, path);
        Post(*echo, 3);
        const TAreaState reader = InspectArea(*echo, Reader);
        EXPECT_EQ(reader.Kind, TAreaState::Ready) << type;
        EXPECT_EQ(reader.Count, 3) << type;
        EXPECT_TRUE(reader.Unread) << type;
        // The base stays open with the user bound.
        ASSERT_NE(echo->Base(), nullptr);
        EXPECT_EQ(echo->Base()->UserIndex, 0);

        const TAreaState writer = InspectArea(*echo, Writer);
        EXPECT_EQ(writer.Kind, TAreaState::Ready) << type;
        EXPECT_EQ(writer.Count, 3) << type;
        EXPECT_FALSE(writer.Unread) << type;
    }
    EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(AreaStateTest, RescanWalksTheTreeInOrderAndSkipsFailingAreas) {
    auto unread = MakeArea("UNREAD", btJam, Home.File("unread.jhr"));
    auto read = MakeArea("READ", btJam, Home.File("read.jhr"));
    auto missing = MakeArea("MISSING", btMsg, Home.File("missing"));
    auto damaged = MakeArea("DAMAGED", btJam, Home.File("damaged.jhr"));
    Post(*unread, 2);
    Post(*read, 1);
    {
        TBaseRef base = read->GetBase();
        base->SetUser(0, Reader.Name);
        base->Rescan();
        // A JAM scan that has not listed the base looks past the last-read pointer only.
        base->SetRead(base->GetMsgId(0), true);
        base->SetLastRead(base->GetMsgId(0));
        base->Close();
        read->CloseBase();
    }
    WriteFile(Home.File("damaged.jhr"), "garbage");

    // [folder [UNREAD, folder [DAMAGED]], READ, MISSING]; stale flags show what a scan changes.
    TTreeInfo* folder = Reader.AreaTree.emplace_back(std::make_unique<TTreeInfo>()).get();
    folder->Children.push_back(std::make_unique<TTreeInfo>(unread.get()));
    TTreeInfo* inner = folder->Children.emplace_back(std::make_unique<TTreeInfo>()).get();
    TTreeInfo* bad = inner->Children.emplace_back(std::make_unique<TTreeInfo>(damaged.get())).get();
    bad->HasNew = true;
    bad->Locked = true;
    TTreeInfo* readNode = Reader.AreaTree.emplace_back(std::make_unique<TTreeInfo>(read.get())).get();
    readNode->HasNew = true;
    TTreeInfo* missingNode = Reader.AreaTree.emplace_back(std::make_unique<TTreeInfo>(missing.get())).get();
    missingNode->HasNew = true;

    std::vector<std::string> order;
    RescanAreas(Reader, [&](const TTreeInfo& node) { order.push_back(node.Echo->Name); });

    EXPECT_EQ(order, (std::vector<std::string>{"UNREAD", "DAMAGED", "READ", "MISSING"}));
    EXPECT_TRUE(folder->Children[0]->HasNew);
    EXPECT_TRUE(folder->AnyNew());
    EXPECT_TRUE(bad->HasNew) << "a failing area keeps its flags";
    EXPECT_TRUE(bad->Locked);
    EXPECT_FALSE(readNode->HasNew);
    EXPECT_FALSE(missingNode->HasNew);
    EXPECT_FALSE(missingNode->Locked);
    EXPECT_EQ(missing->Base(), nullptr);
    EXPECT_EQ(unread->Base()->UserIndex, 0);
    EXPECT_TRUE(Ui.Errors.empty());

    // New mail on disk is found by the next scan of the one area.
    Post(*read, 1);
    EXPECT_EQ(UpdateAreaNode(Reader.AreaTree, read.get(), Reader), readNode);
    EXPECT_TRUE(readNode->HasNew);
    EXPECT_EQ(UpdateAreaNode(Reader.AreaTree, damaged.get(), Reader), bad);
    EXPECT_TRUE(bad->HasNew);
    auto other = MakeArea("OTHER", btJam, Home.File("other.jhr"));
    EXPECT_EQ(UpdateAreaNode(Reader.AreaTree, other.get(), Reader), nullptr);
    EXPECT_EQ(UpdateAreaNode(Reader.AreaTree, nullptr, Reader), nullptr);
}

TEST_F(AreaStateTest, UpdateTakesTheFirstNodeOfAnAreaOnly) {
    auto echo = MakeArea("TWICE", btJam, Home.File("twice.jhr"));
    Post(*echo, 1);
    TTreeInfo* folder = Reader.AreaTree.emplace_back(std::make_unique<TTreeInfo>()).get();
    TTreeInfo* first = folder->Children.emplace_back(std::make_unique<TTreeInfo>(echo.get())).get();
    TTreeInfo* second = Reader.AreaTree.emplace_back(std::make_unique<TTreeInfo>(echo.get())).get();
    EXPECT_EQ(UpdateAreaNode(Reader.AreaTree, echo.get(), Reader), first);
    EXPECT_TRUE(first->HasNew);
    EXPECT_FALSE(second->HasNew);
}

TEST_F(AreaStateTest, RefreshFollowsTheOpenBaseReadMarks) {
    auto echo = MakeArea("AREA", btJam, Home.File("area.jhr"));
    Post(*echo, 2);
    TTreeInfo node(echo.get());
    EXPECT_FALSE(RefreshAreaNode(node)) << "no open base: nothing unread";

    ASSERT_EQ(InspectArea(*echo, Reader).Kind, TAreaState::Ready);
    EXPECT_TRUE(RefreshAreaNode(node));
    EXPECT_TRUE(node.HasNew);
    EXPECT_FALSE(RefreshAreaNode(node));

    TCustomBase* base = echo->Base();
    for (int i = 0; i < base->GetCount(); ++i)
        base->SetRead(base->GetMsgId(i), true);
    EXPECT_TRUE(RefreshAreaNode(node));
    EXPECT_FALSE(node.HasNew);

    TTreeInfo folder;
    EXPECT_FALSE(RefreshAreaNode(folder));
}

// Flags as the last scan left them: only areas with unread mail that are not locked count,
// in tree order through folders, round from the top.
TEST(AreaStateNext, NextAreaWithNewGoesOnInTreeOrder) {
    std::vector<std::unique_ptr<TEcho>> echoes;
    for (const char* tag : {"A", "B", "C", "D"})
        echoes.push_back(MakeArea(tag, btJam, "/nonexistent"));
    std::vector<std::unique_ptr<TTreeInfo>> tree;
    tree.push_back(std::make_unique<TTreeInfo>(echoes[0].get()));
    auto folder = std::make_unique<TTreeInfo>();
    folder->Children.push_back(std::make_unique<TTreeInfo>(echoes[1].get()));
    folder->Children.push_back(std::make_unique<TTreeInfo>(echoes[2].get()));
    tree.push_back(std::move(folder));
    tree.push_back(std::make_unique<TTreeInfo>(echoes[3].get()));
    TTreeInfo* a = tree[0].get();
    TTreeInfo* b = tree[1]->Children[0].get();
    TTreeInfo* c = tree[1]->Children[1].get();
    TTreeInfo* d = tree[2].get();
    a->HasNew = c->HasNew = d->HasNew = true;
    d->Locked = true;
    EXPECT_EQ(NextAreaWithNew(tree, a), c);
    EXPECT_EQ(NextAreaWithNew(tree, c), a); // round from the top, past the locked one
    EXPECT_EQ(NextAreaWithNew(tree, nullptr), a);
    EXPECT_EQ(NextAreaWithNew(tree, tree[1].get()), a); // a folder: from the top
    a->HasNew = false;
    EXPECT_EQ(NextAreaWithNew(tree, c), nullptr);
    EXPECT_EQ(NextAreaWithNew(tree, b), c);
}
