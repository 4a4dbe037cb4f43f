#include "JamFormat.h"

#include "core/Crc32.h"
#include "core/Endian.h"

#include <algorithm>

namespace tavro {

bool TJamBaseHeader::HasSignature() const {
    return std::equal(JamSignature.begin(), JamSignature.end(), Raw.begin());
}

TJamBaseHeader TJamBaseHeader::Decode(const uint8_t* raw) {
    TJamBaseHeader h;
    std::copy(raw, raw + JamBaseHeaderSize, h.Raw.begin());
    h.DateCreated = GetLE32(raw + 4);
    h.ModCounter = GetLE32(raw + 8);
    h.ActiveMsgs = GetLE32(raw + 12);
    h.BaseMsgNum = GetLE32(raw + 20);
    return h;
}

std::array<uint8_t, JamBaseHeaderSize> TJamBaseHeader::Encode() const {
    std::array<uint8_t, JamBaseHeaderSize> raw = Raw;
    std::copy(JamSignature.begin(), JamSignature.end(), raw.begin());
    PutLE32(&raw[4], DateCreated);
    PutLE32(&raw[8], ModCounter);
    PutLE32(&raw[12], ActiveMsgs);
    PutLE32(&raw[20], BaseMsgNum);
    return raw;
}

bool ParseJamSubfields(std::string_view data, const std::function<void(const TJamSubfield&)>& take) {
    return ForEachJamSubfield(data, take);
}

void AppendJamSubfield(std::string& out, uint16_t id, std::string_view data) {
    char head[JamSubfieldHeadSize] = {};
    PutLE16(head, id);
    PutLE32(head + 4, static_cast<uint32_t>(data.size()));
    out.append(head, JamSubfieldHeadSize);
    out.append(data);
}

std::vector<TJamIndexRecord> DecodeJamIndex(std::string_view data) {
    std::vector<TJamIndexRecord> records(data.size() / JamIndexRecordSize);
    for (size_t i = 0; i < records.size(); ++i) {
        const char* p = data.data() + i * JamIndexRecordSize;
        records[i] = {GetLE32(p), GetLE32(p + 4)};
    }
    return records;
}

size_t CountEmptyJamSlots(const TJamIndexRecord* records, size_t count) {
    // Both fields all ones, summed without a branch over blocks of a fixed size, which
    // compilers vectorise: opening a large area reads every record.
    constexpr size_t Block = 1024;
    auto empty = [&](size_t i) { return (records[i].ToCrc & records[i].HeaderOffset) == JamEmptySlot; };
    size_t total = 0, i = 0;
    for (; i + Block <= count; i += Block) {
        uint32_t inBlock = 0;
        for (size_t k = 0; k < Block; ++k)
            inBlock += empty(i + k);
        total += inBlock;
    }
    for (; i < count; ++i)
        total += empty(i);
    return total;
}

uint32_t JamCrc(std::string_view text) {
    const auto& table = Crc32Table();
    uint32_t crc = 0xFFFFFFFF;
    for (char ch : text) {
        auto c = static_cast<uint8_t>(ch);
        if (c >= 'A' && c <= 'Z')
            c = static_cast<uint8_t>(c - 'A' + 'a');
        crc = table[(crc ^ c) & 0xFF] ^ (crc >> 8);
    }
    return crc;
}

} // namespace tavro
