#include "Readings.h"

#include "FileUtils.h"

#include <algorithm>
#include <memory>

namespace tavro {

namespace {

constexpr size_t RecordSize = 36;
constexpr size_t OldRecordSize = 8;
// Far more than any base holds; a larger file is damaged and read only this far.
constexpr int64_t MaxReadingsBytes = 64 << 20;
constexpr int ReadingsBufSize = 16384;

uint32_t GetU32(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

void PutU32(std::string& out, uint32_t v) {
    char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    out.append(b, 4);
}

bool HasSignature(std::string_view data) {
    return data.size() > ReadingsSignature.size() - 1 && data.substr(0, ReadingsSignature.size()) == ReadingsSignature;
}

bool ValidUser(int user) { return user >= 0 && user < 256; }

std::string ReadCapped(TBufStream& file) {
    int64_t size = std::min(file.Size(), MaxReadingsBytes);
    std::string data(static_cast<size_t>(size), '\0');
    data.resize(static_cast<size_t>(file.Read(data.data(), size)));
    return data;
}

} // namespace

void TReadingsRecord::Set(int user, bool value) {
    uint32_t bit = uint32_t(1) << (user % 32);
    if (value)
        Masks[user / 32] |= bit;
    else
        Masks[user / 32] &= ~bit;
}

std::vector<TReadingsRecord> ParseReadings(std::string_view data) {
    std::vector<TReadingsRecord> records;
    if (HasSignature(data)) {
        data.remove_prefix(ReadingsSignature.size());
        records.resize(data.size() / RecordSize);
        for (size_t i = 0; i < records.size(); ++i) {
            const char* p = data.data() + i * RecordSize;
            records[i].Id = GetU32(p);
            for (int m = 0; m < 8; ++m)
                records[i].Masks[m] = GetU32(p + 4 + 4 * m);
        }
    } else {
        // The old layout knew users 0..31 only: the mask becomes the first of eight.
        records.resize(data.size() / OldRecordSize);
        for (size_t i = 0; i < records.size(); ++i) {
            records[i].Id = GetU32(data.data() + i * OldRecordSize);
            records[i].Masks[0] = GetU32(data.data() + i * OldRecordSize + 4);
        }
    }
    return records;
}

std::string FormatReadings(const std::vector<TReadingsRecord>& records) {
    std::string out(ReadingsSignature);
    out.reserve(out.size() + records.size() * RecordSize);
    for (const TReadingsRecord& r : records) {
        PutU32(out, r.Id);
        for (uint32_t mask : r.Masks)
            PutU32(out, mask);
    }
    return out;
}

void LoadReadings(const std::string& fileName, int user, TSortedList& readSet) {
    if (!ValidUser(user))
        return;
    try {
        auto file = OpenWithRetry(fileName, TOpenMode::Read, ReadingsBufSize, ShortOpenTimeoutMs);
        for (const TReadingsRecord& r : ParseReadings(ReadCapped(*file)))
            if (r.Has(user))
                readSet.Add(static_cast<int32_t>(r.Id));
    } catch (const std::exception&) {
        // A missing or unreadable file is an empty read set.
    }
}

namespace {

// Merges the user's marks into `records` in place.
void MergeReadings(std::vector<TReadingsRecord>& records, int user, const TSortedList& readSet,
                   const TSortedList& existingIds, bool dropRepeated) {
    TSortedList pending(readSet);
    std::vector<TReadingsRecord> kept;
    kept.reserve(records.size());
    for (TReadingsRecord r : records) {
        auto id = static_cast<int32_t>(r.Id);
        if (!existingIds.Contains(id))
            continue;
        int index;
        if (pending.Find(id, index)) {
            r.Set(user, true);
            pending.Delete(index);
        } else {
            if (dropRepeated && readSet.Contains(id))
                continue;
            r.Set(user, false);
        }
        kept.push_back(r);
    }
    for (int i = 0; i < pending.Count(); ++i) {
        if (!existingIds.Contains(pending.Get(i)))
            continue;
        TReadingsRecord r;
        r.Id = static_cast<uint32_t>(pending.Get(i));
        r.Set(user, true);
        kept.push_back(r);
    }
    records.swap(kept);
}

} // namespace

void SaveReadings(const std::string& fileName, int user, const TSortedList& readSet,
                  const TSortedList& existingIds, bool dropRepeated) {
    if (!ValidUser(user))
        return;
    try {
        auto file = OpenWithRetry(fileName, TOpenMode::ReadWriteExclusiveCreate, ReadingsBufSize, ShortOpenTimeoutMs);
        std::string old = ReadCapped(*file);
        std::vector<TReadingsRecord> records = ParseReadings(old);
        MergeReadings(records, user, readSet, existingIds, dropRepeated);
        std::string data = FormatReadings(records);
        if (data == old)
            return;
        file->Seek(0, TSeekOrigin::Begin);
        file->WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
        file->SetSize(static_cast<int64_t>(data.size()));
    } catch (const std::exception&) {
        // Read marks are a convenience; failing to store them must not disturb the reader.
    }
}

std::string ReadingsFileName(const std::string& baseFile, std::string_view suffix) {
    if (baseFile.size() < suffix.size())
        return baseFile + std::string(suffix);
    char last = baseFile.back();
    bool lower = last >= 'a' && last <= 'z';
    std::string result = baseFile.substr(0, baseFile.size() - suffix.size());
    for (char c : suffix)
        result += lower && c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
    return result;
}

} // namespace tavro
