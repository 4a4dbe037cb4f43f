// The last-read records (.jlr) and the read marks (.jrd) of a JAM base are written by every
// reader of the base: the input gives both files beside a small sound base, whose user
// loads them, moves the pointer, changes marks and saves. Checks that the pointer and the
// marks load as stored, that saving touches only the user's own record and bits, and that
// what was saved loads again.
#include "bases/JamBase.h"
#include "core/Endian.h"
#include "core/Readings.h"

#include "BaseChecks.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

using namespace tavro;
using namespace tavro::fuzz;

namespace {

const std::string UserName = "Fuzz Reader";
constexpr TMsgId UnlistedId = 100;

std::string BasePath() {
    return ScratchDir() + "/f.jhr";
}

// Four messages, the second deleted: ids 1, 3 and 4 are listed.
const TSnapshot& SoundBase() {
    static const TSnapshot files = [] {
        EmptyScratchDir();
        TBaseRef ref = TBaseRef::Adopt(new TJamBase(BasePath(), "FUZZ", ""));
        if (!ref->CreateIfMissing())
            Violated("cannot create the base");
        for (int i = 0; i < 4; ++i) {
            auto msg = ref->NewMsg();
            FillProbe(*msg);
            if (!msg->Save())
                Violated("cannot write the base");
        }
        ref->Rescan();
        if (!ref->DeleteMsg(2))
            Violated("cannot delete from the base");
        ref.Reset();
        TSnapshot snapshot = Snapshot();
        snapshot.erase("f.jlr");
        snapshot.erase("f.jrd");
        return snapshot;
    }();
    return files;
}

struct TLastRead {
    int64_t At = -1; // offset of the user's record; -1 when there is none
    int32_t LastRead = 0;
    int32_t HighRead = -1;
    uint32_t NameCrc = 0;
};

// The user's record as JAM readers find it: the first whole record with the CRC of the
// user's name, else the first with the user's number.
TLastRead FindRecord(const std::string& jlr, int user) {
    TLastRead found;
    auto take = [&](size_t at) {
        found.At = static_cast<int64_t>(at);
        found.NameCrc = GetLE32(jlr.data() + at);
        found.LastRead = static_cast<int32_t>(GetLE32(jlr.data() + at + 8));
        found.HighRead = static_cast<int32_t>(GetLE32(jlr.data() + at + 12));
    };
    for (size_t at = 0; at + JamLastReadSize <= jlr.size(); at += JamLastReadSize)
        if (GetLE32(jlr.data() + at) == JamCrc(UserName)) {
            take(at);
            return found;
        }
    for (size_t at = 0; at + JamLastReadSize <= jlr.size(); at += JamLastReadSize)
        if (GetLE32(jlr.data() + at + 4) == static_cast<uint32_t>(user)) {
            take(at);
            break;
        }
    return found;
}

bool Marked(const std::vector<TReadingsRecord>& records, TMsgId id, int user) {
    if (user < 0 || user >= 256)
        return false;
    return std::any_of(records.begin(), records.end(),
                       [&](const TReadingsRecord& r) { return r.Id == id && r.Has(user); });
}

std::optional<std::string> File(const TSnapshot& files, const std::string& name) {
    auto it = files.find(name);
    return it == files.end() ? std::nullopt : std::optional(it->second);
}

} // namespace

// Input: the user index (2 bytes), a byte of what to change, the length of the .jlr
// (2 bytes), the .jlr, then the .jrd. The change byte: bits 0-2 flip the mark of the listed
// message 0-2, bit 3 marks an id that is not listed, bits 4 and 5 leave out the .jlr and
// the .jrd, bits 6-7 move the pointer to nowhere, the first, the last or a high id.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 5)
        return 0;
    const int user = GetLE16(data) & 0x1FF;
    const uint8_t change = data[2];
    std::string_view rest(reinterpret_cast<const char*>(data) + 5, size - 5);
    const size_t jlrSize = std::min<size_t>(GetLE16(data + 3), rest.size());

    const TSnapshot& sound = SoundBase();
    EmptyScratchDir();
    for (const auto& [name, contents] : sound)
        WriteScratch(name, contents);
    if (!(change & 0x10))
        WriteScratch("f.jlr", rest.substr(0, jlrSize));
    if (!(change & 0x20))
        WriteScratch("f.jrd", rest.substr(jlrSize));
    const TSnapshot before = Snapshot();
    const std::string oldJlr = File(before, "f.jlr").value_or("");
    const std::vector<TReadingsRecord> oldMarks = ParseReadings(File(before, "f.jrd").value_or(""));

    Ui();
    TBaseRef ref = TBaseRef::Adopt(new TJamBase(BasePath(), "FUZZ", ""));
    ref->SetUser(user, UserName);
    const TLastRead stored = FindRecord(oldJlr, user);
    if (ref->GetLastRead() != static_cast<TMsgId>(std::max(stored.LastRead, 0)))
        Violated("the last-read pointer does not load as stored");
    for (const TReadingsRecord& r : oldMarks)
        if (ref->IsRead(r.Id) != Marked(oldMarks, r.Id, user))
            Violated("a read mark does not load as stored");
    ref->Rescan();
    const std::vector<TMsgId> listed = Ids(*ref);
    if (listed != std::vector<TMsgId>{1, 3, 4})
        Violated("the sound base lists wrong");

    std::vector<bool> read;
    for (size_t k = 0; k < listed.size(); ++k) {
        read.push_back(ref->IsRead(listed[k]) != bool(change & (1 << k)));
        ref->SetRead(listed[k], read.back());
    }
    if (change & 0x08)
        ref->SetRead(UnlistedId, true);
    const TMsgId pointers[] = {0, listed.front(), listed.back(), 70000};
    const TMsgId pointer = pointers[change >> 6];
    const bool moved = (change >> 6) != 0;
    if (moved)
        ref->SetLastRead(pointer);
    ref.Reset();

    // Only the user's record changes, and only when the pointer moved.
    const TSnapshot after = Snapshot();
    const std::optional<std::string> jlr = File(after, "f.jlr");
    const bool untouched = !moved || (stored.LastRead == static_cast<int32_t>(pointer) &&
                                      stored.HighRead >= static_cast<int32_t>(pointer));
    if (untouched) {
        if (jlr != File(before, "f.jlr"))
            Violated("the last-read file changed without a move");
    } else {
        if (!jlr)
            Violated("no last-read file after a move");
        const int64_t at =
            stored.At >= 0 ? stored.At : int64_t(oldJlr.size() - oldJlr.size() % JamLastReadSize);
        if (jlr->size() != std::max<size_t>(oldJlr.size(), size_t(at) + JamLastReadSize))
            Violated("the last-read file has a wrong size");
        std::string expected = oldJlr;
        expected.resize(jlr->size());
        expected.replace(static_cast<size_t>(at), JamLastReadSize,
                         jlr->substr(static_cast<size_t>(at), JamLastReadSize));
        if (*jlr != expected)
            Violated("saving the pointer changed other records");
        const TLastRead saved = FindRecord(*jlr, user);
        if (saved.At != at || saved.LastRead != static_cast<int32_t>(pointer) ||
            saved.HighRead != std::max(stored.HighRead, static_cast<int32_t>(pointer)))
            Violated("the saved record holds wrong numbers");
        // Other programs find a new record by the user's name.
        if (saved.NameCrc != (stored.At >= 0 ? stored.NameCrc : JamCrc(UserName)))
            Violated("the saved record names the wrong user");
    }

    // The user's bits follow the marks set, other users' bits stay, and records of messages
    // that are not listed go when anything was saved.
    const std::optional<std::string> jrd = File(after, "f.jrd");
    const std::vector<TReadingsRecord> newMarks = ParseReadings(jrd.value_or(""));
    if (jrd != File(before, "f.jrd")) {
        if (user >= 256)
            Violated("the marks of a user without a slot were saved");
        for (const TReadingsRecord& r : newMarks)
            if (std::find(listed.begin(), listed.end(), r.Id) == listed.end())
                Violated("a record of a message that is not listed stayed");
        for (size_t k = 0; k < listed.size(); ++k)
            for (int other = 0; other < 256; ++other)
                if (Marked(newMarks, listed[k], other) !=
                    (other == user ? bool(read[k]) : Marked(oldMarks, listed[k], other)))
                    Violated("saving the marks changed the wrong bits");
    }

    // What was saved loads again.
    ref = TBaseRef::Adopt(new TJamBase(BasePath(), "FUZZ", ""));
    ref->SetUser(user, UserName);
    const TMsgId expectedPointer = moved ? pointer : static_cast<TMsgId>(std::max(stored.LastRead, 0));
    if (ref->GetLastRead() != expectedPointer)
        Violated("the saved pointer does not load");
    for (size_t k = 0; k < listed.size(); ++k)
        if (ref->IsRead(listed[k]) != (user < 256 && read[k]))
            Violated("the saved marks do not load");
    return 0;
}
