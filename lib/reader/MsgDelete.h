#pragma once

#include "core/Base.h"
#include "core/SortedList.h"

namespace tavro {

// Above this many marks one bulk delete replaces the single ones: the base then rewrites
// its files once instead of once per message.
constexpr int SingleDeleteLimit = 100;

// Deletes the marked messages, or without marks the one at `current` (-1 none). Without
// marks, a message that is not the last one hands the last-read pointer to the next, so
// that one becomes current after the list is read again; with marks the pointer stays and
// the marks are emptied. `progress` gets 0..100 while marked messages go. A failed delete
// is not reported: the list shows what the base still holds. Throws EFileError when the
// list cannot be read (without marks only).
void DeleteMessages(TCustomBase& base, TSortedList& marks, int current, const TProgress& progress);

} // namespace tavro
