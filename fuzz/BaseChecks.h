#pragma once

// What the message base targets share: the scratch directory emptied for each input, a user
// interface that counts error boxes, and the checks every change of a base must pass:
// a change that answers false leaves every file as it was, an appended message reads back
// by its id, and a deleted one is gone while the others keep their ids.
#include "core/Base.h"
#include "core/Msg.h"
#include "core/UserInterface.h"

#include "ScratchDir.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavro::fuzz {

// Crashes with the reason, so libFuzzer keeps the input. The crash skips the removal at
// exit; the files go first, the input makes them again.
[[noreturn]] inline void Violated(const char* why) {
    std::fprintf(stderr, "Property violated: %s\n", why);
    detail::RemoveScratchDir();
    std::abort();
}

// Counts the boxes instead of showing them.
class TCountingUi final : public TUserInterface {
public:
    void ShowError(const std::string&) override { ++Errors; }
    TMsgDlgButton Ask(const std::string&, TMsgDlgType, const std::vector<TMsgDlgButton>& buttons) override {
        ++Questions;
        return buttons.empty() ? mbCancel : buttons.front();
    }
    int Errors = 0;
    int Questions = 0;
};

inline TCountingUi& Ui() {
    static TCountingUi ui;
    static const bool installed = (SetUserInterface(&ui), true);
    (void)installed;
    return ui;
}

// Each input starts from an empty directory: files a previous input left (read marks,
// last-read records, scan files) would make a crash depend on the inputs before it.
inline void EmptyScratchDir() {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(ScratchDir(), ignored))
        std::filesystem::remove_all(entry.path(), ignored);
}

inline void WriteScratch(const std::string& name, std::string_view data) {
    std::ofstream(ScratchDir() + "/" + name, std::ios::binary | std::ios::trunc)
        .write(data.data(), static_cast<std::streamsize>(data.size()));
}

// Every file of the scratch directory by name, with its contents.
using TSnapshot = std::map<std::string, std::string>;

inline TSnapshot Snapshot() {
    TSnapshot files;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(ScratchDir(), ignored)) {
        std::ifstream in(entry.path(), std::ios::binary);
        files[entry.path().filename().string()] =
            std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return files;
}

inline std::vector<TMsgId> Ids(TCustomBase& base) {
    std::vector<TMsgId> ids;
    for (int i = 0; i < base.GetCount(); ++i)
        ids.push_back(base.GetMsgId(i));
    return ids;
}

struct TListing {
    // The ids, when the base listed.
    std::optional<std::vector<TMsgId>> Ids;
    // Every message listed read with its text: the base is whole as far as a reader can tell.
    bool Whole = false;
};

// Reads the base as the reader does: the list, then every message with its text.
inline TListing ReadAll(TCustomBase& base) {
    TListing listing;
    try {
        base.Rescan();
        base.HasUnread();
        listing.Ids = Ids(base);
        for (int i = 0; i < base.GetCount(); ++i) {
            TMsgHandle msg = base.GetMsg(i);
            msg->GetBody();
            msg->GetAttr();
        }
        base.HasUnread();
        listing.Whole = true;
    } catch (const EFileError&) {
        // A damaged base reads as locked.
    }
    // The walk that threads and sorting make reads the same headers its own way.
    int visited = 0;
    try {
        base.ReadListHeaders(lfAll, [&](int p, const TListHeader&) {
            if (p != visited++)
                Violated("the header walk skipped a position");
        });
        if (listing.Whole && visited != base.GetCount())
            Violated("the header walk missed messages");
    } catch (const EFileError&) {
        if (listing.Whole)
            Violated("the header walk failed where every message reads");
    }
    return listing;
}

// What every target appends: plain ASCII, which any code page stores unchanged.
inline void FillProbe(TCustomMsg& msg) {
    msg.FromName = "Fuzz Writer";
    msg.ToName = "All";
    msg.Subject = "appended";
    msg.FromAddr.Parse("2:5020/1");
    msg.ToAddr.Parse("2:5030/3");
    msg.Body = {{"first line"}, {"second line"}};
}

inline bool ReadsAsProbe(TCustomMsg& msg) {
    const TBodyLines& body = msg.GetBody();
    return msg.FromName == "Fuzz Writer" && msg.ToName == "All" && msg.Subject == "appended" &&
           body.size() == 2 && body[0].Text == "first line" && body[1].Text == "second line";
}

// The boxes a change showed, and the files it must have left alone when it answered false.
class TChange {
public:
    TChange() : Before(Snapshot()), Errors(Ui().Errors) {}

    int Boxes() const { return Ui().Errors - Errors; }
    const TSnapshot& FilesBefore() const { return Before; }

    void CheckUnchanged() const {
        if (Snapshot() != Before)
            Violated("a change that answered false changed the files");
    }

private:
    TSnapshot Before;
    int Errors;
};

// The position of a listed id.
inline int PositionOfId(TCustomBase& base, TMsgId id) {
    const int position = base.IndexOfId(id);
    if (position < 0)
        Violated("an appended message is not found by its id");
    return position;
}

// Appends the probe. `appendedAt` answers its position once the base has been rescanned,
// normally PositionOfId of its id. When the base read whole before, the rescan must work
// and find the message; a damaged base may refuse to list afterwards, but must not list a
// different message in its place.
template <typename AppendedAt> void CheckAppend(TCustomBase& base, bool wasWhole, AppendedAt appendedAt) {
    auto msg = base.NewMsg();
    FillProbe(*msg);
    const TChange change;
    const bool saved = msg->Save();
    if (!saved) {
        if (change.Boxes() != 1)
            Violated("a failed append did not show exactly one box");
        change.CheckUnchanged();
        return;
    }
    if (change.Boxes() != 0)
        Violated("an append that worked showed a box");
    try {
        base.Rescan();
        TMsgHandle stored = base.GetMsg(appendedAt(*msg, change.FilesBefore()));
        if (!stored || !ReadsAsProbe(*stored))
            Violated("an appended message reads back different");
    } catch (const EFileError&) {
        if (wasWhole)
            Violated("a base that read whole before an append does not list it afterwards");
    }
}

// What a target knows a damaged base of its format gets wrong when it lists after a delete.
struct TDeleteLeeway {
    bool DeletedMayStay = false;
    // Listed, but may go with a delete of others.
    std::vector<TMsgId> MayGo;
};

// Deletes `ids` (one through DeleteMsg, more through DeleteMsgs) from a base just listed
// as `listing`. Ids that were not listed are no error and change nothing.
inline void CheckDelete(TCustomBase& base, const TListing& listing, const std::vector<TMsgId>& ids,
                        const TDeleteLeeway& leeway = {}) {
    const TChange change;
    const bool deleted = ids.size() == 1 ? base.DeleteMsg(ids.front()) : base.DeleteMsgs(ids, nullptr);
    if (!listing.Ids) {
        if (!deleted)
            change.CheckUnchanged();
        return;
    }
    const std::vector<TMsgId>& before = *listing.Ids;
    auto listed = [&](TMsgId id) { return std::find(before.begin(), before.end(), id) != before.end(); };
    const bool anyListed = std::any_of(ids.begin(), ids.end(), listed);
    if (!deleted) {
        change.CheckUnchanged();
        if (change.Boxes() > 1)
            Violated("a failed delete showed more than one box");
        if (!anyListed && change.Boxes() != 0)
            Violated("deleting ids that are not listed showed a box");
        if (ids.size() > 1 && !anyListed)
            Violated("deleting several ids none of which is listed failed");
        return;
    }
    if (change.Boxes() != 0)
        Violated("a delete that worked showed a box");
    if (ids.size() == 1 && !anyListed)
        Violated("deleting an id that is not listed answered true");
    auto others = [&](const std::vector<TMsgId>& list) {
        std::vector<TMsgId> kept;
        for (TMsgId id : list)
            if (std::find(ids.begin(), ids.end(), id) == ids.end() &&
                std::find(leeway.MayGo.begin(), leeway.MayGo.end(), id) == leeway.MayGo.end())
                kept.push_back(id);
        return kept;
    };
    try {
        base.Rescan();
        for (TMsgId id : ids)
            if (!leeway.DeletedMayStay && base.IndexOfId(id) >= 0)
                Violated("a deleted message is listed after a rescan");
        if (others(Ids(base)) != others(before))
            Violated("a delete changed the ids of the other messages");
    } catch (const EFileError&) {
        if (listing.Whole)
            Violated("a base that read whole before a delete does not list afterwards");
    }
}

// The ids a target deletes: one listed message chosen by `pick`, or, for a pick past the
// list, an id that is not there.
inline TMsgId PickId(const TListing& listing, size_t pick) {
    if (!listing.Ids || listing.Ids->empty())
        return 2;
    const std::vector<TMsgId>& ids = *listing.Ids;
    if (pick % (ids.size() + 1) == ids.size())
        return *std::max_element(ids.begin(), ids.end()) + 1000;
    return ids[pick % (ids.size() + 1)];
}

} // namespace tavro::fuzz
