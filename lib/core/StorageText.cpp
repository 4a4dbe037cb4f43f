#include "StorageText.h"

#include "Charset.h"
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

std::string TTextCodec::Encode(std::string_view display) const {
    if (Set)
        return Set->FromDisplay(display, *Pages.Display());
    return EncodeForStorage(display, Pages, KeepSoftCR);
}

std::string TTextCodec::Decode(std::string_view stored) const {
    if (Set)
        return Set->ToDisplay(stored, *Pages.Display());
    return Pages.OemToDisplay(stored);
}

std::string TTextCodec::ReadFixed(const uint8_t* field, size_t width) const {
    if (field == nullptr)
        return {};
    const void* zero = std::memchr(field, 0, width);
    size_t length = zero ? static_cast<const uint8_t*>(zero) - field : width;
    return Decode(std::string_view(reinterpret_cast<const char*>(field), length));
}

void TTextCodec::WriteFixed(uint8_t* field, size_t width, std::string_view display) const {
    if (field == nullptr || width == 0)
        return;
    const std::string stored = Encode(display);
    size_t length = std::min(width, stored.size());
    if (Set && Set->IsUtf8())
        while (length > 0 && length < stored.size() && (static_cast<uint8_t>(stored[length]) & 0xC0) == 0x80)
            --length;
    std::memset(field, 0, width);
    std::memcpy(field, stored.data(), length);
}

} // namespace tavro
