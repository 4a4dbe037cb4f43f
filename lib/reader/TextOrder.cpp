#include "TextOrder.h"

#include "core/CodePage.h"

#include <algorithm>
#include <cwchar>
#include <vector>

namespace tavro {

char32_t FoldCase(char32_t c) {
    if (c >= U'A' && c <= U'Z')
        return c + 32;
    if (c < 0xC0)
        return c;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3AB && c != 0x3A2) ||
        (c >= 0x410 && c <= 0x42F))
        return c + 32;
    if (c >= 0x400 && c <= 0x40F)
        return c + 80;
    // Latin Extended-A and Cyrillic additions pair upper and lower case as even and odd.
    if (((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177) || (c >= 0x460 && c <= 0x4BF)) &&
        c % 2 == 0)
        return c + 1;
    return c;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b, const TCodePage& page) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldCase(page.ToUnicode(static_cast<uint8_t>(a[i]))) !=
            FoldCase(page.ToUnicode(static_cast<uint8_t>(b[i]))))
            return false;
    return true;
}

namespace {

char* PutWeight(char* to, uint32_t w) {
    if (w < 0x80) {
        *to++ = static_cast<char>(w);
        return to;
    }
    // Continuation bytes after a lead byte that says how many follow.
    int more = w < 0x800        ? 1
               : w < 0x10000    ? 2
               : w < 0x200000   ? 3
               : w < 0x4000000  ? 4
               : w < 0x80000000 ? 5
                                : 6;
    static constexpr uint8_t Leads[] = {0, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC, 0xFE};
    *to++ = static_cast<char>(Leads[more] | (more < 6 ? w >> (6 * more) : 0));
    while (more-- > 0)
        *to++ = static_cast<char>(0x80 | ((w >> (6 * more)) & 0x3F));
    return to;
}

constexpr size_t MaxWeightBytes = 7;

} // namespace

void AppendWeight(std::string& out, uint32_t weight) {
    char bytes[MaxWeightBytes];
    out.append(bytes, PutWeight(bytes, weight));
}

namespace {

// Partitions by one byte at a time: all ids in a call share their first `depth` bytes.
// Passes are counted so that unlucky pivots end in a plain sort, neither deep recursion
// nor quadratic time.
void SortByKeys(uint32_t* ids, ptrdiff_t count, size_t depth, const TPackedTexts& keys, int passes) {
    auto byte = [&](uint32_t id) { return depth < keys[id].size() ? int(uint8_t(keys[id][depth])) : -1; };
    while (count > 1) {
        if (count < 16 || ++passes > 64) {
            std::sort(ids, ids + count,
                      [&](uint32_t a, uint32_t b) { return keys[a].substr(depth) < keys[b].substr(depth); });
            return;
        }
        const int first = byte(ids[0]), middle = byte(ids[count / 2]), last = byte(ids[count - 1]);
        const int pivot = std::max(std::min(first, middle), std::min(std::max(first, middle), last));
        ptrdiff_t below = 0, at = 0, above = count;
        while (at < above) {
            const int c = byte(ids[at]);
            if (c < pivot)
                std::swap(ids[below++], ids[at++]);
            else if (c > pivot)
                std::swap(ids[at], ids[--above]);
            else
                ++at;
        }
        SortByKeys(ids, below, depth, keys, passes);
        // Ids whose key ended are equal.
        if (pivot >= 0)
            SortByKeys(ids + below, above - below, depth + 1, keys, passes);
        ids += above;
        count -= above;
    }
}

} // namespace

void SortByKeys(std::vector<uint32_t>& ids, const TPackedTexts& keys) {
    SortByKeys(ids.data(), static_cast<ptrdiff_t>(ids.size()), 0, keys, 0);
}

void TCollator::AppendKey(std::string& out, std::string_view text) {
    Wide.clear();
    for (char c : text)
        Wide.push_back(static_cast<wchar_t>(FoldCase(Page.ToUnicode(static_cast<uint8_t>(c)))));
    if (Key.size() < Wide.size() * 4 + 16)
        Key.resize(Wide.size() * 4 + 16);
    size_t length = std::wcsxfrm(Key.data(), Wide.c_str(), Key.size());
    if (length >= Key.size()) {
        Key.resize(length + 1);
        length = std::wcsxfrm(Key.data(), Wide.c_str(), Key.size());
    }
    if (Bytes.size() < length * MaxWeightBytes)
        Bytes.resize(length * MaxWeightBytes);
    char* to = Bytes.data();
    for (size_t i = 0; i < length; ++i)
        to = PutWeight(to, static_cast<uint32_t>(Key[i]));
    out.append(Bytes.data(), to);
}

std::string CollationKey(std::string_view text, const TCodePage& page) {
    std::string key;
    TCollator(page).AppendKey(key, text);
    return key;
}

} // namespace tavro
