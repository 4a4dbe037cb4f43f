#pragma once

#include "core/Endian.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tavro {

// The on-disk structures of a JAM base (.JHR headers, .JDT texts, .JDX index, .JLR last-read
// records), little-endian.
constexpr uint32_t JamBaseHeaderSize = 1024;
constexpr uint32_t JamMsgHeaderSize = 76;
constexpr uint32_t JamSubfieldHeadSize = 8;
constexpr uint32_t JamIndexRecordSize = 8;
constexpr uint32_t JamLastReadSize = 16;
constexpr uint32_t JamDeleted = 0x80000000;
constexpr uint32_t JamTypeLocal = 0x00800000;
constexpr uint32_t JamTypeEcho = 0x01000000;
constexpr uint32_t JamTypeNet = 0x02000000;
constexpr uint32_t JamEmptySlot = 0xFFFFFFFF;
constexpr std::string_view JamSignature{"JAM\0", 4};

struct TJamBaseHeader {
    std::array<uint8_t, JamBaseHeaderSize> Raw{};
    uint32_t DateCreated = 0;
    uint32_t ModCounter = 1;
    uint32_t ActiveMsgs = 0;
    uint32_t BaseMsgNum = 1;

    bool HasSignature() const;
    static TJamBaseHeader Decode(const uint8_t* raw);
    std::array<uint8_t, JamBaseHeaderSize> Encode() const;
};

enum TJamHeaderOffset : size_t {
    jhSignature = 0,
    jhRevision = 4,
    jhSubfieldLen = 8,
    jhTimesRead = 12,
    jhMsgIdCrc = 16,
    jhReplyCrc = 20,
    jhReplyTo = 24,
    jhReply1st = 28,
    jhReplyNext = 32,
    jhDateWritten = 36,
    jhDateReceived = 40,
    jhDateProcessed = 44,
    jhMsgNum = 48,
    jhAttribute = 52,
    jhAttribute2 = 56,
    jhTxtOffset = 60,
    jhTxtLen = 64,
    jhPasswordCrc = 68,
    jhCost = 72,
};

using TJamMsgHeader = std::array<uint8_t, JamMsgHeaderSize>;

enum TJamSubfieldId : uint16_t {
    jsOAddress = 0,
    jsDAddress = 1,
    jsSenderName = 2,
    jsReceiverName = 3,
    jsMsgId = 4,
    jsReplyId = 5,
    jsSubject = 6,
    jsPid = 7,
    jsFtsKludge = 2000,
    jsSeenBy2D = 2001,
    jsPath2D = 2002,
    jsFlags = 2003,
    jsTzUtc = 2004,
};

struct TJamSubfield {
    uint16_t Id;
    std::string_view Data;
};

// Splits the subfield bytes of a header; false when a length runs past them or they do not
// add up.
template <typename TTake> bool ForEachJamSubfield(std::string_view data, TTake&& take) {
    while (!data.empty()) {
        if (data.size() < JamSubfieldHeadSize)
            return false;
        const uint16_t id = GetLE16(data.data());
        const uint32_t length = GetLE32(data.data() + 4);
        data.remove_prefix(JamSubfieldHeadSize);
        if (length > data.size())
            return false;
        take(TJamSubfield{id, data.substr(0, length)});
        data.remove_prefix(length);
    }
    return true;
}
bool ParseJamSubfields(std::string_view data, const std::function<void(const TJamSubfield&)>& take);
void AppendJamSubfield(std::string& out, uint16_t id, std::string_view data);

// As stored, without default values: an index is read straight over its records.
struct TJamIndexRecord {
    uint32_t ToCrc;
    uint32_t HeaderOffset;
    bool IsEmpty() const { return ToCrc == JamEmptySlot && HeaderOffset == JamEmptySlot; }
};

std::vector<TJamIndexRecord> DecodeJamIndex(std::string_view data);
// How many of the records are empty slots.
size_t CountEmptyJamSlots(const TJamIndexRecord* records, size_t count);

// CRC-32 over the text with A-Z taken as a-z, without the final inversion.
uint32_t JamCrc(std::string_view text);

} // namespace tavro
