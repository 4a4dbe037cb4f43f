#pragma once

#include "SortedList.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavro {

// The read-marks file every user of a base shares: "Readings 1.0", then 36-byte records of
// a message id and a 256-bit user mask. Older files are bare 8-byte records (id and a mask
// for users 0..31).
struct TReadingsRecord {
    uint32_t Id = 0;
    uint32_t Masks[8] = {};

    bool Has(int user) const { return (Masks[user / 32] >> (user % 32)) & 1; }
    void Set(int user, bool value);
};

constexpr std::string_view ReadingsSignature = "Readings 1.0";

// The records of a file's contents; a truncated last record is dropped.
std::vector<TReadingsRecord> ParseReadings(std::string_view data);
std::string FormatReadings(const std::vector<TReadingsRecord>& records);

// Adds to `readSet` the ids `user` marked read. Errors end the load with what was gathered.
void LoadReadings(const std::string& fileName, int user, TSortedList& readSet);

// Merges `user`'s read set into the file: other users' bits stay. With `listedIds`, the ids
// of the base's messages as listed, records of messages not in it go; without, none goes.
// dropRepeated drops a second record for an id already merged. Nothing is written when the
// merge changes nothing. Errors are ignored.
void SaveReadings(const std::string& fileName, int user, const TSortedList& readSet,
                  const TSortedList* listedIds, bool dropRepeated);

} // namespace tavro
