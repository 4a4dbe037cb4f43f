#include "Readings.h"

#include "Endian.h"
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
    return GetLE32(p);
}

char* PutU32(char* p, uint32_t v) {
    PutLE32(p, v);
    return p + 4;
}

bool HasSignature(std::string_view data) {
    return data.size() >= ReadingsSignature.size() &&
           data.substr(0, ReadingsSignature.size()) == ReadingsSignature;
}

bool ValidUser(int user) {
    return user >= 0 && user < 256;
}

TReadingsRecord ParseRecord(const char* p, bool newLayout) {
    TReadingsRecord r;
    r.Id = GetU32(p);
    // The old layout knew users 0..31 only: its mask becomes the first of eight.
    for (int m = 0; m < (newLayout ? 8 : 1); ++m)
        r.Masks[m] = GetU32(p + 4 + 4 * m);
    return r;
}

// Calls `take` for every whole record of the file, reading it in chunks so a large file
// costs no large allocation.
template <typename Take> void ForEachRecord(TBufStream& file, Take take) {
    char head[12];
    int64_t got = file.Read(head, sizeof head);
    const bool newLayout = HasSignature(std::string_view(head, static_cast<size_t>(got)));
    const size_t size = newLayout ? RecordSize : OldRecordSize;
    file.Seek(newLayout ? 12 : 0, TSeekOrigin::Begin);
    char chunk[RecordSize * 256];
    int64_t left = MaxReadingsBytes;
    while (left > 0) {
        int64_t n = file.Read(chunk, std::min<int64_t>(sizeof chunk / size * size, left));
        left -= n;
        for (int64_t pos = 0; pos + static_cast<int64_t>(size) <= n; pos += static_cast<int64_t>(size))
            take(ParseRecord(chunk + pos, newLayout));
        if (n < static_cast<int64_t>(sizeof chunk / size * size))
            break;
    }
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
    const bool newLayout = HasSignature(data);
    if (newLayout)
        data.remove_prefix(ReadingsSignature.size());
    const size_t size = newLayout ? RecordSize : OldRecordSize;
    std::vector<TReadingsRecord> records;
    records.reserve(data.size() / size);
    for (size_t pos = 0; pos + size <= data.size(); pos += size)
        records.push_back(ParseRecord(data.data() + pos, newLayout));
    return records;
}

std::string FormatReadings(const std::vector<TReadingsRecord>& records) {
    std::string out(ReadingsSignature.size() + records.size() * RecordSize, '\0');
    char* p = std::copy(ReadingsSignature.begin(), ReadingsSignature.end(), out.data());
    for (const TReadingsRecord& r : records) {
        p = PutU32(p, r.Id);
        for (uint32_t mask : r.Masks)
            p = PutU32(p, mask);
    }
    return out;
}

void LoadReadings(const std::string& fileName, int user, TSortedList& readSet) {
    if (!ValidUser(user))
        return;
    try {
        auto file = OpenWithRetry(fileName, TOpenMode::Read, ReadingsBufSize, ShortOpenTimeoutMs);
        // Records come in any order: collected and sorted once, not inserted one by one.
        std::vector<int32_t> ids;
        try {
            ForEachRecord(*file, [&](const TReadingsRecord& r) {
                if (r.Has(user))
                    ids.push_back(static_cast<int32_t>(r.Id));
            });
        } catch (const std::exception&) {
            // A read error ends the load with what was gathered.
        }
        for (int i = 0; i < readSet.Count(); ++i)
            ids.push_back(readSet.Get(i));
        std::sort(ids.begin(), ids.end());
        ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
        readSet.Assign(ids);
    } catch (const std::exception&) {
        // A missing or unreadable file is an empty read set.
    }
}

namespace {

// Merges the user's marks into the stored records: a record keeps the other users' bits,
// gets the user's bit from the read set, and goes when its message is gone.
std::vector<TReadingsRecord> MergeReadings(std::vector<TReadingsRecord> records, int user,
                                           const TSortedList& readSet, const TSortedList* listedIds,
                                           bool dropRepeated) {
    auto gone = [listedIds](int32_t id) { return listedIds && !listedIds->Contains(id); };
    std::vector<bool> merged(static_cast<size_t>(readSet.Count()), false);
    std::vector<TReadingsRecord> kept;
    kept.reserve(records.size());
    for (TReadingsRecord r : records) {
        auto id = static_cast<int32_t>(r.Id);
        if (gone(id))
            continue;
        int index;
        bool read = readSet.Find(id, index);
        if (read && !merged[static_cast<size_t>(index)]) {
            merged[static_cast<size_t>(index)] = true;
            r.Set(user, true);
        } else {
            if (read && dropRepeated)
                continue;
            r.Set(user, false);
        }
        kept.push_back(r);
    }
    for (int i = 0; i < readSet.Count(); ++i) {
        if (merged[static_cast<size_t>(i)] || gone(readSet.Get(i)))
            continue;
        TReadingsRecord r;
        r.Id = static_cast<uint32_t>(readSet.Get(i));
        r.Set(user, true);
        kept.push_back(r);
    }
    return kept;
}

std::string ReadCapped(TBufStream& file) {
    int64_t size = std::min(file.Size(), MaxReadingsBytes);
    std::string data(static_cast<size_t>(size), '\0');
    data.resize(static_cast<size_t>(file.Read(data.data(), size)));
    return data;
}

} // namespace

void SaveReadings(const std::string& fileName, int user, const TSortedList& readSet,
                  const TSortedList* listedIds, bool dropRepeated) {
    if (!ValidUser(user))
        return;
    try {
        auto file =
            OpenWithRetry(fileName, TOpenMode::ReadWriteExclusiveCreate, ReadingsBufSize, ShortOpenTimeoutMs);
        std::string old = ReadCapped(*file);
        std::string data =
            FormatReadings(MergeReadings(ParseReadings(old), user, readSet, listedIds, dropRepeated));
        if (data == old)
            return;
        file->Seek(0, TSeekOrigin::Begin);
        file->WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
        file->SetSize(static_cast<int64_t>(data.size()));
    } catch (const std::exception&) {
        // Read marks are a convenience; failing to store them must not disturb the reader.
    }
}

} // namespace tavro
