#include "Settings.h"

namespace tavro {

void TGlobalSettings::SetMaxMsgLen(int32_t kb) {
    MaxMsgLen = kb;
    MaxMsgLines = static_cast<int32_t>((double(kb) - 1) * 1024 / 63 / 10) * 10;
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
