#pragma once

#include "BufStream.h"
#include "CodePage.h"
#include "Msg.h"
#include "SortedList.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace tavro {

struct TGlobalSettings;

// A base whose files contradict themselves: a frame or record outside the file, a chain
// that loops. Reading such a base fails with this error and the area shows as locked.
class EDamagedBase : public EFileError {
public:
    explicit EDamagedBase(const std::string& message) : EFileError(message, 0) {}
};

// Percentage done, 0..100 (-1 while the only message of a one-message delete goes).
using TProgress = std::function<void(int)>;

// Reports step k of n: k × 100 / (n - 1), or -1 when there is a single step.
void ReportProgress(const TProgress& progress, size_t k, size_t n);

// What the message list and its threads take from one message's header. Names and subject
// are in the display page; the MSGID and REPLY values are as stored. Valid during the call.
struct TListHeader {
    std::string_view FromName;
    std::string_view ToName;
    std::string_view Subject;
    TDateTime DateWritten = 0;
    TMsgId ReplyTo = 0;
    std::string_view MsgId;
    std::string_view Reply;
};

// A message's own fields as a list header; MSGID and REPLY as read with the header.
TListHeader ListHeaderOf(const TCustomMsg& msg);

// The fields a walk over the headers fills in; a format may leave the others empty.
enum TListFields : unsigned {
    lfLinks = 1,   // ReplyTo, MsgId, Reply
    lfNames = 2,   // FromName, ToName
    lfSubject = 4, // Subject
    lfDate = 8,    // DateWritten
    lfAll = 15
};

using TListHeaderVisitor = std::function<void(int position, const TListHeader& header)>;

// Reports how much of a walk over `count` items is done, once per percent.
class TPercentSteps {
public:
    TPercentSteps(const TProgress& progress, int count) : Progress(progress), Count(count) {}
    void Done(int items) {
        if (!Progress || Count <= 0)
            return;
        const int percent = static_cast<int>((int64_t(items) * 100 + Count / 2) / Count);
        if (percent != Reported)
            Progress(Reported = percent);
    }

private:
    const TProgress& Progress;
    int Count;
    int Reported = -1;
};

// The storage formats, as the configuration numbers them.
enum TBaseType : uint8_t { btMsg = 0, btSquish = 1, btJam = 2 };

// The id of no message (what GetMsgId answers outside the range).
constexpr TMsgId NoMsgId = 0xFFFFFFFF;

// Message objects a base may keep without anyone holding them; a walk over a large area
// must not keep them all.
constexpr size_t MsgCacheLimit = 1024;

// The messages a base has handed out, by position. Before a new one would make the cache
// exceed its bound, the messages nobody else holds are let go, without writing anything. A
// held message stays, so the same object keeps coming back for its position. Where more
// than half the bound is held, the bound rises to twice what is held: holding many messages
// must not make every new one walk the cache.
class TMsgCache {
public:
    TMsgHandle Find(int position) const;
    // `msg` must be new: the position is not cached.
    void Add(int position, TMsgHandle msg);
    void Clear();
    size_t Size() const { return Items.size(); }

private:
    void Trim();

    std::unordered_map<int, TMsgHandle> Items;
    size_t Bound = MsgCacheLimit;
};

// One area's message storage. Messages are reached by position (0..GetCount()-1, storage
// order) or by id (stays with the message, grows with storage order). Reference counted:
// the area holds one reference, an open composer another (see TBaseRef).
//
// The contract, the same for every format:
// - Listing (Rescan, GetCount, GetMsg, GetMsgId, FindNearest, IndexOfId, HasUnread) reads
//   storage and throws EFileError when it cannot (EDamagedBase when the files contradict
//   themselves); the caller shows the area as locked. A failed Rescan keeps the list it had
//   and makes the next IsChanged answer true.
// - Changes (WriteMsg, DeleteMsg, DeleteMsgs, CreateIfMissing) never throw. Each is complete
//   or leaves the files exactly as they were; a failure shows one error box ("Can't open
//   message base file." or the damaged-base box) and answers false. After a change the
//   base is invalidated, so the caller rescans.
// - Last-read pointers and read marks never throw: errors in their files are ignored.
// - Opening never creates anything: a missing base lists no message; writers call
//   CreateIfMissing first.
class TCustomBase {
public:
    TCustomBase(std::string path, std::string echoTag, std::string netmailTag);
    virtual ~TCustomBase();
    TCustomBase(const TCustomBase&) = delete;
    TCustomBase& operator=(const TCustomBase&) = delete;

    void AddRef() { ++RefCount_; }
    // Frees the base when the last reference goes.
    void Release();
    int RefCount() const { return RefCount_; }

    // Replaces the path only; a format may normalise it.
    virtual void SetPath(std::string path) { Path = std::move(path); }

    // --- listing ---
    virtual int GetCount() = 0;
    // The message at a position with its header read; null out of range. The same object
    // while the cache keeps it, which it does at least while someone holds the handle. Rescan,
    // Close and deletes empty the cache: a message held then stays valid, while its base lives,
    // but is no longer the one its position answers.
    virtual TMsgHandle GetMsg(int position) = 0;
    // NoMsgId out of range.
    virtual TMsgId GetMsgId(int position) = 0;
    // The last position whose id is not above `id`, 0 when none.
    virtual int FindNearest(TMsgId id);
    // -1 when absent.
    virtual int IndexOfId(TMsgId id);
    virtual bool HasUnread();
    // Calls `visit` with every listed message's header in storage order. Formats that can
    // read headers straight do so without making message objects; the others hand over what
    // GetMsg reads. Throws as GetMsg does.
    virtual void ReadListHeaders(unsigned fields, const TListHeaderVisitor& visit,
                                 const TProgress& progress = {});
    // Rereads the list and empties the message cache.
    void Rescan();
    // How many message objects the cache keeps.
    size_t CachedMsgs() const { return Cache.Size(); }
    // Makes the next IsChanged answer true.
    virtual void Invalidate() = 0;
    virtual bool IsChanged() = 0;
    // Whether the storage is there (the directory, the header file).
    virtual bool Exists() = 0;
    // Whether the list comes from storage that a Rescan read (not from a missing base or no
    // Rescan at all): only then can a read mark be told to belong to a deleted message.
    bool HasList() const { return HasList_; }

    // --- changes ---
    // A new empty message of the base's own class, owned by the caller.
    virtual std::unique_ptr<TCustomMsg> NewMsg() = 0;
    // Appends `msg`, which must belong to this base, marks it read for the current user and
    // writes the scan-file line. False for a message of another base.
    bool WriteMsg(TCustomMsg* msg);
    // The id the last successful WriteMsg gave its message; NoMsgId before any.
    TMsgId LastWrittenId() const { return LastWrittenId_; }
    // False (and nothing changed, no box) for an id that is not in the list.
    bool DeleteMsg(TMsgId id);
    // Deletes those of the ids that are in the list, all or none.
    bool DeleteMsgs(const std::vector<TMsgId>& ids, const TProgress& progress);
    // Creates empty storage when there is none; true when the base exists afterwards.
    bool CreateIfMissing();

    // --- the current user ---
    virtual void SetLastRead(TMsgId id) = 0;
    virtual TMsgId GetLastRead() = 0;
    void SetRead(TMsgId id, bool value);
    bool IsRead(TMsgId id) const;
    // Saves the old user's last-read pointer and read marks, then loads the new user's.
    void SetUserIndex(int index);
    // The same with the user's name, by which some formats find the user's records.
    void SetUser(int index, const std::string& name);
    // Saves last-read and read marks, empties the message cache.
    void Close();

    std::string Path;
    int UserIndex = -1;
    std::string UserName;
    std::string NetmailTag;
    std::string EchoTag;
    bool DoNotIgnoreSoftCR = false;
    // Code pages for text going in and out of this base.
    TCodePagePair CodePages = ActiveCodePages();
    // Where the scan-file names and path substitutions are read at each write; null for the
    // program's settings as they are at that moment.
    const TGlobalSettings* ScanSettings = nullptr;

protected:
    // The storage steps each format supplies. They throw EFileError (EDamagedBase for
    // damage) and change nothing of the base's state or files when they do.

    // Reads the list; false when the storage does not exist (an empty list).
    virtual bool LoadList() = 0;
    // Appends the message (its text already loaded) and answers its id.
    virtual TMsgId StoreMsg(TCustomMsg& msg) = 0;
    // Deletes these ids, all in the list; the number found in storage (a message another
    // program deleted meanwhile is not there any more).
    virtual size_t RemoveMsgs(const std::vector<TMsgId>& ids, const TProgress& progress) = 0;
    virtual void CreateStorage() = 0;
    // The file the damaged-base box names.
    virtual std::string DamagedFileName() const { return Path; }
    // The scan-file line of a stored message; empty: the area's tag.
    virtual std::string ScanLine(TMsgId) const { return {}; }
    // The read-marks file beside the base.
    virtual std::string ReadingsFileName() const = 0;
    // The current user's last-read pointer; errors are ignored.
    virtual void LoadLastRead() = 0;
    virtual void SaveLastRead() = 0;
    // Frees the cached messages and anything else held open between reads.
    virtual void DropCache() = 0;

    // The settings in use for scan files and path substitutions.
    const TGlobalSettings& CurrentSettings() const;
    // The messages handed out, by position; emptied whenever positions may change.
    TMsgCache Cache;
    // Squish keeps one record per id in its read-marks file.
    bool DropRepeatedReadings = false;

private:
    // For a change that failed with the exception in flight: shows the damaged-base box or
    // the can't-open box, and answers false.
    bool FailChange();
    void AppendScanLines(TMsgId id);
    void LoadReadMarks();
    void SaveReadMarks();

    // The current user's read marks.
    TSortedList ReadSet;
    bool ReadingsDirty = false;
    bool HasList_ = false;
    TMsgId LastWrittenId_ = NoMsgId;
    int RefCount_ = 1;
};

// Shares a base: holds one reference for its lifetime. The area keeps one, a composer
// another; the base goes with the last.
class TBaseRef {
public:
    TBaseRef() = default;
    // Takes over the reference a new base starts with.
    static TBaseRef Adopt(TCustomBase* base) { return TBaseRef(base); }
    // Adds a reference to a base someone else holds.
    static TBaseRef Share(TCustomBase* base) {
        if (base)
            base->AddRef();
        return TBaseRef(base);
    }
    TBaseRef(const TBaseRef& other) : Base(other.Base) {
        if (Base)
            Base->AddRef();
    }
    TBaseRef(TBaseRef&& other) noexcept : Base(other.Base) { other.Base = nullptr; }
    TBaseRef& operator=(TBaseRef other) noexcept {
        std::swap(Base, other.Base);
        return *this;
    }
    ~TBaseRef() { Reset(); }

    void Reset() {
        if (Base)
            std::exchange(Base, nullptr)->Release();
    }
    TCustomBase* Get() const { return Base; }
    TCustomBase* operator->() const { return Base; }
    TCustomBase& operator*() const { return *Base; }
    explicit operator bool() const { return Base != nullptr; }

private:
    explicit TBaseRef(TCustomBase* base) : Base(base) {}
    TCustomBase* Base = nullptr;
};

} // namespace tavro
