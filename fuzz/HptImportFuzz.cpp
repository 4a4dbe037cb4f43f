// An HPT fidoconfig and the file it includes (the input split at its first zero byte):
// includes, variables and conditions resolve without harm, and importing again changes
// nothing.
#include "ImportFuzz.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t zero = input.find('\0');
    tavro::fuzz::WriteScratch("areas.cfg", zero == input.npos ? std::string_view() : input.substr(zero + 1));
    const std::string config = tavro::fuzz::WriteScratch("config", input.substr(0, zero));
    tavro::fuzz::ImportTwice(tavro::ttHpt, config);
    return 0;
}
