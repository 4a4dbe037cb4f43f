#include "Resources.h"

#include <QtCore/QtGlobal>

// Resources of a static library are registered by hand; the macro must be used outside
// any namespace.
static void InitTavroResources() {
    Q_INIT_RESOURCE(tavro);
}

namespace tavro::app {

void InitResources() {
    InitTavroResources();
}

} // namespace tavro::app
