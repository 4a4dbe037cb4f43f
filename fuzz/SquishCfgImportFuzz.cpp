// A Squish-style text configuration as another program or a user left it: whatever it holds imports without
// harm, and importing it again changes nothing.
#include "ImportFuzz.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    tavro::fuzz::ImportTwice(tavro::ttSquish, tavro::fuzz::WriteScratch("squish.cfg", text));
    return 0;
}
