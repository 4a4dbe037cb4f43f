#include "MsgDelete.h"

#include <algorithm>
#include <vector>

namespace tavro {

namespace {

void DeleteCurrent(TCustomBase& base, int current) {
    if (current < 0 || current >= base.GetCount())
        return;
    if (current + 1 < base.GetCount())
        base.SetLastRead(base.GetMsgId(current + 1));
    base.DeleteMsg(base.GetMsgId(current));
}

std::vector<TMsgId> AscendingIds(const TSortedList& marks) {
    std::vector<TMsgId> ids;
    ids.reserve(static_cast<size_t>(marks.Count()));
    for (int i = 0; i < marks.Count(); ++i)
        ids.push_back(static_cast<TMsgId>(marks.Get(i)));
    // The marks sort as signed values; ids are unsigned.
    std::sort(ids.begin(), ids.end());
    return ids;
}

void DeleteMarked(TCustomBase& base, const std::vector<TMsgId>& ids, const TProgress& progress) {
    const size_t n = ids.size();
    if (n > size_t(SingleDeleteLimit)) {
        base.DeleteMsgs(ids, progress);
        return;
    }
    for (size_t i = 0; i < n; ++i) {
        base.DeleteMsg(ids[i]);
        if (progress)
            progress(n == 1 ? 100 : static_cast<int>(i * 100 / (n - 1)));
    }
}

} // namespace

void DeleteMessages(TCustomBase& base, TSortedList& marks, int current, const TProgress& progress) {
    if (marks.Count() == 0) {
        DeleteCurrent(base, current);
        return;
    }
    DeleteMarked(base, AscendingIds(marks), progress);
    marks.Clear();
}

} // namespace tavro
