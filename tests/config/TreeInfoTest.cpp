#include "config/TreeInfo.h"
#include "config/Echo.h"

#include <gtest/gtest.h>

using namespace tavro;

TEST(TreeInfo, FolderIsNewWhenAnyAreaBelowIs) {
    TEcho echo;
    echo.Name = "RU.FIDONET";
    TTreeInfo root;
    EXPECT_TRUE(root.IsFolder());
    EXPECT_EQ(root.Name, "<Unnamed>");
    EXPECT_FALSE(root.AnyNew());

    auto* sub = root.Children.emplace_back(std::make_unique<TTreeInfo>()).get();
    auto* area = sub->Children.emplace_back(std::make_unique<TTreeInfo>(&echo)).get();
    EXPECT_FALSE(area->IsFolder());
    EXPECT_EQ(area->Name, "RU.FIDONET");
    EXPECT_FALSE(root.AnyNew());
    area->HasNew = true;
    EXPECT_TRUE(sub->AnyNew());
    EXPECT_TRUE(root.AnyNew());
}
