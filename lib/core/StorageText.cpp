#include "StorageText.h"

#include "CodePage.h"

#include <algorithm>
#include <cstring>

namespace tavro {

std::string EncodeForStorage(std::string_view display, const TCodePagePair& pages, bool keepSoftCR) {
    std::string oem = pages.DisplayToOem(display);
    if (!keepSoftCR) {
        // A reader that drops SoftCR would eat the capital EN sharing its byte, so it goes
        // out as its Latin look-alike; small ER is replaced too, as FTN editors traditionally do.
        for (char& c : oem) {
            if (static_cast<uint8_t>(c) == SoftCR)
                c = 'H';
            else if (static_cast<uint8_t>(c) == 0xE0)
                c = 'p';
        }
    }
    return oem;
}

std::string DecodeStoredText(std::string_view oem, const TCodePagePair& pages, bool keepSoftCR) {
    if (keepSoftCR)
        return pages.OemToDisplay(oem);
    std::string kept(oem);
    kept.erase(std::remove(kept.begin(), kept.end(), static_cast<char>(SoftCR)), kept.end());
    return pages.OemToDisplay(kept);
}

std::string ReadFixedString(const uint8_t* field, size_t width, const TCodePagePair& pages) {
    if (field == nullptr)
        return {};
    const void* zero = std::memchr(field, 0, width);
    size_t length = zero ? static_cast<const uint8_t*>(zero) - field : width;
    return pages.OemToDisplay(std::string_view(reinterpret_cast<const char*>(field), length));
}

void WriteFixedString(uint8_t* field, size_t width, std::string_view display, const TCodePagePair& pages,
                      bool keepSoftCR) {
    if (field == nullptr || width == 0)
        return;
    std::string oem = EncodeForStorage(display, pages, keepSoftCR);
    std::memset(field, 0, width);
    std::memcpy(field, oem.data(), std::min(width, oem.size()));
}

} // namespace tavro
