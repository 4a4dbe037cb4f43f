#pragma once

#include "core/Msg.h"

#include <vector>

namespace tavro {

// The markers put around each part of a split message (%d = part number from 1).
extern const char* const PartHeadMarker;
extern const char* const PartContinuedMarker;
extern const char* const PartEndMarker;

// The bodies of the parts an over-long body is written as, each complete: the gateway
// address block, the part head marker, the part's text lines, the continued or end marker,
// an empty line, the tearline and the origin line. Lines after the origin line are dropped;
// only the last tearline is kept. Lengths are bytes of the display code page with two more
// for each line end. Empty when the body is written as it is: it fits, it has no text
// besides the address block, tearline and origin, or the lines every part repeats would
// take more room than a part has. A `maxMsgLenKb` below 1 counts as 1.
std::vector<TBodyLines> SplitBody(const TBodyLines& body, int maxMsgLenKb);

} // namespace tavro
