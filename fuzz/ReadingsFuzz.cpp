// Read-mark files come from other readers and users of the same base. This target takes
// the functions alone; JamLastReadFuzz takes the file as a base loads and saves it.
#include "core/Readings.h"

#include "ScratchDir.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

using namespace tavro;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<TReadingsRecord> records = ParseReadings(bytes);
    if (records.size() > size / 8)
        abort();
    // What is written back parses to the same records.
    if (ParseReadings(FormatReadings(records)).size() != records.size())
        abort();

    const std::string file = fuzz::ScratchDir() + "/readings";
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(size));
    int user = size > 0 ? data[0] : 0;
    TSortedList read;
    LoadReadings(file, user, read);
    TSortedList existing;
    for (int i = 0; i < read.Count(); i += 2)
        existing.Add(read.Get(i));
    // Without a list of the base's messages no record may go.
    const bool listed = size % 3 != 0;
    SaveReadings(file, user, read, listed ? &existing : nullptr, size % 2 == 0);
    TSortedList after;
    LoadReadings(file, user, after);
    // Only ids of existing messages survive the save, and all of them.
    if (after.Count() != (listed ? existing : read).Count())
        abort();
    return 0;
}
