// A FastEcho configuration whose counts and sizes need not agree with its length. The input
// holds the header fields that matter (node and area counts, AKA and origin counts, node
// record size, extension size; 12 bytes) and then what follows the 4644-byte header, so
// that short inputs reach the blocks and records; a shorter input is the whole file.
#include "ImportFuzz.h"

#include "core/Endian.h"

#include <cstdint>

using namespace tavro;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string file(input);
    if (size >= 12) {
        std::string header(4644, '\0');
        PutLE16(header.data() + 6, GetLE16(data));
        PutLE16(header.data() + 8, GetLE16(data + 2));
        header[3250] = input[4];
        header[3817] = input[5];
        PutLE16(header.data() + 4638, GetLE16(data + 6));
        PutLE32(header.data() + 4640, GetLE32(data + 8));
        file = header + std::string(input.substr(12));
    }
    fuzz::ImportTwice(ttFastEcho, fuzz::WriteScratch("fastecho.cfg", file));
    return 0;
}
