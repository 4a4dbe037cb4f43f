#include "NetmailArea.h"

#include "Config.h"
#include "Echo.h"

#include "core/Attributes.h"
#include "core/Base.h"
#include "core/StrUtils.h"

namespace tavro {

std::unique_ptr<TEcho> MakeFallbackNetmailArea(const TGlobalSettings& settings) {
    std::string path = Trim(settings.NetmailPath);
    if (path.empty())
        return nullptr;
    auto echo = std::make_unique<TEcho>();
    echo->Name = "Netmail";
    echo->EchoType = etNetmail;
    echo->BaseType = btMsg;
    echo->Path = path;
    echo->DefAttr = atPvt | atKS | atLoc;
    echo->Flags = efAddOrigin;
    return echo;
}

TEcho* FindNetmailArea(TConfig& config, TEcho* fallback) {
    for (const auto& echo : config.Echoes) {
        if (EqualsNoCase(TrimView(echo->Name), "Netmail"))
            return echo.get();
    }
    for (const auto& echo : config.Echoes) {
        if (echo->EchoType == etNetmail)
            return echo.get();
    }
    return fallback;
}

} // namespace tavro
