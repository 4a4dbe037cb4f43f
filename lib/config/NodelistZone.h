#pragma once

#include "nodelist/NodeLine.h"

namespace tavro {

class TConfig;

// The zone for nodelists that name none before their first Region or Host: the zone of the
// first netmail area with a valid address, else of the first area with one; none when no
// area has a valid address.
TFallbackZone NodelistFallbackZone(const TConfig& config);

} // namespace tavro
