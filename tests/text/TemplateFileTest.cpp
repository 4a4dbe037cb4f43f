#include "text/TemplateFile.h"

#include "TempDir.h"

#include "config/Template.h"

#include <gtest/gtest.h>

namespace tavro {
namespace {

TEST(TemplateFileTest, SavedLinesAreOemWithCrLfAndLoadBackUnderTheFileName) {
    test::TTempDir dir;
    TTemplate tpl;
    tpl.Name = "Mine";
    tpl.Lines = {"\xCF\xF0\xE8\xE2\xE5\xF2 %ToName!", "", "%Quote"}; // "Привет" in the display page
    EXPECT_EQ(TemplateFileName(tpl), "Mine.tpl");
    const std::string file = dir.File("reply.v2.tpl");
    ASSERT_TRUE(SaveTemplateFile(file, tpl));
    EXPECT_EQ(test::ReadFile(file), "\x8F\xE0\xA8\xA2\xA5\xE2 %ToName!\r\n\r\n%Quote\r\n");

    TTemplate loaded;
    ASSERT_TRUE(LoadTemplateFile(file, loaded));
    EXPECT_EQ(loaded.Name, "reply");
    EXPECT_EQ(loaded.Lines, tpl.Lines);
}

TEST(TemplateFileTest, LoadingAcceptsBareLineFeedsAndFailsWithoutChange) {
    test::TTempDir dir;
    test::WriteFile(dir.File("unix"), "a\nb\r\n\nc");
    TTemplate tpl;
    ASSERT_TRUE(LoadTemplateFile(dir.File("unix"), tpl));
    EXPECT_EQ(tpl.Name, "unix");
    EXPECT_EQ(tpl.Lines, (std::vector<std::string>{"a", "b", "", "c"}));

    EXPECT_FALSE(LoadTemplateFile(dir.File("missing.tpl"), tpl));
    EXPECT_FALSE(LoadTemplateFile(dir.Path(), tpl));
    EXPECT_EQ(tpl.Name, "unix");
    EXPECT_EQ(tpl.Lines.size(), 4u);
}

} // namespace
} // namespace tavro
