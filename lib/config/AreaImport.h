#pragma once

#include "Echo.h"
#include "core/Address.h"

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tavro {

class TConfig;
class TEcho;

// What one import of a tosser's configuration shares across its lines and files: the areas
// not named yet (the stale list), the tosser's own addresses, the path rules and the
// warnings. Every importer brings one area at a time in line through it.
class TAreaImport {
public:
    // The stale list starts as every area of the configuration.
    explicit TAreaImport(TConfig& config);
    TAreaImport(const TAreaImport&) = delete;
    TAreaImport& operator=(const TAreaImport&) = delete;

    TConfig& Target() const { return Config_; }

    // The area whose name equals `tag` ignoring case (the first such), or null.
    TEcho* Find(std::string_view tag) const;
    // That area, or a new one with the defaults appended to the areas; either way its name
    // becomes `tag` as written. `created` tells which it was.
    TEcho& Take(std::string_view tag, bool* created = nullptr);
    // An area line of a text configuration: the area of `kind` with `path` as a *.MSG base
    // until its options say otherwise; a new one gets the kind's default attributes.
    TEcho& TakeArea(std::string_view tag, TEchoType kind, std::string_view path);
    // Off the stale list: the configuration names the area.
    void Keep(const TEcho& echo);
    // Back on it: a passthrough area, which the reader has no base for.
    void Drop(const TEcho& echo);
    // Whether the configuration named any area at all (through Take or Keep). One that
    // names none is taken for a misread, not for a tosser without areas.
    bool FoundAny() const { return FoundAny_; }

    // Word `text` of an "Address" line; an address that does not parse adds nothing, nor
    // one beyond the first 256.
    void AddOwnAddress(std::string_view text);
    const std::vector<TAddress>& OwnAddresses() const { return OwnAddresses_; }
    // Equal to one of the own addresses, domain included.
    bool IsOwnAddress(const TAddress& address) const;
    // While the area has no valid address, the own address that serves the link `word` (a
    // partial address, read as its right end) becomes the area's.
    void ChooseAka(TEcho& echo, std::string_view word) const;

    // The path as this program sees it, after the first matching substitution rule.
    std::string SubstitutePath(std::string_view path) const;
    // Completes a path as the tosser wrote it for the area's format: Squish and JAM get their
    // header's extension; a *.MSG path that names no directory but sits beside an existing
    // Squish base (or, with `detectJam`, a JAM base) becomes that base, any other gets a
    // separator at its end.
    void CompletePath(TEcho& echo, bool detectJam) const;

    // Takes the stale areas that are not netmail out of the list and hands them over, still
    // alive, so that the users' trees can let go of them first.
    std::vector<std::unique_ptr<TEcho>> RemoveStale();

    // Something the import went past that the user should hear of. The first 100 are kept.
    void Warn(std::string text);
    const std::vector<std::string>& Warnings() const { return Warnings_; }

private:
    // The local form of a tosser's path: substituted, "/"-separated, in the letter case found
    // on disk.
    std::string LocalPath(const std::string& tosserPath) const;

    TConfig& Config_;
    std::vector<TAddress> OwnAddresses_;
    std::unordered_set<const TEcho*> Stale;
    std::unordered_map<std::string, TEcho*> ByTag; // upper-case tag to its first area
    std::vector<std::string> Warnings_;
    size_t WarningsLeftOut = 0;
    bool FoundAny_ = false;
};

// What a link-address word starts with: ".", "/", ":" or a digit.
bool LooksLikeLink(std::string_view word);

// Each rule is a prefix as the tosser writes it, "=" and its replacement; the first rule
// whose prefix starts the path (ignoring case) replaces it. Rules without "=" are skipped.
std::string SubstitutePath(std::string_view path, const std::vector<std::string>& rules);

bool EndsWithSeparator(std::string_view path);
// The path with a separator at its end, "\" for a path written only with "\".
std::string WithSeparator(std::string_view path);
// The last component of a path written with "/", "\" or a drive letter.
std::string_view FileNamePart(std::string_view path);

// Words of a text configuration: runs of characters above code 32.
std::vector<std::string_view> SplitWords(std::string_view text);
// The text from word `index` (0-based) on, empty when there are fewer words.
std::string_view TextFromWord(std::string_view text, size_t index);

// The lines of a text configuration, split at CR, LF or CR LF. Throws EConfigError when
// the file cannot be read or is larger than any configuration.
std::vector<std::string> ReadConfigLines(const std::string& fileName);

// A fixed-size zero-terminated field of a binary configuration: OEM text up to the first
// zero byte, in the display code page, trimmed.
std::string OemField(std::string_view bytes);

} // namespace tavro
