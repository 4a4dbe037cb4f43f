#include "MsgList.h"

#include "MsgThreads.h"
#include "ReplyPrefix.h"
#include "TextOrder.h"

#include "core/CodePage.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>
#include <stdexcept>

namespace tavro {

std::string_view SortedSubject(const TMsgRow& row) {
    return StripReplyPrefixes(row.Subj);
}

uint64_t TTextStore::Add(std::string_view a, std::string_view b, std::string_view c) {
    const size_t size = a.size() + b.size() + c.size();
    if (Used + size > PieceSize) {
        Pieces.push_back(std::make_unique_for_overwrite<char[]>(PieceSize));
        Used = 0;
    }
    const uint64_t offset = (Pieces.size() - 1) * PieceSize + Used;
    char* to = Pieces.back().get() + Used;
    for (std::string_view text : {a, b, c}) {
        std::memcpy(to, text.data(), text.size());
        to += text.size();
    }
    Used += size;
    return offset;
}

void TTextStore::Clear() {
    Pieces.clear();
    Used = PieceSize;
}

void TMsgList::Clear() {
    Base_ = nullptr;
    Texts.Clear();
    Count_ = 0;
    RowBlocks.clear();
    FilledRows = 0;
    Parents.clear();
    Order.clear();
    ReplyStart.clear();
    Places.clear();
    UnreadBelow.clear();
    Threads_ = false;
    SortColumn_ = -1;
}

void TMsgList::Fill(TCustomBase* base, const TOwnNames& ownNames, bool threads, const TProgress& progress,
                    bool readRows) {
    Clear();
    if (!base)
        return;
    OwnNames = ownNames;
    const int count = base->GetCount();
    RowBlocks.resize((size_t(count) + RowBlock - 1) / RowBlock);
    Count_ = count;
    std::vector<int> parents;
    try {
        if (threads && count > 0)
            parents = BuildReplyParents(*base, progress, readRows ? lfNames | lfSubject | lfDate : 0,
                                        [&](int p, const TListHeader& header) {
                                            if (readRows)
                                                FillRow(p, header);
                                        });
        Base_ = base;
        Threads_ = threads;
        BuildShape(std::move(parents));
        if (readRows)
            FillRows(progress);
    } catch (...) {
        Clear();
        throw;
    }
}

void TMsgList::BuildShape(std::vector<int> parents) {
    if (parents.empty())
        return;
    const int count = Count();
    Parents = std::move(parents);
    ReplyStart.assign(size_t(count) + 1, 0);
    int topCount = 0;
    for (int p = 0; p < count; ++p)
        ++(Parents[p] == NoParent ? topCount : ReplyStart[Parents[p] + 1]);
    ReplyStart[0] = topCount;
    for (int p = 0; p < count; ++p)
        ReplyStart[p + 1] += ReplyStart[p];
    Order.resize(count);
    Places.resize(count);
    // Each row's start serves as the cursor of its replies and ends up at the next row's
    // start; one shift puts the starts back.
    int nextTop = 0;
    for (int p = 0; p < count; ++p) {
        const int parent = Parents[p];
        const int at = parent == NoParent ? nextTop++ : ReplyStart[parent]++;
        Order[at] = p;
    }
    for (int p = count; p > 0; --p)
        ReplyStart[p] = ReplyStart[p - 1];
    ReplyStart[0] = topCount;
    for (int level = NoParent; level < count; ++level) {
        const auto [first, end] = Level(level);
        for (int at = first; at < end; ++at)
            Places[Order[at]] = at - first;
    }
}

std::pair<int, int> TMsgList::Level(int parent) const {
    if (parent == NoParent)
        return {0, ReplyStart.empty() ? Count() : ReplyStart[0]};
    if (ReplyStart.empty() || parent < 0 || parent >= Count())
        return {0, 0};
    return {ReplyStart[parent], ReplyStart[parent + 1]};
}

int TMsgList::ChildCount(int parent) const {
    const auto [first, end] = Level(parent);
    return end - first;
}

int TMsgList::Child(int parent, int place) const {
    const int at = Level(parent).first + place;
    return Order.empty() ? at : Order[at];
}

TMsgList::TStoredRow& TMsgList::RowSlot(int index) {
    std::unique_ptr<TStoredRow[]>& block = RowBlocks[size_t(index) / RowBlock];
    if (!block)
        block = std::make_unique<TStoredRow[]>(RowBlock);
    return block[size_t(index) % RowBlock];
}

TMsgRow TMsgList::RowOf(const TStoredRow& stored) const {
    const std::string_view text =
        Texts.At(stored.Text, size_t(stored.FromSize) + stored.ToSize + stored.SubjSize);
    return {text.substr(0, stored.FromSize), text.substr(stored.FromSize, stored.ToSize),
            text.substr(size_t(stored.FromSize) + stored.ToSize), stored.Date, stored.Flags};
}

void TMsgList::FillRow(int index, const TListHeader& header) {
    TStoredRow& row = RowSlot(index);
    if (row.Filled)
        return;
    const std::string_view from = header.FromName.substr(0, MaxRowText);
    const std::string_view to = header.ToName.substr(0, MaxRowText);
    const std::string_view subj = header.Subject.substr(0, MaxRowText);
    row.Text = Texts.Add(from, to, subj);
    row.FromSize = static_cast<uint16_t>(from.size());
    row.ToSize = static_cast<uint16_t>(to.size());
    row.SubjSize = static_cast<uint16_t>(subj.size());
    row.Date = header.DateWritten;
    row.Flags = (OwnNames.IsOwnName(from) ? rfFromOwn : 0) | (OwnNames.IsOwnName(to) ? rfToOwn : 0);
    row.Filled = true;
    ++FilledRows;
}

void TMsgList::FillRows(const TProgress& progress) {
    if (!Base_ || FilledRows == Count())
        return;
    int visited = 0;
    Base_->ReadListHeaders(
        lfNames | lfSubject | lfDate,
        [&](int p, const TListHeader& header) {
            if (p < Count())
                FillRow(p, header);
            ++visited;
        },
        progress);
    if (visited != Count())
        throw EFileError("the message list changed while it was read", 0);
}

TMsgRow TMsgList::Row(int index) {
    if (index < 0 || index >= Count())
        throw std::out_of_range("no such row");
    TStoredRow& row = RowSlot(index);
    if (!row.Filled) {
        TMsgHandle msg = Base_->GetMsg(index);
        if (!msg)
            throw EFileError("the message list changed while it was read", 0);
        FillRow(index, ListHeaderOf(*msg));
    }
    return RowOf(row);
}

int TMsgList::Depth(int index) const {
    int depth = 0;
    for (int p = Parent(index); p != NoParent; p = Parent(p))
        ++depth;
    return depth;
}

std::vector<int> TMsgList::DisplayOrder() const {
    std::vector<int> order;
    order.reserve(size_t(Count()));
    VisitDisplayOrder([&](int index, int) { order.push_back(index); });
    return order;
}

void TMsgList::VisitDisplayOrder(const std::function<void(int index, int depth)>& visit) const {
    std::vector<std::pair<int, int>> stack;
    for (int place = ChildCount(NoParent) - 1; place >= 0; --place)
        stack.emplace_back(Child(NoParent, place), 0);
    while (!stack.empty()) {
        const auto [index, depth] = stack.back();
        stack.pop_back();
        visit(index, depth);
        for (int place = ChildCount(index) - 1; place >= 0; --place)
            stack.emplace_back(Child(index, place), depth + 1);
    }
}

namespace {

// Dates closer than a millisecond are equal.
int64_t DateKey(TDateTime date) {
    return std::llround(date * 86400000.0);
}

// Only the start of a text counts, so that a damaged header cannot make the keys grow
// without end; no subject or name comes near it.
constexpr size_t MaxComparedText = 255;

// Each text's rank in the collation; texts it does not tell apart share one.
std::vector<uint32_t> RanksOf(const TPackedTexts& keys) {
    std::vector<uint32_t> order(keys.Size());
    std::iota(order.begin(), order.end(), 0u);
    SortByKeys(order, keys);
    std::vector<uint32_t> ranks(keys.Size());
    uint32_t rank = 0;
    for (size_t i = 0; i < order.size(); ++i) {
        if (i > 0 && keys[order[i]] != keys[order[i - 1]])
            ++rank;
        ranks[order[i]] = rank;
    }
    return ranks;
}

} // namespace

TMsgList::TSortKeys TMsgList::ReadSortKeys(int column) {
    const bool text = column == mcFrom || column == mcTo || column == mcSubj;
    const bool dated = column == mcFrom || column == mcSubj || column == mcDate;
    const int count = Count();
    TSortKeys result;
    TCollator collator(ActiveDisplayPage());
    TPackedTexts keys;
    if (text)
        keys.Reserve(size_t(count), size_t(count) * 32);
    if (dated)
        result.Dates.assign(size_t(count), 0);
    int visited = 0;
    auto take = [&](int p, const TListHeader& header) {
        if (p != visited++)
            throw EFileError("the message list changed while it was read", 0);
        if (text) {
            const std::string_view value = column == mcFrom ? header.FromName
                                           : column == mcTo ? header.ToName
                                                            : StripReplyPrefixes(header.Subject);
            collator.AppendKey(keys.Buffer(), value.substr(0, MaxComparedText));
            keys.Finish();
        }
        if (dated)
            result.Dates[p] = DateKey(header.DateWritten);
    };
    if (FilledRows == count) {
        for (int p = 0; p < count; ++p) {
            const TMsgRow row = RowOf(RowSlot(p));
            take(p, {row.From, row.To, row.Subj, row.Date, 0, {}, {}});
        }
    } else {
        unsigned fields = column == mcSubj ? lfSubject : column == mcDate ? 0u : lfNames;
        if (dated)
            fields |= lfDate;
        Base_->ReadListHeaders(fields, take);
    }
    if (visited != count)
        throw EFileError("the message list changed while it was read", 0);
    if (text)
        result.Ranks = RanksOf(keys);
    return result;
}

void TMsgList::SortLevels(const TSortKeys& keys) {
    if (Order.empty()) {
        Order.resize(size_t(Count()));
        std::iota(Order.begin(), Order.end(), 0);
        Places = Order;
    }
    // A rank and a position fit in one number, which sorts fastest; the position last keeps
    // equal keys in storage order.
    std::vector<uint64_t> ranked;
    std::vector<std::pair<int64_t, int>> dated;
    auto byDate = [&](int first, int end) {
        dated.clear();
        for (int at = first; at < end; ++at)
            dated.emplace_back(keys.Dates[Order[at]], Order[at]);
        std::sort(dated.begin(), dated.end());
        for (int at = first; at < end; ++at)
            Order[at] = dated[at - first].second;
    };
    // Rows of one text in the order of their dates.
    auto byDateWithinRanks = [&](int first, int end) {
        for (int run = first; run < end && !keys.Dates.empty();) {
            int next = run + 1;
            while (next < end && keys.Ranks[Order[next]] == keys.Ranks[Order[run]])
                ++next;
            if (next - run > 1)
                byDate(run, next);
            run = next;
        }
    };
    auto sortLevel = [&](int parent) {
        const auto [first, end] = Level(parent);
        if (end - first < 2)
            return;
        if (!keys.Ranks.empty() && end - first == Count()) {
            // The whole list on one level: ranks are small numbers, counted in one pass;
            // going through the positions in order keeps equal ranks in storage order.
            std::vector<int> starts(size_t(Count()) + 1, 0);
            for (uint32_t rank : keys.Ranks)
                ++starts[rank + 1];
            for (size_t r = 1; r < starts.size(); ++r)
                starts[r] += starts[r - 1];
            for (int p = 0; p < Count(); ++p)
                Order[first + starts[keys.Ranks[p]]++] = p;
            byDateWithinRanks(first, end);
        } else if (!keys.Ranks.empty()) {
            ranked.clear();
            for (int at = first; at < end; ++at)
                ranked.push_back(uint64_t(keys.Ranks[Order[at]]) << 31 | uint64_t(Order[at]));
            std::sort(ranked.begin(), ranked.end());
            for (int at = first; at < end; ++at)
                Order[at] = static_cast<int>(ranked[at - first] & 0x7FFFFFFF);
            byDateWithinRanks(first, end);
        } else if (!keys.Dates.empty()) {
            byDate(first, end);
        } else {
            std::sort(Order.begin() + first, Order.begin() + end);
        }
        for (int at = first; at < end; ++at)
            Places[Order[at]] = at - first;
    };
    sortLevel(NoParent);
    if (!ReplyStart.empty())
        for (int p = 0; p < Count(); ++p)
            sortLevel(p);
}

void TMsgList::Sort(int column) {
    if (column < 0 || column >= MsgColumnCount || !Base_)
        return;
    if (column == mcNumber && !Threads_) {
        // Storage order needs nothing kept per row.
        Order.clear();
        Places.clear();
    } else {
        SortLevels(column == mcNumber ? TSortKeys() : ReadSortKeys(column));
    }
    SortColumn_ = column;
}

bool TMsgList::ThreadUnread(int index) {
    if (UnreadBelow.empty())
        UnreadBelow.assign(size_t(Count()), -1);
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
            for (int place = 0; place < ChildCount(row); ++place)
                stack.push_back(Child(row, place));
    }
    UnreadBelow[index] = unread;
    return unread;
}

} // namespace tavro
