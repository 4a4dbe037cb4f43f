// Addresses typed by the user or read from kludges, origin lines and tosser configurations.
#include "core/Address.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace tavro;

namespace {

void Print(const TAddress& a) {
    const size_t total = a.ToStr().size() + a.ToStrFull().size() + a.ToStr3D().size() + a.ToStr5D().size();
    if (!a.IsValid() && total != 0)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    TAddress parsed;
    parsed.Parse(text);
    Print(parsed);
    // What ToStr5D prints must read back as the same address.
    if (parsed.IsValid()) {
        TAddress again;
        again.Parse(parsed.ToStr5D());
        if (!(again == parsed))
            std::abort();
    }

    for (bool oldStyle : {false, true}) {
        TAddress relative(2, 5020, 100, 7, "fidonet");
        relative.ParseRelative(text, oldStyle);
        Print(relative);
        if (relative.Domain != "fidonet")
            std::abort();
    }
    TAddress relative;
    relative.ParseRelative(text);
    Print(relative);
    return 0;
}
