#pragma once

#include "core/Base.h"
#include "core/Msg.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavro {

class TFidoBase;

constexpr size_t FidoHeaderSize = 190;
using TFidoHeader = std::array<uint8_t, FidoHeaderSize>;

// One *.MSG file: a 190-byte header, then the text. The text is read on first access.
class TFidoMsg final : public TCustomMsg {
public:
    explicit TFidoMsg(TCustomBase* base);

    void Assign(TCustomMsg* source) override;

    int Position = -1;
    // The file the text is read from: positions change with a rescan, which a message someone
    // holds outlives.
    std::string FileName;
    // The header as stored; fields the model does not cover travel with copies.
    TFidoHeader Header{};

    // Sets the model's header fields from Header; a missing arrival date becomes
    // `fileTime` (when the tosser stored the file), else the current time.
    void DecodeHeader(TDateTime fileTime = 0);
    // Fills Header from the model's fields, keeping what the model does not cover.
    void EncodeHeader();
    // Sorts the stored text (after the header) into the three lists and derives the
    // attributes and addresses.
    void LoadText(std::string_view text);

private:
    void LoadStored() override;
    void RedecodeHeader() override;
    void AddZoneKludges();
};

// A directory of *.MSG files named by their decimal number, which is the message id.
// "lastread" holds a 16-bit pointer per user, "readings" the read marks.
class TFidoBase final : public TCustomBase {
public:
    TFidoBase(std::string path, std::string echoTag, std::string netmailTag);
    ~TFidoBase() override;

    int GetCount() override;
    TMsgHandle GetMsg(int position) override;
    TMsgId GetMsgId(int position) override;
    void SetLastRead(TMsgId id) override;
    TMsgId GetLastRead() override;
    void Invalidate() override;
    bool IsChanged() override;
    bool Exists() override;
    std::unique_ptr<TCustomMsg> NewMsg() override;
    void SetPath(std::string path) override;
    int FindNearest(TMsgId id) override;
    int IndexOfId(TMsgId id) override;

    // The path of a file in the base's directory, its letter case resolved.
    std::string FileInBase(std::string_view name) const;
    // The message file at a position; empty out of range.
    std::string MsgFileName(int position) const;

    // How often IsChanged lists the directory again.
    std::chrono::milliseconds ChangeCheckInterval{1000};

protected:
    bool LoadList() override;
    TMsgId StoreMsg(TCustomMsg& msg) override;
    size_t RemoveMsgs(const std::vector<TMsgId>& ids, const TProgress& progress) override;
    void CreateStorage() override;
    std::string ReadingsFileName() const override;
    void LoadLastRead() override;
    void SaveLastRead() override;
    void DropCache() override;

private:
    struct TEntry {
        uint32_t Number;
        std::string Name; // as on disk
        bool operator<(const TEntry& other) const;
    };

    std::vector<std::string> ListMsgFiles() const;
    uint32_t HighWaterMark(const std::string& dir) const;
    // Stores `data` under the next free number through a temporary file; the number.
    uint32_t StoreFile(const std::string& dir, const std::string& data);
    void SweepTemporaries(const std::string& dir);

    bool Changed = true;
    std::chrono::steady_clock::time_point LastCheck{};
    std::vector<TEntry> Files;
    // Every "*.msg" name of the last listing, numeric or not, to notice changes.
    std::vector<std::string> Listing;
    uint16_t LastRead = 0;
    uint16_t StoredLastRead = 0;
    // When this base last removed stale temporaries of its own.
    std::optional<std::chrono::steady_clock::time_point> LastSweep;
};

} // namespace tavro
