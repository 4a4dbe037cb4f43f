#pragma once

#include "HeaderReader.h"
#include "IndexRead.h"
#include "SquishFormat.h"

#include "core/Base.h"
#include "core/FileUtils.h"
#include "core/Msg.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tavro {

class TSquishBase;

using TSqIndex = TIndexVector<TSqIndexRecord>;

// A message of a Squish base: a frame of the .SQD holding the message header, the control
// information (the kludges) and the text. The text is read on first access.
class TSquishMsg final : public TCustomMsg {
public:
    explicit TSquishMsg(TCustomBase* base);

    void Assign(TCustomMsg* source) override;

    int Position = -1;
    uint32_t FrameOffset = 0;
    TSqFrameHeader Frame;
    // The message header as stored; fields the model does not cover travel with copies.
    std::array<uint8_t, SqMsgHeaderSize> Header{};
    uint32_t TextLength = 0;

    // Sets the model's fields from Header; `ownId` is the message's UMSGID.
    void DecodeHeader(TMsgId ownId);
    // The message header, control information and text as stored; ctrlLength gets the
    // length of the control information.
    std::string Serialize(uint32_t& ctrlLength);
    // Sorts the stored control information and text into the three lists.
    void LoadText(std::string_view data);
    // Takes the thread kludges from the start of the stored control information and text
    // (`whole` when that is all of it); leaves them unread when the start cannot tell.
    void ReadThreadKludges(std::string_view start, bool whole);

private:
    void LoadStored() override;
    void RedecodeHeader() override;
};

// A Squish base: Path names the .SQD data file; the index (.SQI), last-read pointers (.SQL)
// and read marks (.SQR) sit beside it. The message id is the UMSGID.
class TSquishBase final : public TCustomBase {
public:
    // Touches no file: a missing base lists nothing until CreateIfMissing makes it.
    TSquishBase(std::string path, std::string echoTag, std::string netmailTag);
    ~TSquishBase() override;

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

    std::string DataFileName() const;
    std::string IndexFileName() const;

    // The stored control information and text of a message; throws when the frame no
    // longer holds it.
    std::string ReadText(const TSquishMsg& msg) const;

protected:
    bool LoadList() override;
    TMsgId StoreMsg(TCustomMsg& msg) override;
    size_t RemoveMsgs(const std::vector<TMsgId>& ids, const TProgress& progress) override;
    void CreateStorage() override;
    std::string DamagedFileName() const override { return DataFileName(); }
    std::string ReadingsFileName() const override;
    void LoadLastRead() override;
    void SaveLastRead() override;
    void DropCache() override;

private:
    TSqBaseHeader Header;
    // The two headers, the control information and the start of the text of a typical message
    // in one read.
    THeaderReader Reader{1024};
    // The data file as found by the last Rescan.
    std::string ListedDataName;
    int64_t ListedDataSize = 0;
    TSqIndex Index;
    bool IndexSorted = true;
    // The highest UMSGID listed: a new one must pass it even where the index is out of order.
    TMsgId MaxListedId = 0;
    // The .SQD as of the last Rescan; none after Invalidate.
    TFileStamp FileStamp;
    uint32_t LastRead = 0;
    uint32_t StoredLastRead = 0;
};

} // namespace tavro
