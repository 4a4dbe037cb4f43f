#include "Settings.h"

namespace tavro {

TGlobalSettings& Settings() {
    static TGlobalSettings settings;
    return settings;
}

} // namespace tavro
