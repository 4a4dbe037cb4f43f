// An FMail configuration and area file whose counts need not agree with their lengths. The
// input holds the two folder paths (2 x 48 bytes) and four AKAs (40 bytes) of the
// 18432-byte configuration, then the whole area file; a shorter input is the whole
// configuration.
#include "ImportFuzz.h"

#include <cstdint>

using namespace tavro;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string config(input);
    std::string areas;
    if (size >= 136) {
        config.assign(18432, '\0');
        config.replace(560, 48, input.substr(0, 48));
        config.replace(992, 48, input.substr(48, 48));
        config.replace(17792, 40, input.substr(96, 40));
        areas = input.substr(136);
    }
    fuzz::WriteScratch("fmail.ar", areas);
    fuzz::ImportTwice(ttFMail, fuzz::WriteScratch("fmail.cfg", config));
    return 0;
}
