#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tavro {

class TCodePage;

// A message's own character set, named by its "CHRS:" kludge (or the older "CHARSET:" and
// "CODEPAGE:"). The sets are a fixed list, built once and shared; converting is a table
// lookup per byte for single-byte sets and a small UTF-8 decoder for UTF-8.
class TCharset {
public:
    TCharset(const TCharset&) = delete;
    TCharset& operator=(const TCharset&) = delete;
    ~TCharset();

    // The set a kludge value names ("KOI8-R 2", "utf-8 4", "+7_FIDO", "866"): case-insensitive,
    // the level number ignored; null for an unknown name.
    static const TCharset* FromKludgeValue(std::string_view value);
    // A "CHRS:", "CHARSET:" or "CODEPAGE:" line, with or without its ^A; null when it is none
    // of them or names an unknown set.
    static const TCharset* FromKludgeLine(std::string_view line);
    // The first of the lines that names a known set; null when none does.
    static const TCharset* FromKludges(const std::vector<std::string>& lines);
    static const TCharset& Utf8();

    // "CP866", "KOI8-R", "ISO-8859-1", "UTF-8"...
    const std::string& Name() const { return Name_; }
    bool IsUtf8() const { return Page_ == nullptr; }
    // Whether this is that single-byte page (the OEM page, which needs no set of its own).
    bool IsPage(const TCodePage* page) const;
    // The single-byte page; null for UTF-8.
    const TCodePage* Page() const { return Page_.get(); }
    // "CHRS: CP866 2", "CHRS: LATIN-1 2", "CHRS: UTF-8 4", without the ^A.
    std::string KludgeText() const;

    // Stored bytes to the display page. A character the page lacks becomes its look-alike or
    // "?"; so does every byte of malformed UTF-8, and the text after it is kept. Single-byte
    // sets keep the length; UTF-8 never gets longer.
    std::string ToDisplay(std::string_view stored, const TCodePage& display) const;
    // Into `out`, whose storage is used again: for many lines in a row.
    std::string_view ToDisplay(std::string_view stored, const TCodePage& display, std::string& out) const;
    // Display text to bytes in this set, for writing a message in it.
    std::string FromDisplay(std::string_view text, const TCodePage& display) const;

private:
    struct TTables;

    TCharset(std::string_view name, std::string_view kludgeName, int level,
             std::shared_ptr<const TCodePage> page);
    // One entry per known set, null where the C library cannot convert it.
    static const std::vector<std::unique_ptr<const TCharset>>& Known();
    const TTables& Tables(const TCodePage& display) const;

    std::string Name_;
    std::string KludgeName_;
    int Level_;
    std::shared_ptr<const TCodePage> Page_;
    // The tables for every display page met, built on first use; the last one used is
    // looked up without the lock.
    mutable std::mutex Mutex_;
    mutable std::vector<std::unique_ptr<TTables>> Tables_;
    mutable std::atomic<const TTables*> Last_{nullptr};
};

} // namespace tavro
