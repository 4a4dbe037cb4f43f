#include "config/NetmailArea.h"

#include "config/Config.h"
#include "core/Attributes.h"
#include "core/Base.h"

#include <gtest/gtest.h>

using namespace tavro;

TEST(NetmailArea, FallbackIsBuiltFromTheTrimmedNetmailPath) {
    TGlobalSettings settings;
    settings.NetmailPath = "  /fido/netmail \t";
    auto echo = MakeFallbackNetmailArea(settings);
    ASSERT_NE(echo, nullptr);
    EXPECT_EQ(echo->Name, "Netmail");
    EXPECT_EQ(echo->EchoType, etNetmail);
    EXPECT_EQ(echo->BaseType, btMsg);
    EXPECT_EQ(echo->Path, "/fido/netmail");
    EXPECT_EQ(echo->DefAttr, uint32_t(atPvt | atKS | atLoc));
    EXPECT_EQ(echo->Flags, efAddOrigin);
}

TEST(NetmailArea, NoFallbackWithoutANetmailPath) {
    for (const char* path : {"", " \t "}) {
        TGlobalSettings settings;
        settings.NetmailPath = path;
        EXPECT_EQ(MakeFallbackNetmailArea(settings), nullptr) << '"' << path << '"';
    }
}

TEST(NetmailArea, LookUpPrefersTheNameThenTheTypeThenTheFallback) {
    struct TArea {
        const char* name;
        uint8_t type;
    };
    struct {
        const char* what;
        std::vector<TArea> areas;
        bool withFallback;
        int expected; // index into the areas; -1 the fallback, -2 none
    } cases[] = {
        {"name ignores case and blanks and beats the type",
         {{"NET.AREA", etNetmail}, {" NETMAIL ", etEchomail}},
         true,
         1},
        {"first netmail area", {{"RU.TEST", etEchomail}, {"NET1", etNetmail}, {"NET2", etNetmail}}, true, 1},
        {"a longer name is no match", {{"Netmail2", etEchomail}, {"BAD", etBadmail}}, true, -1},
        {"nothing at all", {{"RU.TEST", etEchomail}}, false, -2},
        {"no areas", {}, true, -1},
    };
    TEcho fallback;
    for (const auto& c : cases) {
        TConfig config;
        for (const auto& a : c.areas) {
            auto echo = std::make_unique<TEcho>();
            echo->Name = a.name;
            echo->EchoType = a.type;
            config.Echoes.push_back(std::move(echo));
        }
        TEcho* found = FindNetmailArea(config, c.withFallback ? &fallback : nullptr);
        TEcho* expected = c.expected >= 0    ? config.Echoes[c.expected].get()
                          : c.expected == -1 ? &fallback
                                             : nullptr;
        EXPECT_EQ(found, expected) << c.what;
    }
}
