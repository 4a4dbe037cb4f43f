#include "config/NodelistZone.h"

#include "config/Config.h"

#include <gtest/gtest.h>

using namespace tavro;

namespace {

struct TArea {
    const char* name;
    TEchoType type;
    TAddress address;
};

} // namespace

TEST(NodelistZone, TheFirstNetmailAreaElseAnyAreaWithAnAddressGivesTheZone) {
    const TAddress none;
    const struct {
        const char* what;
        std::vector<TArea> areas;
        uint16_t zone;
        const char* source;
    } cases[] = {
        {"no areas", {}, 0, ""},
        {"no valid address",
         {{"NETMAIL", etNetmail, none}, {"SU.GENERAL", etEchomail, TAddress(0, 5020, 1)}},
         0,
         ""},
        {"netmail before echomail",
         {{"RU.FIDO", etEchomail, TAddress(2, 5020, 1)}, {"NETMAIL", etNetmail, TAddress(1, 100, 7)}},
         1,
         "the address 1:100/7 of the netmail area \"NETMAIL\""},
        {"a netmail area without an address",
         {{"NETMAIL", etNetmail, none},
          {"BAD", etBadmail, TAddress(3, 50, 1, 2)},
          {"NET2", etNetmail, TAddress(4, 1, 1)}},
         4,
         "the address 4:1/1 of the netmail area \"NET2\""},
        {"echomail only",
         {{"BAD", etBadmail, none}, {"RU.FIDO", etEchomail, TAddress(2, 5020, 1, 5)}},
         2,
         "the address 2:5020/1.5 of the area \"RU.FIDO\""},
    };
    for (const auto& c : cases) {
        TConfig config;
        for (const TArea& a : c.areas) {
            auto echo = std::make_unique<TEcho>();
            echo->Name = a.name;
            echo->EchoType = a.type;
            echo->Address = a.address;
            config.Echoes.push_back(std::move(echo));
        }
        const TFallbackZone zone = NodelistFallbackZone(config);
        EXPECT_EQ(zone.Zone, c.zone) << c.what;
        EXPECT_EQ(zone.Source, c.source) << c.what;
    }
}
