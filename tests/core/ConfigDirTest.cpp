#include "core/ConfigDir.h"

#include "TempDir.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>

using namespace tavro;

namespace {

// Sets or clears an environment variable for the scope.
class TEnvVar {
public:
    TEnvVar(const char* name, std::optional<std::string> value) : Name(name) {
        if (const char* old = std::getenv(name))
            Old = old;
        if (value)
            setenv(name, value->c_str(), 1);
        else
            unsetenv(name);
    }
    ~TEnvVar() {
        if (Old)
            setenv(Name, Old->c_str(), 1);
        else
            unsetenv(Name);
    }

private:
    const char* Name;
    std::optional<std::string> Old;
};

} // namespace

TEST(ConfigDir, TavroHomeThenXdgThenHome) {
    struct {
        std::optional<std::string> tavroHome, xdg, home;
        std::string expected;
    } cases[] = {
        {"/t", "/x", "/h", "/t"},
        {std::nullopt, "/x", "/h", "/x/tavro"},
        {"", "", "/h", "/h/.config/tavro"},
        {std::nullopt, std::nullopt, "/h", "/h/.config/tavro"},
    };
    for (const auto& c : cases) {
        TEnvVar a("TAVRO_HOME", c.tavroHome), b("XDG_CONFIG_HOME", c.xdg), h("HOME", c.home);
        EXPECT_EQ(ConfigDir(), c.expected);
    }
}

TEST(ConfigDir, IsCreatedOnFirstStart) {
    test::TTempDir tmp;
    TEnvVar home("TAVRO_HOME", tmp.File("a/b"));
    std::string dir;
    ASSERT_TRUE(EnsureConfigDir(dir));
    EXPECT_EQ(dir, tmp.File("a/b"));
    EXPECT_TRUE(test::FileExists(dir));
    test::WriteFile(tmp.File("file"), "x");
    TEnvVar blocked("TAVRO_HOME", tmp.File("file/sub"));
    EXPECT_FALSE(EnsureConfigDir(dir));
}
