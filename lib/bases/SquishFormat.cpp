#include "SquishFormat.h"

#include "core/Endian.h"
#include "core/StrUtils.h"

namespace tavro {

TSqBaseHeader TSqBaseHeader::Empty() {
    TSqBaseHeader header;
    header.Raw = header.Encode();
    return header;
}

TSqBaseHeader TSqBaseHeader::Decode(const uint8_t* raw) {
    TSqBaseHeader h;
    std::copy(raw, raw + SqBaseHeaderSize, h.Raw.begin());
    h.HeaderLength = GetLE16(raw + 0);
    h.NumMsg = GetLE32(raw + 4);
    h.HighMsg = GetLE32(raw + 8);
    h.HighWater = GetLE32(raw + 16);
    h.Uid = GetLE32(raw + 20);
    h.BeginFrame = GetLE32(raw + 104);
    h.LastFrame = GetLE32(raw + 108);
    h.FreeFrame = GetLE32(raw + 112);
    h.LastFreeFrame = GetLE32(raw + 116);
    h.EndFrame = GetLE32(raw + 120);
    h.FrameHeaderSize = GetLE16(raw + 130);
    return h;
}

std::array<uint8_t, SqBaseHeaderSize> TSqBaseHeader::Encode() const {
    std::array<uint8_t, SqBaseHeaderSize> raw = Raw;
    PutLE16(&raw[0], HeaderLength);
    PutLE32(&raw[4], NumMsg);
    PutLE32(&raw[8], HighMsg);
    PutLE32(&raw[16], HighWater);
    PutLE32(&raw[20], Uid);
    PutLE32(&raw[104], BeginFrame);
    PutLE32(&raw[108], LastFrame);
    PutLE32(&raw[112], FreeFrame);
    PutLE32(&raw[116], LastFreeFrame);
    PutLE32(&raw[120], EndFrame);
    PutLE16(&raw[130], FrameHeaderSize);
    return raw;
}

TSqFrameHeader TSqFrameHeader::Decode(const uint8_t* raw) {
    TSqFrameHeader f;
    f.Id = GetLE32(raw + 0);
    f.Next = GetLE32(raw + 4);
    f.Prev = GetLE32(raw + 8);
    f.FrameLength = GetLE32(raw + 12);
    f.MsgLength = GetLE32(raw + 16);
    f.CtrlLength = GetLE32(raw + 20);
    f.FrameType = GetLE16(raw + 24);
    f.Reserved = GetLE16(raw + 26);
    return f;
}

std::array<uint8_t, SqFrameHeaderSize> TSqFrameHeader::Encode() const {
    std::array<uint8_t, SqFrameHeaderSize> raw{};
    PutLE32(&raw[0], Id);
    PutLE32(&raw[4], Next);
    PutLE32(&raw[8], Prev);
    PutLE32(&raw[12], FrameLength);
    PutLE32(&raw[16], MsgLength);
    PutLE32(&raw[20], CtrlLength);
    PutLE16(&raw[24], FrameType);
    PutLE16(&raw[26], Reserved);
    return raw;
}

std::vector<TSqIndexRecord> DecodeSqIndex(std::string_view data, size_t count) {
    std::vector<TSqIndexRecord> records;
    count = std::min(count, data.size() / SqIndexRecordSize);
    records.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const char* p = data.data() + i * SqIndexRecordSize;
        records.push_back({GetLE32(p), GetLE32(p + 4), GetLE32(p + 8)});
    }
    return records;
}

std::vector<uint8_t> EncodeSqIndex(std::span<const TSqIndexRecord> records) {
    std::vector<uint8_t> data(records.size() * SqIndexRecordSize);
    for (size_t i = 0; i < records.size(); ++i) {
        uint8_t* p = data.data() + i * SqIndexRecordSize;
        PutLE32(p, records[i].Offset);
        PutLE32(p + 4, records[i].UmsgId);
        PutLE32(p + 8, records[i].Hash);
    }
    return data;
}

uint32_t SquishHash(std::string_view name) {
    return NameHashOf(name);
}

} // namespace tavro
