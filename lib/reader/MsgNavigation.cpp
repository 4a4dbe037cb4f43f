#include "MsgNavigation.h"

#include <algorithm>
#include <unordered_set>

namespace tavro {

TRowOrder::TRowOrder(const TMsgList& list) : Positions(list.DisplayOrder()), Rows(Positions.size(), -1) {
    for (size_t row = 0; row < Positions.size(); ++row)
        Rows[Positions[row]] = static_cast<int>(row);
}

int TRowOrder::RowOf(int position) const {
    return position >= 0 && size_t(position) < Rows.size() ? Rows[position] : -1;
}

namespace {

bool IsUnread(TCustomBase& base, int position) {
    return !base.IsRead(base.GetMsgId(position));
}

int FindUnread(TMsgList& list, const TRowOrder& order, int row, int step) {
    for (row += step; row >= 0 && row < order.Size(); row += step)
        if (IsUnread(*list.Base(), order.PositionAt(row)))
            return order.PositionAt(row);
    return -1;
}

int ThreadTop(const TMsgList& list, int position) {
    // Parents never form a cycle in the list; the bound only guards against a list changed under us.
    for (int steps = 0; list.Parent(position) != TMsgList::NoParent && steps < list.Count(); ++steps)
        position = list.Parent(position);
    return position;
}

} // namespace

std::optional<int> FindMove(TMsgList& list, const TRowOrder& order, int from, TMove move) {
    const int count = order.Size();
    if (move == TMove::First || move == TMove::Last) {
        if (count == 0)
            return std::nullopt;
        return order.PositionAt(move == TMove::First ? 0 : count - 1);
    }
    if ((move == TMove::NextThread || move == TMove::PreviousThread) && !list.Threads())
        return std::nullopt;
    const int row = order.RowOf(from);
    if (row < 0)
        return count == 0 ? std::optional<int>(-1) : std::nullopt;
    switch (move) {
    case TMove::Next:
        return row + 1 < count ? order.PositionAt(row + 1) : -1;
    case TMove::Previous:
        return row > 0 ? order.PositionAt(row - 1) : -1;
    case TMove::NextUnread:
        return FindUnread(list, order, row, 1);
    case TMove::PreviousUnread:
        return FindUnread(list, order, row, -1);
    default: {
        const int place = list.Place(ThreadTop(list, from)) + (move == TMove::NextThread ? 1 : -1);
        return place >= 0 && place < list.ChildCount(TMsgList::NoParent)
                   ? list.Child(TMsgList::NoParent, place)
                   : -1;
    }
    }
}

std::string MsgNumText(int position, int count) {
    return std::to_string(position + 1) + "/" + std::to_string(count) + "-" +
           std::to_string(count - position - 1);
}

TReplyLinks FindReplyLinks(TCustomBase& base, TCustomMsg& msg) {
    TReplyLinks links;
    if (msg.ReplyTo != 0)
        links.Parent = base.IndexOfId(msg.ReplyTo);
    if (links.Parent >= 0)
        links.Text = "-" + std::to_string(links.Parent + 1);
    for (TMsgId reply : msg.Replies) {
        const int at = base.IndexOfId(reply);
        if (at < 0)
            continue;
        links.Text += links.Answers.empty() ? " +" : " ";
        links.Text += std::to_string(at + 1);
        links.Answers.push_back(at);
    }
    return links;
}

namespace {

// The message's header and reply list; null when it cannot be read.
TMsgHandle ReadLinks(TCustomBase& base, int position) {
    try {
        TMsgHandle msg = base.GetMsg(position);
        if (msg)
            msg->GetKludges(); // some formats read the answers with the text
        return msg;
    } catch (const EFileError&) {
        return nullptr;
    }
}

} // namespace

std::vector<TMsgId> ThreadIds(TCustomBase& base, int position) {
    std::vector<TMsgId> ids;
    TMsgHandle msg = ReadLinks(base, position);
    if (!msg)
        return ids;
    std::unordered_set<int> seen{position};
    int root = position;
    while (msg && msg->ReplyTo != 0) {
        const int up = base.IndexOfId(msg->ReplyTo);
        if (up < 0 || !seen.insert(up).second)
            break;
        TMsgHandle parent = ReadLinks(base, up);
        if (!parent)
            break;
        root = up;
        msg = parent;
    }
    seen.clear();
    std::vector<int> stack{root};
    while (!stack.empty()) {
        const int at = stack.back();
        stack.pop_back();
        if (!seen.insert(at).second)
            continue;
        TMsgHandle visited = ReadLinks(base, at);
        if (!visited)
            continue;
        ids.push_back(base.GetMsgId(at));
        // Pushed last first, so the first answer is visited next.
        for (auto it = visited->Replies.rbegin(); it != visited->Replies.rend(); ++it)
            if (const int answer = base.IndexOfId(*it); answer >= 0 && !seen.count(answer))
                stack.push_back(answer);
    }
    return ids;
}

void ToggleMark(TSortedList& marks, TMsgId id) {
    const auto value = static_cast<int32_t>(id);
    if (marks.Contains(value))
        marks.Remove(value);
    else
        marks.Add(value);
}

void MarkAll(TSortedList& marks, TCustomBase& base) {
    marks.Clear();
    for (int p = 0; p < base.GetCount(); ++p)
        marks.Add(static_cast<int32_t>(base.GetMsgId(p)));
}

void InvertMarks(TSortedList& marks, TCustomBase& base) {
    TSortedList inverted;
    for (int p = 0; p < base.GetCount(); ++p)
        if (const auto id = static_cast<int32_t>(base.GetMsgId(p)); !marks.Contains(id))
            inverted.Add(id);
    marks.Assign(inverted);
}

void AddMarks(TSortedList& marks, TCustomBase& base, const std::vector<int>& positions) {
    for (int p : positions)
        if (p >= 0 && p < base.GetCount())
            marks.Add(static_cast<int32_t>(base.GetMsgId(p)));
}

std::vector<int> RowRange(const TRowOrder& order, int fromPosition, int toPosition) {
    int from = order.RowOf(fromPosition), to = order.RowOf(toPosition);
    if (to < 0)
        return {};
    if (from < 0)
        from = 0;
    if (from > to)
        std::swap(from, to);
    std::vector<int> range;
    for (int row = from; row <= to; ++row)
        range.push_back(order.PositionAt(row));
    return range;
}

} // namespace tavro
