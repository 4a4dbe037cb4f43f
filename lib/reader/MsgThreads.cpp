#include "MsgThreads.h"

#include "core/StrUtils.h"

#include <algorithm>
#include <numeric>
#include <unordered_map>

namespace tavro {

std::string ThreadKey(std::string_view kludgeValue) {
    std::string key;
    key.reserve(kludgeValue.size());
    for (char c : kludgeValue) {
        if (c == ' ' || c == '\t') {
            if (!key.empty() && key.back() != ' ')
                key.push_back(' ');
        } else {
            key.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c);
        }
    }
    if (!key.empty() && key.back() == ' ')
        key.pop_back();
    return key;
}

namespace {

// What linking needs of one message, gathered in one pass over the headers.
struct TLinkInfo {
    TMsgId ReplyTo = 0;
    std::string MsgId;
    std::string Reply;
};

TLinkInfo ReadLinkInfo(TCustomMsg& msg) {
    TLinkInfo info{msg.ReplyTo, {}, {}};
    if (msg.ThreadKludgesRead) {
        info.MsgId = ThreadKey(msg.MsgIdKludge);
        info.Reply = ThreadKey(msg.ReplyKludge);
    } else {
        // The kludges of a *.MSG message are in its text.
        msg.GetKludges();
        info.MsgId = ThreadKey(msg.GetKludge("MSGID:"));
        info.Reply = ThreadKey(msg.GetKludge("REPLY:"));
    }
    return info;
}

// Positions by id; ids normally grow with positions, but a damaged index need not.
class TIdPositions {
public:
    explicit TIdPositions(TCustomBase& base) {
        const int count = base.GetCount();
        Sorted.reserve(count);
        for (int p = 0; p < count; ++p)
            Sorted.emplace_back(base.GetMsgId(p), p);
        std::stable_sort(Sorted.begin(), Sorted.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
    }
    int Find(TMsgId id) const {
        auto it = std::lower_bound(Sorted.begin(), Sorted.end(), id,
                                   [](const auto& entry, TMsgId wanted) { return entry.first < wanted; });
        return it != Sorted.end() && it->first == id ? it->second : -1;
    }

private:
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

int ParentByReplyKludge(const TLinkInfo& info, const std::unordered_map<std::string, int>& byMsgId) {
    if (info.Reply.empty())
        return -1;
    auto it = byMsgId.find(info.Reply);
    return it == byMsgId.end() ? -1 : it->second;
}

} // namespace

std::vector<int> BuildReplyParents(TCustomBase& base, const TProgress& progress, const TMsgVisitor& visit) {
    const int count = base.GetCount();
    std::vector<TLinkInfo> links(count);
    int reported = -1;
    for (int p = 0; p < count; ++p) {
        TMsgHandle msg = base.GetMsg(p);
        if (!msg)
            throw EFileError("the message list changed while it was read", 0);
        links[p] = ReadLinkInfo(*msg);
        if (visit)
            visit(p, *msg);
        const int percent = static_cast<int>((int64_t(p) * 100 + count / 2) / count);
        if (progress && percent != reported)
            progress(reported = percent);
    }

    const TIdPositions positions(base);
    std::unordered_map<std::string, int> byMsgId;
    byMsgId.reserve(size_t(count));
    for (int p = 0; p < count; ++p)
        if (!links[p].MsgId.empty())
            byMsgId.emplace(links[p].MsgId, p);

    std::vector<int> parents(count, -1);
    TRoots roots(count);
    for (int p = 0; p < count; ++p) {
        int parent = links[p].ReplyTo ? positions.Find(links[p].ReplyTo) : -1;
        if (parent < 0)
            parent = ParentByReplyKludge(links[p], byMsgId);
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
