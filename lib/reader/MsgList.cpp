#include "MsgList.h"

#include "MsgThreads.h"
#include "ReplyPrefix.h"
#include "TextOrder.h"

#include "core/CodePage.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace tavro {

namespace {

const std::vector<int> NoRows;

} // namespace

std::string_view SortedSubject(const TMsgRow& row) {
    return StripReplyPrefixes(row.Subj);
}

void TMsgList::Clear() {
    Base_ = nullptr;
    Rows.clear();
    Parents.clear();
    TopLevel.clear();
    Replies.clear();
    Places.clear();
    UnreadBelow.clear();
    Threads_ = false;
    SortColumn_ = -1;
}

void TMsgList::Fill(TCustomBase* base, const TOwnNames& ownNames, bool threads, const TProgress& progress) {
    Clear();
    if (!base)
        return;
    OwnNames = ownNames;
    const int count = base->GetCount();
    Rows.resize(count);
    std::vector<int> parents;
    if (threads && count > 0) {
        try {
            parents = BuildReplyParents(*base, progress, [&](int p, TCustomMsg& msg) { FillRow(p, msg); });
        } catch (...) {
            Clear();
            throw;
        }
    }
    Base_ = base;
    Threads_ = threads;
    BuildShape(parents);
}

void TMsgList::BuildShape(const std::vector<int>& parents) {
    const int count = Count();
    Places.assign(count, 0);
    if (parents.empty()) {
        TopLevel.resize(count);
        std::iota(TopLevel.begin(), TopLevel.end(), 0);
        Places = TopLevel;
        return;
    }
    Parents = parents;
    Replies.assign(count, {});
    for (int p = 0; p < count; ++p)
        (Parents[p] == NoParent ? TopLevel : Replies[Parents[p]]).push_back(p);
    UpdatePlaces(TopLevel);
    for (const auto& level : Replies)
        UpdatePlaces(level);
}

void TMsgList::UpdatePlaces(const std::vector<int>& level) {
    for (size_t i = 0; i < level.size(); ++i)
        Places[level[i]] = static_cast<int>(i);
}

void TMsgList::FillRow(int index, TCustomMsg& msg) {
    TMsgRow& row = Rows[index];
    row.From = msg.FromName;
    row.To = msg.ToName;
    row.Subj = msg.Subject;
    row.Date = msg.DateWritten;
    row.Flags =
        (OwnNames.IsOwnName(msg.FromName) ? rfFromOwn : 0) | (OwnNames.IsOwnName(msg.ToName) ? rfToOwn : 0);
    row.Filled = true;
}

const TMsgRow& TMsgList::Row(int index) {
    TMsgRow& row = Rows.at(index);
    if (!row.Filled) {
        TMsgHandle msg = Base_->GetMsg(index);
        if (!msg)
            throw EFileError("the message list changed while it was read", 0);
        FillRow(index, *msg);
    }
    return row;
}

const std::vector<int>& TMsgList::Children(int parent) const {
    if (parent == NoParent)
        return TopLevel;
    return Replies.empty() ? NoRows : Replies[parent];
}

int TMsgList::Depth(int index) const {
    int depth = 0;
    for (int p = Parent(index); p != NoParent; p = Parent(p))
        ++depth;
    return depth;
}

std::vector<int> TMsgList::DisplayOrder() const {
    std::vector<int> order;
    order.reserve(Rows.size());
    for (const auto& [index, depth] : DisplayOrderWithDepth())
        order.push_back(index);
    return order;
}

std::vector<std::pair<int, int>> TMsgList::DisplayOrderWithDepth() const {
    std::vector<std::pair<int, int>> order;
    order.reserve(Rows.size());
    std::vector<std::pair<int, int>> stack;
    for (auto it = TopLevel.rbegin(); it != TopLevel.rend(); ++it)
        stack.emplace_back(*it, 0);
    while (!stack.empty()) {
        const auto [index, depth] = stack.back();
        stack.pop_back();
        order.emplace_back(index, depth);
        const std::vector<int>& below = Children(index);
        for (auto it = below.rbegin(); it != below.rend(); ++it)
            stack.emplace_back(*it, depth + 1);
    }
    return order;
}

namespace {

// Dates closer than a millisecond are equal.
int64_t DateKey(TDateTime date) {
    return std::llround(date * 86400000.0);
}

} // namespace

void TMsgList::Sort(int column) {
    if (column < 0 || column >= MsgColumnCount)
        return;
    const int count = Count();
    for (int i = 0; i < count && column != mcNumber; ++i)
        Row(i);
    std::vector<std::string> keys;
    std::vector<int64_t> dates;
    const TCodePage& page = ActiveDisplayPage();
    if (column == mcFrom || column == mcTo || column == mcSubj) {
        keys.resize(count);
        for (int i = 0; i < count; ++i) {
            const TMsgRow& row = Rows[i];
            keys[i] = CollationKey(column == mcFrom ? row.From
                                   : column == mcTo ? row.To
                                                    : SortedSubject(row),
                                   page);
        }
    }
    if (column == mcFrom || column == mcSubj || column == mcDate) {
        dates.resize(count);
        for (int i = 0; i < count; ++i)
            dates[i] = DateKey(Rows[i].Date);
    }
    auto less = [&](int a, int b) {
        if (!keys.empty() && keys[a] != keys[b])
            return keys[a] < keys[b];
        if (!dates.empty() && dates[a] != dates[b])
            return dates[a] < dates[b];
        return a < b;
    };
    std::sort(TopLevel.begin(), TopLevel.end(), less);
    UpdatePlaces(TopLevel);
    for (auto& level : Replies) {
        std::sort(level.begin(), level.end(), less);
        UpdatePlaces(level);
    }
    SortColumn_ = column;
}

bool TMsgList::ThreadUnread(int index) {
    if (UnreadBelow.empty())
        UnreadBelow.assign(Rows.size(), -1);
    if (UnreadBelow[index] >= 0)
        return UnreadBelow[index];
    // Replies are walked without recursion: a thread may be thousands deep.
    std::vector<int> stack{index};
    bool unread = false;
    while (!stack.empty() && !unread) {
        const int row = stack.back();
        stack.pop_back();
        if (UnreadBelow[row] == 1 || !Base_->IsRead(Base_->GetMsgId(row)))
            unread = true;
        else if (UnreadBelow[row] != 0)
            for (int reply : Children(row))
                stack.push_back(reply);
    }
    UnreadBelow[index] = unread;
    return unread;
}

} // namespace tavro
