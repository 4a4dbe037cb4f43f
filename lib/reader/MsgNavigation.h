#pragma once

#include "MsgList.h"

#include "core/Base.h"
#include "core/SortedList.h"

#include <optional>
#include <string>
#include <vector>

namespace tavro {

// The rows of a message list from top to bottom, the rows inside collapsed threads included:
// the order every move of the reader follows.
class TRowOrder {
public:
    explicit TRowOrder(const TMsgList& list);
    int Size() const { return static_cast<int>(Positions.size()); }
    // -1 for a position not in the list.
    int RowOf(int position) const;
    int PositionAt(int row) const { return Positions[row]; }

private:
    std::vector<int> Positions;
    std::vector<int> Rows;
};

enum class TMove { Next, Previous, NextUnread, PreviousUnread, NextThread, PreviousThread, First, Last };

// Where a move from the focused position (-1: none) goes: a position; -1 when it finds no row,
// so the reader goes to the tree; nothing when the move does not apply (threads moves in a
// flat list, no focused row in an area with messages, first or last of an empty area).
std::optional<int> FindMove(TMsgList& list, const TRowOrder& order, int from, TMove move);

// "5/20-15" for the 5th of 20 messages.
std::string MsgNumText(int position, int count);

// The reply links of a message within its area, as the header shows them.
struct TReplyLinks {
    int Parent = -1;          // position of the message answered, -1 when not in the area
    std::vector<int> Answers; // positions of the answers in the area, in the message's order
    std::string Text;         // "-3 +7 9"
};
TReplyLinks FindReplyLinks(TCustomBase& base, TCustomMsg& msg);

// The ids of the thread of the message at `position`: its root, reached along the answered
// messages while they are in the area, then depth first along the answers in their order. A
// message that cannot be read is left out; a cycle of links visits each message once.
std::vector<TMsgId> ThreadIds(TCustomBase& base, int position);

// The marks of the open area: ids of marked messages.
void ToggleMark(TSortedList& marks, TMsgId id);
void MarkAll(TSortedList& marks, TCustomBase& base);
void InvertMarks(TSortedList& marks, TCustomBase& base);
void AddMarks(TSortedList& marks, TCustomBase& base, const std::vector<int>& positions);

// The positions from one row to another in row order, both included, whichever comes first.
std::vector<int> RowRange(const TRowOrder& order, int fromPosition, int toPosition);

} // namespace tavro
