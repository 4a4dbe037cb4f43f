#pragma once

namespace tavro::app {

// Registers the icons compiled into the program's library; call once before using them.
void InitResources();

} // namespace tavro::app
