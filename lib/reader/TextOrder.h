#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavro {

class TCodePage;

// Lower case of a Latin, Greek or Cyrillic letter; anything else unchanged. Names and
// subjects are written in these scripts, and the C library's own folding depends on the
// locale the program happens to run in.
char32_t FoldCase(char32_t c);

// Display-page text compared with letter case ignored.
bool EqualsIgnoringCase(std::string_view a, std::string_view b, const TCodePage& page);

// A key whose byte order is the order of the text in the locale's collation (LC_COLLATE),
// with letter case ignored. Made once per text, so that sorting compares plain bytes.
std::string CollationKey(std::string_view text, const TCodePage& page);

// Appends a collation weight in the byte pattern of UTF-8, stretched to 32 bits: byte order
// is then the order of the weights, and the usual small weights take one byte, not four.
void AppendWeight(std::string& out, uint32_t weight);

// Texts one after another in one buffer, each found by its number: many short texts cost
// neither an allocation each nor a view each.
class TPackedTexts {
public:
    void Reserve(size_t texts, size_t bytes) {
        Ends.reserve(texts);
        Bytes.reserve(bytes);
    }
    void Add(std::string_view text) {
        Bytes.append(text);
        Ends.push_back(Bytes.size());
    }
    // Appending to the buffer itself: the text is what came since the last Finish.
    std::string& Buffer() { return Bytes; }
    void Finish() { Ends.push_back(Bytes.size()); }
    size_t Size() const { return Ends.size(); }
    size_t ByteSize() const { return Bytes.size(); }
    std::string_view operator[](size_t i) const {
        const size_t start = i == 0 ? 0 : Ends[i - 1];
        return std::string_view(Bytes).substr(start, Ends[i] - start);
    }

private:
    std::string Bytes;
    std::vector<uint64_t> Ends;
};

// Sorts ids by their keys as bytes (equal keys in any order). Keys that share long starts,
// as subjects and names do, cost little more than their first differing bytes.
void SortByKeys(std::vector<uint32_t>& ids, const TPackedTexts& keys);

// Makes collation keys one after another with the same buffers: sorting many texts must
// not cost allocations for each.
class TCollator {
public:
    explicit TCollator(const TCodePage& page) : Page(page) {}
    // Appends the key of `text` to `out`.
    void AppendKey(std::string& out, std::string_view text);

private:
    const TCodePage& Page;
    std::wstring Wide;
    std::vector<wchar_t> Key;
    std::string Bytes;
};

} // namespace tavro
