#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tavro {

// One single-byte code page: each byte to a Unicode character and back. Bytes 0..127 are
// always ASCII; a byte the page leaves undefined reads as U+FFFD.
class TCodePage {
public:
    // "CP866", "cp866", "866", "Windows-1251" and any other single-byte, ASCII-compatible page
    // iconv knows; null when unknown. Built once per name and shared.
    static std::shared_ptr<const TCodePage> Get(std::string_view name);

    const std::string& Name() const { return Name_; }
    // The number in the name ("CP866" gives 866), 0 when there is none.
    int Number() const { return Number_; }

    char32_t ToUnicode(uint8_t byte) const { return ToUnicode_[byte]; }
    // Whether the byte is a letter of this page (Latin, Greek, Cyrillic and the like).
    bool IsLetter(uint8_t byte) const { return Letters_[byte]; }
    // -1 when the page has no byte for the character.
    int FromUnicode(char32_t ch) const;
    // The byte for the character, else the byte of its look-alike, else "?".
    uint8_t FitByte(char32_t ch) const;

    std::string ToUtf8(std::string_view bytes) const;
    // The same, appended to `out`.
    void AppendUtf8(std::string& out, std::string_view bytes) const;
    // Characters the page lacks become `fallback`; malformed UTF-8 too.
    std::string FromUtf8(std::string_view utf8, char fallback = '?') const;

private:
    TCodePage() = default;
    static std::shared_ptr<const TCodePage> Build(const std::string& name);
    std::string Name_;
    int Number_ = 0;
    std::array<char32_t, 256> ToUnicode_{};
    std::array<bool, 256> Letters_{};
    // Defined bytes sorted by character, the lowest byte for a character held twice.
    std::vector<std::pair<char32_t, uint8_t>> FromUnicode_;
};

// Decodes one well-formed UTF-8 sequence at `pos` and advances past it; on a malformed one
// (overlong, surrogate, beyond U+10FFFF, cut short, a stray continuation byte) advances one
// byte and answers false.
bool NextUtf8(std::string_view s, size_t& pos, char32_t& ch);
void AppendUtf8(std::string& out, char32_t ch);

// The OEM code page of the bases and the display code page of the model, converted byte
// for byte through two tables. A character only one side has maps to a fixed look-alike:
// box drawing to "+", "-", "|", blocks to "#", letters to a Latin or Russian look-alike,
// typographic punctuation to ASCII, anything else to "?".
class TCodePagePair {
public:
    // Both directions copy bytes unchanged.
    static TCodePagePair Identity();
    // Null when either page is unknown.
    static std::unique_ptr<TCodePagePair> Create(std::string_view oemName, std::string_view displayName);
    // CP866 / Windows-1251.
    static const TCodePagePair& Default();

    bool IsIdentity() const { return Oem_ == nullptr; }
    // The OEM page, null for the identity pair.
    const TCodePage* Oem() const { return Oem_.get(); }
    const TCodePage* Display() const { return Display_.get(); }
    // The OEM code page number for the CHRS kludge; 0 for the identity pair.
    int OemNumber() const { return Oem_ ? Oem_->Number() : 0; }

    uint8_t OemToDisplay(uint8_t byte) const { return OemToDisplay_[byte]; }
    uint8_t DisplayToOem(uint8_t byte) const { return DisplayToOem_[byte]; }
    std::string OemToDisplay(std::string_view text) const;
    // Into `out`, whose storage is used again: for many short texts in a row.
    std::string_view OemToDisplay(std::string_view text, std::string& out) const;
    std::string DisplayToOem(std::string_view text) const;

private:
    TCodePagePair();
    std::shared_ptr<const TCodePage> Oem_, Display_;
    std::array<uint8_t, 256> OemToDisplay_{};
    std::array<uint8_t, 256> DisplayToOem_{};
};

// The pair configured for this run; Default() until set. Set it at start-up, before other
// threads read it.
const TCodePagePair& ActiveCodePages();
void SetActiveCodePages(const TCodePagePair& pair);
// The active display page for showing model text; with the identity pair, whose bytes
// carry no page of their own, the default display page.
const TCodePage& ActiveDisplayPage();

} // namespace tavro
