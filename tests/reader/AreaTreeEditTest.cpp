#include "reader/AreaTreeEdit.h"

#include "config/Echo.h"

#include <gtest/gtest.h>

#include <map>

using namespace tavro;

namespace {

// A tree written as text: "name" is an area, "name[...]" a folder, entries separated by
// blanks. Areas get an echo of their own name.
class TTreeFixture {
public:
    explicit TTreeFixture(const std::string& text) {
        size_t pos = 0;
        Parse(text, pos, Top);
    }

    std::string Text() const { return Print(Top); }
    TTreeInfo* Node(const std::string& name) const { return Find(Top, name); }

    TTreeList Top;

private:
    void Parse(const std::string& text, size_t& pos, TTreeList& list) {
        while (pos < text.size() && text[pos] != ']') {
            if (text[pos] == ' ') {
                ++pos;
                continue;
            }
            const size_t end = text.find_first_of(" []", pos);
            const std::string name = text.substr(pos, end - pos);
            pos = end;
            std::unique_ptr<TTreeInfo> node;
            if (pos < text.size() && text[pos] == '[') {
                node = std::make_unique<TTreeInfo>();
                ++pos;
                Parse(text, pos, node->Children);
                ++pos;
            } else {
                auto& echo = Echoes[name];
                echo = std::make_unique<TEcho>();
                echo->Name = name;
                node = std::make_unique<TTreeInfo>(echo.get());
            }
            node->Name = name;
            list.push_back(std::move(node));
        }
    }

    static std::string Print(const TTreeList& list) {
        std::string text;
        for (const auto& node : list) {
            if (!text.empty())
                text += ' ';
            text += node->Name;
            if (node->IsFolder())
                text += '[' + Print(node->Children) + ']';
        }
        return text;
    }

    static TTreeInfo* Find(const TTreeList& list, const std::string& name) {
        for (const auto& node : list) {
            if (node->Name == name)
                return node.get();
            if (TTreeInfo* found = Find(node->Children, name))
                return found;
        }
        return nullptr;
    }

    std::map<std::string, std::unique_ptr<TEcho>> Echoes;
};

bool NameLess(const TTreeInfo& a, const TTreeInfo& b) {
    return a.Name < b.Name;
}

} // namespace

TEST(AreaTreeEdit, DropModesMoveTheNodeInTheLists) {
    const std::string start = "a F[b G[c]] d E[] e";
    const struct {
        const char* dragged;
        const char* target; // empty: the invisible root
        TDropMode mode;
        const char* expected;
        TTreePlace place; // parent by name below, index here
        const char* parent;
    } cases[] = {
        {"e", "b", TDropMode::Above, "a F[e b G[c]] d E[]", {nullptr, 0}, "F"},
        {"a", "b", TDropMode::Below, "F[b a G[c]] d E[] e", {nullptr, 1}, "F"},
        {"a", "d", TDropMode::Below, "F[b G[c]] d a E[] e", {nullptr, 2}, ""},
        {"a", "e", TDropMode::Below, "F[b G[c]] d E[] e a", {nullptr, 4}, ""},
        // On an area: above it.
        {"a", "d", TDropMode::On, "F[b G[c]] a d E[] e", {nullptr, 1}, ""},
        {"e", "c", TDropMode::On, "a F[b G[e c]] d E[]", {nullptr, 0}, "G"},
        // On a folder: at its end, empty or not.
        {"a", "F", TDropMode::On, "F[b G[c] a] d E[] e", {nullptr, 2}, "F"},
        {"G", "E", TDropMode::On, "a F[b] d E[G[c]] e", {nullptr, 0}, "E"},
        // No target, or nowhere: the end of the top level.
        {"c", "", TDropMode::Below, "a F[b G[]] d E[] e c", {nullptr, 5}, ""},
        {"b", "", TDropMode::Nowhere, "a F[G[c]] d E[] e b", {nullptr, 5}, ""},
        // Nowhere near a target counts as on it.
        {"a", "d", TDropMode::Nowhere, "F[b G[c]] a d E[] e", {nullptr, 1}, ""},
        {"a", "E", TDropMode::Nowhere, "F[b G[c]] d E[a] e", {nullptr, 0}, "E"},
        // Out of a folder to above its own parent.
        {"c", "F", TDropMode::Above, "a c F[b G[]] d E[] e", {nullptr, 1}, ""},
        {"G", "F", TDropMode::Below, "a F[b] G[c] d E[] e", {nullptr, 2}, ""},
    };
    for (const auto& c : cases) {
        TTreeFixture tree(start);
        TTreeInfo* dragged = tree.Node(c.dragged);
        TTreeInfo* target = *c.target ? tree.Node(c.target) : nullptr;
        const auto place = MoveNode(tree.Top, dragged, target, c.mode);
        EXPECT_EQ(tree.Text(), c.expected) << c.dragged << " to " << c.target;
        ASSERT_TRUE(place) << c.dragged << " to " << c.target;
        EXPECT_EQ(place->Parent, *c.parent ? tree.Node(c.parent) : nullptr) << c.dragged;
        EXPECT_EQ(place->Index, c.place.Index) << c.dragged << " to " << c.target;
        EXPECT_EQ(FindPlace(tree.Top, dragged), place) << c.dragged;
    }
}

TEST(AreaTreeEdit, DroppingOntoItselfOrIntoItsOwnSubtreeDoesNothing) {
    const std::string start = "a F[b G[c]] d";
    const struct {
        const char* dragged;
        const char* target;
        TDropMode mode;
    } cases[] = {
        {"F", "F", TDropMode::On},    {"F", "b", TDropMode::Above}, {"F", "G", TDropMode::On},
        {"F", "c", TDropMode::Below}, {"G", "c", TDropMode::On},    {"d", "d", TDropMode::Above},
    };
    for (const auto& c : cases) {
        TTreeFixture tree(start);
        EXPECT_FALSE(MoveNode(tree.Top, tree.Node(c.dragged), tree.Node(c.target), c.mode)) << c.dragged;
        EXPECT_EQ(tree.Text(), start) << c.dragged << " to " << c.target;
    }
    // A node that is not in the tree moves nothing either.
    TTreeFixture tree(start);
    TTreeInfo stray;
    EXPECT_FALSE(MoveNode(tree.Top, &stray, nullptr, TDropMode::On));
    EXPECT_FALSE(MoveNode(tree.Top, tree.Node("a"), &stray, TDropMode::On));
    EXPECT_EQ(tree.Text(), start);
}

TEST(AreaTreeEdit, OnlyEmptyFoldersAreDeleted) {
    TTreeFixture tree("a F[b] E[] G[H[]]");
    TTreeInfo stray;
    EXPECT_EQ(DeleteEmptyFolder(tree.Top, tree.Node("a")), TFolderDelete::IsArea);
    EXPECT_EQ(DeleteEmptyFolder(tree.Top, tree.Node("b")), TFolderDelete::IsArea);
    EXPECT_EQ(DeleteEmptyFolder(tree.Top, tree.Node("F")), TFolderDelete::NotEmpty);
    EXPECT_EQ(DeleteEmptyFolder(tree.Top, tree.Node("G")), TFolderDelete::NotEmpty);
    EXPECT_EQ(DeleteEmptyFolder(tree.Top, &stray), TFolderDelete::NotFound);
    EXPECT_EQ(DeleteEmptyFolder(tree.Top, nullptr), TFolderDelete::NotFound);
    EXPECT_EQ(tree.Text(), "a F[b] E[] G[H[]]");

    EXPECT_EQ(DeleteEmptyFolder(tree.Top, tree.Node("E")), TFolderDelete::Deleted);
    EXPECT_EQ(tree.Text(), "a F[b] G[H[]]");
    EXPECT_EQ(DeleteEmptyFolder(tree.Top, tree.Node("H")), TFolderDelete::Deleted);
    EXPECT_EQ(tree.Text(), "a F[b] G[]");
}

TEST(AreaTreeEdit, NewFoldersGoToTheEndOfTheTopLevel) {
    TTreeFixture tree("");
    TTreeInfo* first = AppendFolder(tree.Top, "One");
    EXPECT_TRUE(first->IsFolder());
    AppendFolder(tree.Top, "Two");
    EXPECT_EQ(tree.Text(), "One[] Two[]");
    EXPECT_EQ(FindPlace(tree.Top, first), (TTreePlace{nullptr, 0}));
}

TEST(AreaTreeEdit, SortingOrdersOneLevelOnly) {
    const struct {
        const char* start;
        bool foldersFirst;
        const char* expected;
    } cases[] = {
        {"b z[y x] a c[]", false, "a b c[] z[y x]"},
        {"b z[y x] a c[]", true, "c[] z[y x] a b"},
        {"", true, ""},
    };
    for (const auto& c : cases) {
        TTreeFixture tree(c.start);
        SortEntries(tree.Top, c.foldersFirst, NameLess);
        EXPECT_EQ(tree.Text(), c.expected) << c.start;
    }
    // Equal names keep their order.
    TTreeFixture tree("b a1 a2");
    tree.Node("a1")->Name = "a";
    tree.Node("a2")->Name = "a";
    TTreeInfo* first = tree.Top[1].get();
    SortEntries(tree.Top, false, NameLess);
    EXPECT_EQ(tree.Top[0].get(), first);
}
