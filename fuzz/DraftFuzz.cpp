// Drafts are read back after a crash or a power cut, from whatever it left on disk. Checks
// that any bytes either are refused with EDraftError or are a draft whose encoding is those
// very bytes and decodes to the same draft.
#include "compose/Draft.h"
#include "core/Crc32.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace tavro;

namespace {

[[noreturn]] void Violated(const char* why) {
    std::fprintf(stderr, "Property violated: %s\n", why);
    std::abort();
}

void Check(std::string_view bytes) {
    TDraft draft;
    try {
        draft = DecodeDraft(bytes);
    } catch (const EDraftError&) {
        return;
    }
    if (draft.LineTags.size() != draft.Lines.size())
        Violated("the lines and their tags differ in number");
    const std::string again = EncodeDraft(draft);
    if (again != bytes)
        Violated("a draft decoded from bytes that are not its encoding");
    if (!(DecodeDraft(again) == draft))
        Violated("the encoding of a draft decodes to another");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    Check(bytes);
    // A mutation rarely keeps the checksum right: with it mended, the fields' checks are
    // reached too.
    if (size >= 4) {
        std::string sealed(bytes.substr(0, size - 4));
        const uint32_t crc = Crc32(sealed);
        for (int i = 0; i < 4; ++i)
            sealed.push_back(static_cast<char>(crc >> (8 * i)));
        Check(sealed);
    }
    return 0;
}
