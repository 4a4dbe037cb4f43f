#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace tavro {

// The on-disk structures of a Squish base (.SQD data file, .SQI index), little-endian.
constexpr uint32_t SqBaseHeaderSize = 256;
constexpr uint32_t SqFrameHeaderSize = 28;
constexpr uint32_t SqMsgHeaderSize = 238;
constexpr uint32_t SqIndexRecordSize = 12;
constexpr uint32_t SqFrameSignature = 0xAFAE4453;
constexpr uint16_t SqFrameMessage = 0;
constexpr uint16_t SqFrameFree = 1;

// The base header at offset 0 of the .SQD. Raw keeps the bytes no field covers.
struct TSqBaseHeader {
    std::array<uint8_t, SqBaseHeaderSize> Raw{};
    uint16_t HeaderLength = SqBaseHeaderSize;
    uint32_t NumMsg = 0;
    uint32_t HighMsg = 0;
    uint32_t HighWater = 0; // the tosser's: messages up to this number are exported
    uint32_t Uid = 1;       // the next UMSGID
    uint32_t BeginFrame = 0;
    uint32_t LastFrame = 0;
    uint32_t FreeFrame = 0;
    uint32_t LastFreeFrame = 0;
    uint32_t EndFrame = SqBaseHeaderSize;
    uint16_t FrameHeaderSize = SqFrameHeaderSize;

    // The header of a new, empty base.
    static TSqBaseHeader Empty();
    static TSqBaseHeader Decode(const uint8_t* raw);
    std::array<uint8_t, SqBaseHeaderSize> Encode() const;
};

struct TSqFrameHeader {
    uint32_t Id = SqFrameSignature;
    uint32_t Next = 0;
    uint32_t Prev = 0;
    uint32_t FrameLength = 0; // bytes after the frame header
    uint32_t MsgLength = 0;   // message header, control information and text
    uint32_t CtrlLength = 0;
    uint16_t FrameType = SqFrameMessage;
    uint16_t Reserved = 0;

    static TSqFrameHeader Decode(const uint8_t* raw);
    std::array<uint8_t, SqFrameHeaderSize> Encode() const;
};

// As stored, without default values: an index is read straight over its records.
struct TSqIndexRecord {
    uint32_t Offset;
    uint32_t UmsgId;
    uint32_t Hash;
};

// Whole records of an index file's bytes.
std::vector<TSqIndexRecord> DecodeSqIndex(std::string_view data, size_t count);
std::vector<uint8_t> EncodeSqIndex(std::span<const TSqIndexRecord> records);

// The hash of a recipient name kept in the index.
uint32_t SquishHash(std::string_view name);

// Offsets of the message header fields.
enum TSqMsgOffset : size_t {
    smAttr = 0,
    smFrom = 4,
    smTo = 40,
    smSubject = 76,
    smOrig = 148,
    smDest = 156,
    smDateWritten = 164,
    smDateArrived = 168,
    smUtcOffset = 172,
    smReplyTo = 174,
    smReplies = 178,
    smUmsgId = 214,
    smDateString = 218,
};
constexpr int SqReplyCount = 9;

} // namespace tavro
