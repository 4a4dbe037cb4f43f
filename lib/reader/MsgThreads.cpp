#include "MsgThreads.h"

#include "core/StrUtils.h"

#include <algorithm>
#include <numeric>
#include <unordered_map>

namespace tavro {

void AppendThreadKey(std::string& out, std::string_view kludgeValue) {
    const size_t start = out.size();
    out.resize(start + kludgeValue.size());
    char* const begin = out.data() + start;
    char* end = begin;
    for (char c : kludgeValue) {
        if (c == ' ' || c == '\t') {
            if (end > begin && end[-1] != ' ')
                *end++ = ' ';
        } else {
            *end++ = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
        }
    }
    if (end > begin && end[-1] == ' ')
        --end;
    out.resize(static_cast<size_t>(end - out.data()));
}

std::string ThreadKey(std::string_view kludgeValue) {
    std::string key;
    key.reserve(kludgeValue.size());
    AppendThreadKey(key, kludgeValue);
    return key;
}

namespace {

// What linking needs of every message, gathered in one pass over the headers. MSGID and
// REPLY are kept as 64-bit hashes of their keys (0: none): strings for 100,000 messages
// would cost more than reading the headers, and two ids of one area meet in a hash far
// less often than a tosser writes a damaged one.
struct TLinks {
    explicit TLinks(int count) : ReplyTo(size_t(count)), MsgId(size_t(count)), Reply(size_t(count)) {}
    std::vector<TMsgId> ReplyTo;
    std::vector<uint64_t> MsgId;
    std::vector<uint64_t> Reply;
};

uint64_t KeyHash(std::string& scratch, std::string_view kludgeValue) {
    scratch.clear();
    AppendThreadKey(scratch, kludgeValue);
    if (scratch.empty())
        return 0;
    const uint64_t hash = std::hash<std::string_view>()(scratch);
    return hash == 0 ? 1 : hash;
}

// The first message with each MSGID, by open addressing over the positions.
class TMsgIdTable {
public:
    explicit TMsgIdTable(const std::vector<uint64_t>& msgIds) : MsgIds(msgIds) {
        size_t size = 16;
        while (size < msgIds.size() + msgIds.size() / 3)
            size *= 2;
        Slots.assign(size, -1);
        for (int p = 0; p < static_cast<int>(msgIds.size()); ++p) {
            if (msgIds[p] == 0)
                continue;
            int& slot = Slots[SlotOf(msgIds[p])];
            if (slot < 0)
                slot = p;
        }
    }
    int Find(uint64_t key) const { return key == 0 ? -1 : Slots[SlotOf(key)]; }

private:
    // The slot holding the key, or the empty one where it would go.
    size_t SlotOf(uint64_t key) const {
        const size_t mask = Slots.size() - 1;
        for (size_t i = key & mask;; i = (i + 1) & mask)
            if (Slots[i] < 0 || MsgIds[Slots[i]] == key)
                return i;
    }

    const std::vector<uint64_t>& MsgIds;
    std::vector<int> Slots;
};

// Positions by id. The base answers for itself where ids grow with positions, as they
// normally do; a damaged index may break that, and then a sorted copy answers.
class TIdPositions {
public:
    explicit TIdPositions(TCustomBase& base) : Base(base) {
        const int count = base.GetCount();
        TMsgId last = 0;
        bool sorted = true;
        for (int p = 0; p < count && sorted; ++p) {
            const TMsgId id = base.GetMsgId(p);
            sorted = p == 0 || id > last;
            last = id;
        }
        if (sorted)
            return;
        Sorted.reserve(size_t(count));
        for (int p = 0; p < count; ++p)
            Sorted.emplace_back(base.GetMsgId(p), p);
        std::stable_sort(Sorted.begin(), Sorted.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
    }
    int Find(TMsgId id) const {
        if (Sorted.empty())
            return Base.IndexOfId(id);
        auto it = std::lower_bound(Sorted.begin(), Sorted.end(), id,
                                   [](const auto& entry, TMsgId wanted) { return entry.first < wanted; });
        return it != Sorted.end() && it->first == id ? it->second : -1;
    }

private:
    TCustomBase& Base;
    std::vector<std::pair<TMsgId, int>> Sorted;
};

// Roots of the trees built so far, so that a cycle is seen without walking up a chain.
class TRoots {
public:
    explicit TRoots(int count) : Up(count) { std::iota(Up.begin(), Up.end(), 0); }
    int Find(int node) {
        while (Up[node] != node) {
            Up[node] = Up[Up[node]];
            node = Up[node];
        }
        return node;
    }
    // `child` is still a root; its tree joins the parent's.
    void Join(int child, int parent) { Up[child] = Find(parent); }

private:
    std::vector<int> Up;
};

} // namespace

std::vector<int> BuildReplyParents(TCustomBase& base, const TProgress& progress, unsigned fields,
                                   const TListHeaderVisitor& visit) {
    const int count = base.GetCount();
    TLinks links(count);
    std::string scratch;
    int visited = 0;
    base.ReadListHeaders(
        fields | lfLinks,
        [&](int p, const TListHeader& header) {
            if (p != visited++)
                throw EFileError("the message list changed while it was read", 0);
            links.ReplyTo[p] = header.ReplyTo;
            links.MsgId[p] = KeyHash(scratch, header.MsgId);
            links.Reply[p] = KeyHash(scratch, header.Reply);
            if (visit)
                visit(p, header);
        },
        progress);
    if (visited != count)
        throw EFileError("the message list changed while it was read", 0);

    const TIdPositions positions(base);
    const TMsgIdTable byMsgId(links.MsgId);
    std::vector<int> parents(count, -1);
    TRoots roots(count);
    for (int p = 0; p < count; ++p) {
        int parent = links.ReplyTo[p] ? positions.Find(links.ReplyTo[p]) : -1;
        if (parent < 0)
            parent = byMsgId.Find(links.Reply[p]);
        // p has no parent yet, so it is a root: the link closes a cycle exactly when the
        // parent already hangs below p.
        if (parent < 0 || roots.Find(parent) == p)
            continue;
        parents[p] = parent;
        roots.Join(p, parent);
    }
    return parents;
}

} // namespace tavro
