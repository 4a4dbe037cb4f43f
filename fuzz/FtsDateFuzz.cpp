// Stored dates: FTS date strings, DOS date-first words and JAM's local Unix seconds, and
// the formatters on whatever values they produce (or arbitrary doubles).
#include "core/DateTime.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

using namespace tavro;

namespace {

void Format(TDateTime value) {
    if (DateTimeToFtsDate(value).size() != 19 || FormatIsoDateTime(value).size() != 19)
        std::abort();
    DateTimeToDosDateFirst(value);
    DateTimeToUnixLocal(value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    TDateTime value = 0;
    if (TryFtsDateToDateTime(text, value)) {
        Format(value);
        // Two-digit years name 1950..2049, so those dates read back from what was written.
        const int year = DecodeDateTime(value).Year;
        TDateTime again = 0;
        if (year >= 1950 && year <= 2049 &&
            (!TryFtsDateToDateTime(DateTimeToFtsDate(value), again) || again != value))
            std::abort();
    }

    if (size >= 4) {
        uint32_t word = 0;
        std::memcpy(&word, data, 4);
        if (DosDateFirstToDateTime(word, value)) {
            Format(value);
            if (DateTimeToDosDateFirst(value) != word)
                std::abort();
        }
        const TDateTime unix = UnixLocalToDateTime(static_cast<int32_t>(word));
        Format(unix);
        if (DateTimeToUnixLocal(unix) != word)
            std::abort();
    }

    if (size >= 8) {
        double raw = 0;
        std::memcpy(&raw, data, 8);
        Format(raw);
        const TDateTimeParts p = DecodeDateTime(raw);
        TDateTime encoded = 0;
        if (!TryEncodeDateTime(p.Year, p.Month, p.Day, p.Hour, p.Minute, p.Second, encoded))
            std::abort();
    }
    return 0;
}
