#include "Settings.h"

#include <algorithm>

namespace tavro {

void TGlobalSettings::SetMaxMsgLen(int32_t kb) {
    MaxMsgLen = kb;
    // Held within what a message can be, so no file can push the count out of range.
    const double lines = (std::clamp(double(kb), 1.0, 65536.0) - 1) * 1024 / 63 / 10;
    MaxMsgLines = static_cast<int32_t>(lines) * 10;
}

namespace {

TGlobalSettings* Current = nullptr;

} // namespace

TGlobalSettings& Settings() {
    static TGlobalSettings fallback;
    return Current ? *Current : fallback;
}

void UseSettings(TGlobalSettings* settings) {
    Current = settings;
}

} // namespace tavro
