#include "HptImport.h"

#include "AreaImport.h"
#include "Echo.h"
#include "FidoconfigReader.h"

#include "core/Base.h"
#include "core/StrUtils.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <unordered_map>

namespace tavro {

namespace {

constexpr size_t NoDefaults = SIZE_MAX;

std::optional<TEchoType> AreaKind(std::string_view keyword) {
    if (EqualsNoCase(keyword, "NetmailArea") || EqualsNoCase(keyword, "NetArea"))
        return etNetmail;
    if (EqualsNoCase(keyword, "BadArea") || EqualsNoCase(keyword, "DupeArea"))
        return etBadmail;
    if (EqualsNoCase(keyword, "LocalArea") || EqualsNoCase(keyword, "EchoArea"))
        return etEchomail;
    return std::nullopt;
}

// EchoAreaDefaults is for echo and local areas; the netmail, bad and dupe areas go without.
bool TakesDefaults(std::string_view keyword) {
    return EqualsNoCase(keyword, "LocalArea") || EqualsNoCase(keyword, "EchoArea");
}

// Option words; a quoted text (a description) is one word, so nothing in it passes for a
// link.
std::vector<std::string_view> SplitOptions(std::string_view text) {
    std::vector<std::string_view> words;
    size_t pos = 0;
    for (;;) {
        while (pos < text.size() && static_cast<unsigned char>(text[pos]) <= 32)
            ++pos;
        if (pos >= text.size())
            return words;
        size_t end = pos + 1;
        if (text[pos] == '"')
            end = std::min(text.find('"', pos + 1), text.size() - 1) + 1;
        else
            while (end < text.size() && static_cast<unsigned char>(text[end]) > 32)
                ++end;
        words.push_back(text.substr(pos, end - pos));
        pos = end;
    }
}

// HPT writes links as addresses; a bare number there is the value of an option such as
// "-p 30" or "-$m 500".
bool IsLink(std::string_view word) {
    return LooksLikeLink(word) && word.find_first_of(":/") != std::string_view::npos;
}

// What the options of one line (or of EchoAreaDefaults) say.
struct THptOptions {
    std::optional<uint8_t> BaseType; // "-b msg", "-b squish", "-b jam"
    bool Passthrough = false;        // "-b passthrough", "-pass"
    TAddress Address;                // "-a", or "-p" with an address
    std::string Links;               // link words, blank-separated, in order

    // An option's value is looked at as an option of its own too.
    explicit THptOptions(std::string_view text) {
        const std::vector<std::string_view> words = SplitOptions(text);
        for (size_t i = 0; i < words.size(); ++i)
            Apply(words[i], i + 1 < words.size() ? words[i + 1] : std::string_view());
    }

private:
    void Apply(std::string_view word, std::string_view next) {
        if (StartsWithNoCase(word, "-a")) {
            if (!next.empty())
                Address.Parse(next);
        } else if (EqualsNoCase(word, "-b")) {
            SetBaseType(next);
        } else if (EqualsNoCase(word, "-pass")) {
            Passthrough = true;
        } else if (StartsWithNoCase(word, "-p")) {
            // "-p" is also the purge age ("-p 30"), which must not wipe the address.
            TAddress address;
            address.Parse(word.substr(2));
            if (address.IsValid())
                Address = address;
        } else if (IsLink(word)) {
            Links.append(Links.empty() ? "" : " ").append(word);
        }
    }

    void SetBaseType(std::string_view name) {
        const std::pair<const char*, uint8_t> types[] = {
            {"msg", btMsg}, {"squish", btSquish}, {"jam", btJam}};
        for (const auto& [typeName, type] : types) {
            if (EqualsNoCase(name, typeName)) {
                BaseType = type;
                Passthrough = false;
                return;
            }
        }
        if (EqualsNoCase(name, "passthrough")) {
            BaseType.reset();
            Passthrough = true;
        }
    }
};

// One area line as read; applied once the whole configuration, with every own address, is
// known.
struct THptArea {
    std::string Tag;
    TEchoType Kind;
    std::string Path;
    size_t Defaults; // into the importer's list of EchoAreaDefaults
    THptOptions Own;
};

// Squish and JAM paths get their header's extension, a *.MSG directory its separator: HPT
// knows the format of every area, so nothing is guessed from the files on disk.
void CompletePath(TEcho& echo) {
    if (echo.BaseType == btSquish)
        echo.Path += ".Sqd";
    else if (echo.BaseType == btJam)
        echo.Path += ".Jhr";
    else if (!echo.Path.empty())
        echo.Path = WithSeparator(echo.Path);
}

class THptImporter {
public:
    explicit THptImporter(TAreaImport& import) : Import(import) {}

    void Line(std::string_view line) {
        const std::vector<std::string_view> words = SplitWords(line);
        if (words.empty())
            return;
        const std::string_view keyword = words.front();
        if (EqualsNoCase(keyword, "EchoAreaDefaults")) {
            SetDefaults(TextFromWord(line, 1));
        } else if (const auto kind = AreaKind(keyword)) {
            if (words.size() >= 3)
                AddArea(*kind, TakesDefaults(keyword) ? CurrentDefaults : NoDefaults, line, words);
        } else if (EqualsNoCase(keyword, "Address") && words.size() >= 2) {
            Import.AddOwnAddress(words[1]);
        }
    }

    void Apply() {
        // The links of a defaults line choose the same AKA for every area that follows it.
        for (const THptOptions& defaults : Defaults)
            DefaultsAka.push_back(ChooseAka(defaults.Links));
        for (const THptArea& area : Areas)
            ApplyArea(area);
    }

private:
    void SetDefaults(std::string_view text) {
        text = TrimView(text);
        if (text.empty() || EqualsNoCase(text, "OFF")) {
            CurrentDefaults = NoDefaults;
            return;
        }
        CurrentDefaults = Defaults.size();
        Defaults.emplace_back(text);
    }

    // A tag named again takes the place of its first line, as the area list has it.
    void AddArea(TEchoType kind, size_t defaults, std::string_view line,
                 const std::vector<std::string_view>& words) {
        const bool passthroughPath = EqualsNoCase(words[2], "passthrough");
        THptArea area{std::string(words[1]), kind, std::string(words[2]), defaults,
                      THptOptions(passthroughPath ? std::string_view() : TextFromWord(line, 3))};
        area.Own.Passthrough = area.Own.Passthrough || passthroughPath;
        const auto [it, added] = ByTag.emplace(UpperCaseAscii(area.Tag), Areas.size());
        if (added)
            Areas.push_back(std::move(area));
        else
            Areas[it->second] = std::move(area);
    }

    const THptOptions* DefaultsOf(const THptArea& area) const {
        return area.Defaults < Defaults.size() ? &Defaults[area.Defaults] : nullptr;
    }

    void ApplyArea(const THptArea& area) {
        const THptOptions* defaults = DefaultsOf(area);
        const bool ownBaseType = area.Own.BaseType.has_value();
        const bool passthrough = area.Own.Passthrough || (!ownBaseType && defaults && defaults->Passthrough);
        TEcho& echo = Import.TakeArea(area.Tag, area.Kind, area.Path);
        const uint8_t hptDefault = btSquish;
        echo.BaseType =
            area.Own.BaseType.value_or(defaults ? defaults->BaseType.value_or(hptDefault) : hptDefault);
        if (!passthrough)
            SetAddress(echo, area);
        CompletePath(echo);
        echo.Path = Import.SubstitutePath(echo.Path);
        if (passthrough)
            Import.Drop(echo);
        else
            Import.Keep(echo);
    }

    // "-a" decides; else the area's address while it is still an own one, else the AKA the
    // links choose, else the first own address, which is the one the tosser uses.
    void SetAddress(TEcho& echo, const THptArea& area) const {
        const std::vector<TAddress>& own = Import.OwnAddresses();
        const THptOptions* defaults = DefaultsOf(area);
        if (area.Own.Address.IsValid()) {
            echo.Address = area.Own.Address;
        } else if (defaults && defaults->Address.IsValid()) {
            echo.Address = defaults->Address;
        } else if (!own.empty() && !Import.IsOwnAddress(echo.Address)) {
            echo.Address = defaults ? DefaultsAka[area.Defaults] : TAddress();
            if (!echo.Address.IsValid())
                echo.Address = ChooseAka(area.Own.Links);
            if (!echo.Address.IsValid())
                echo.Address = own.front();
        }
    }

    // The AKA the first link with a match chooses; invalid when none has one.
    TAddress ChooseAka(std::string_view links) const {
        TEcho probe;
        for (std::string_view link : SplitWords(links)) {
            Import.ChooseAka(probe, link);
            if (probe.Address.IsValid())
                break;
        }
        return probe.Address;
    }

    TAreaImport& Import;
    std::vector<THptOptions> Defaults;
    std::vector<TAddress> DefaultsAka;
    size_t CurrentDefaults = NoDefaults;
    std::vector<THptArea> Areas;
    std::unordered_map<std::string, size_t> ByTag; // upper-case tag to its place in Areas
};

} // namespace

void ImportHpt(TAreaImport& import, const std::string& fileName) {
    THptImporter importer(import);
    TFidoconfigReader reader([&importer](std::string_view line) { importer.Line(line); },
                             [&import](const std::string& warning) { import.Warn(warning); });
    reader.Read(fileName);
    importer.Apply();
}

} // namespace tavro
