#pragma once

#include "HeaderReader.h"
#include "IndexRead.h"
#include "JamFormat.h"

#include "core/Base.h"
#include "core/FileUtils.h"
#include "core/Msg.h"

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace tavro {

class TJamBase;

// A message of a JAM base: a header with subfields in the .JHR, its text in the .JDT. The
// subfields give names, addresses, subject, kludges, SEEN-BY and PATH; the text is read on
// first access.
class TJamMsg final : public TCustomMsg {
public:
    explicit TJamMsg(TCustomBase* base);

    void Assign(TCustomMsg* source) override;
    // A base opened for an area knows; otherwise the message type bits tell.
    bool IsNetmail() const override;

    int Position = -1;
    // The header as stored; fields the model does not cover travel with copies.
    TJamMsgHeader Header{};
    // Subfields the model has no field for (trace, enclosed files, binary data, ids other
    // programs use), as stored: a copy into a JAM base keeps them.
    std::vector<std::pair<uint16_t, std::string>> OtherSubfields;

    // Sets the model's fields from Header and its subfields; throws EDamagedBase when the
    // subfields do not add up.
    void DecodeHeader(std::string_view subfields);
    // The subfields of the model's fields; fills the header's CRC fields.
    std::string EncodeSubfields();
    // Sorts the stored text into Body.
    void LoadText(std::string_view text);

private:
    void LoadStored() override;
    void LoadReplies(TJamBase& base);
};

// The index slots of the messages not deleted, by position. Where no slot is empty or deleted,
// as tossers mostly leave a base, the position is the slot and no list is kept: opening a
// large area then costs no more than reading its index.
class TJamLiveList {
public:
    // Every one of `count` slots.
    void SetAll(size_t count);
    void Set(std::vector<uint32_t> slots);
    size_t size() const { return All ? Count : Slots.size(); }
    uint32_t operator[](size_t position) const {
        return All ? static_cast<uint32_t>(position) : Slots[position];
    }
    // The number of positions whose slot is below `slot` (LowerBound) or not above it.
    size_t LowerBound(int64_t slot) const;
    size_t UpperBound(int64_t slot) const;
    void Append(uint32_t slot);
    // Drops these slots, sorted.
    void Erase(const std::vector<uint32_t>& slots);

private:
    bool All = true;
    size_t Count = 0;
    std::vector<uint32_t> Slots;
};

// A JAM base: Path names the .JHR header file; the text (.JDT), index (.JDX), last-read
// records (.JLR) and read marks (.JRD) sit beside it. The message id is the JAM message number.
class TJamBase final : public TCustomBase {
public:
    // Touches no file: a missing base lists nothing until CreateIfMissing makes it.
    TJamBase(std::string path, std::string echoTag, std::string netmailTag);
    ~TJamBase() override;

    int GetCount() override;
    TMsgHandle GetMsg(int position) override;
    TMsgId GetMsgId(int position) override;
    void SetLastRead(TMsgId id) override;
    TMsgId GetLastRead() override;
    void Invalidate() override;
    bool IsChanged() override;
    bool Exists() override;
    std::unique_ptr<TCustomMsg> NewMsg() override;
    int FindNearest(TMsgId id) override;
    int IndexOfId(TMsgId id) override;
    bool HasUnread() override;
    void ReadListHeaders(unsigned fields, const TListHeaderVisitor& visit,
                         const TProgress& progress = {}) override;

    std::string HeaderFileName() const;
    std::string SiblingName(const char* suffix) const;

    // The next reply in the chain of the message at a position, from its header alone: walking
    // a reply chain creates no message objects.
    TMsgId NextReply(int position);
    // The stored text of a message; throws when it lies outside the .JDT.
    std::string ReadText(const TJamMsg& msg) const;
    // The scan-file line of a stored message: the base's path as the tosser sees it and
    // the message number.
    std::string ScanLine(TMsgId number) const override;

protected:
    bool LoadList() override;
    TMsgId StoreMsg(TCustomMsg& msg) override;
    size_t RemoveMsgs(const std::vector<TMsgId>& ids, const TProgress& progress) override;
    void CreateStorage() override;
    std::string DamagedFileName() const override { return HeaderFileName(); }
    std::string ReadingsFileName() const override;
    void LoadLastRead() override;
    void SaveLastRead() override;
    void DropCache() override;

private:
    void BuildLive();
    // The CRC of the user's name as stored, by which JAM readers find their last-read record.
    uint32_t NameCrc() const;
    // Marking a header deleted must not take another listed message with it: an index that
    // names one header twice is damaged.
    void CheckHeadersNotShared(std::vector<uint32_t> slots) const;

    TJamBaseHeader Header;
    THeaderReader Reader{1024};
    // The first header a read-ahead could not read since the list was read.
    int ReadAheadStop = std::numeric_limits<int>::max();
    // The header file as found by the last Rescan.
    std::string ListedHeaderName;
    int64_t ListedHeaderSize = 0;
    TIndexVector<TJamIndexRecord> Index;
    // The records of Index in use.
    size_t UsedSlots = 0;
    TJamLiveList Live;
    bool LiveBuilt = false;
    // The live list came from reading every header: its size is the true count.
    bool LiveFromHeaders = false;
    TFileStamp FileStamp;
    // -1 while the user has no record.
    int64_t LastRead = -1;
    int64_t HighRead = -1;
    int64_t StoredLastRead = -1;
    int64_t StoredHighRead = -1;
};

} // namespace tavro
