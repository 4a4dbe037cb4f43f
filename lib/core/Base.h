#pragma once

#include "BufStream.h"
#include "CodePage.h"
#include "Msg.h"
#include "SortedList.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tavro {

// A base whose files contradict themselves: a frame or record outside the file, a chain
// that loops. Reading such a base fails with this error and the area shows as locked.
class EDamagedBase : public EFileError {
public:
    explicit EDamagedBase(const std::string& message) : EFileError(message, 0) {}
};

// Percentage done, 0..100.
using TProgress = std::function<void(int)>;

// The storage formats, as the configuration numbers them.
enum TBaseType : uint8_t { btMsg = 0, btSquish = 1, btJam = 2 };

// The id of no message (what GetMsgId answers outside the range).
constexpr TMsgId NoMsgId = 0xFFFFFFFF;

// The files a base appends its area's tag to after each stored message, and the path
// substitutions ("tosser's prefix=our prefix") that turn our paths into the tosser's.
struct TScanFiles {
    std::string NetmailFlag;
    std::string EchoscanFile;
    std::vector<std::string> PathSubst;
};

// One area's message storage. Messages are reached by position (0..GetCount()-1, storage
// order) or by id (stays with the message, grows with storage order). Reference counted:
// the area holds one reference, an open composer another.
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

    virtual int GetCount() = 0;
    // The message at a position with its header read (cached); null out of range.
    virtual TCustomMsg* GetMsg(int position) = 0;
    // NoMsgId out of range.
    virtual TMsgId GetMsgId(int position) = 0;
    // Appends `msg`, which must belong to this base. This default is what every format does
    // after its own write: the tag lines of the scan files.
    virtual bool WriteMsg(TCustomMsg* msg);
    virtual void SetLastRead(TMsgId id) = 0;
    virtual TMsgId GetLastRead() = 0;
    virtual void SetRead(TMsgId id, bool value);
    virtual bool IsRead(TMsgId id);
    virtual void SetUserIndex(int index);
    virtual void Rescan() = 0;
    // Saves last-read and read marks, empties the message cache.
    virtual void Close();
    virtual void Invalidate() = 0;
    virtual bool IsChanged() = 0;
    // A new empty message of the base's own class, owned by the caller.
    virtual std::unique_ptr<TCustomMsg> NewMsg() = 0;
    virtual bool DeleteMsg(TMsgId id) = 0;
    virtual bool DeleteMsgs(const std::vector<TMsgId>& ids, const TProgress& progress);
    // The last position whose id is not above `id`, 0 when none.
    virtual int FindNearest(TMsgId id);
    // -1 when absent.
    virtual int IndexOfId(TMsgId id);
    virtual bool HasUnread();

    // Sets the user's name, which some formats keep beside the index, then the index.
    void SetUser(int index, const std::string& name);

    std::string Path;
    int UserIndex = -1;
    std::string UserName;
    std::string NetmailTag;
    std::string EchoTag;
    bool DoNotIgnoreSoftCR = false;
    // Code pages for text going in and out of this base.
    TCodePagePair CodePages = ActiveCodePages();
    TScanFiles ScanFiles;

protected:
    // For a change that failed with the exception in flight: shows the damaged-base box
    // naming `fileName` or the can't-open box, and answers false.
    bool FailChange(const std::string& fileName);

    // The lines after a stored message (the area's tags unless a format names its own);
    // every error is ignored.
    void AppendScanFiles(const std::string& netmailLine, const std::string& echoLine);

    // The current user's read marks, shared by all formats.
    TSortedList ReadSet;
    bool ReadingsDirty = false;
    // SetRead and IsRead on ReadSet, for the formats that keep read marks.
    void SetReadMark(TMsgId id, bool value);
    bool HasReadMark(TMsgId id) const;
    // Loads and saves ReadSet from and to `fileName` for UserIndex; errors are ignored.
    // dropRepeated drops a second record for an id already merged.
    void LoadReadMarks(const std::string& fileName);
    void SaveReadMarks(const std::string& fileName, bool dropRepeated = false);

private:
    int RefCount_ = 1;
};

} // namespace tavro
