#include "NodelistZone.h"

#include "Config.h"

namespace tavro {

namespace {

const TEcho* FirstWithAddress(const TConfig& config, bool netmailOnly) {
    for (const auto& echo : config.Echoes)
        if (echo->Address.IsValid() && (!netmailOnly || echo->EchoType == etNetmail))
            return echo.get();
    return nullptr;
}

} // namespace

TFallbackZone NodelistFallbackZone(const TConfig& config) {
    for (bool netmailOnly : {true, false}) {
        if (const TEcho* echo = FirstWithAddress(config, netmailOnly)) {
            const std::string kind = echo->EchoType == etNetmail ? "netmail area" : "area";
            return {echo->Address.Zone,
                    "the address " + echo->Address.ToStr() + " of the " + kind + " \"" + echo->Name + "\""};
        }
    }
    return {};
}

} // namespace tavro
