#include "HptImport.h"

#include "AreaImport.h"
#include "Echo.h"
#include "FidoconfigReader.h"

#include "core/Base.h"
#include "core/StrUtils.h"

#include <algorithm>
#include <optional>

namespace tavro {

namespace {

std::optional<TEchoType> AreaKind(std::string_view keyword) {
    if (EqualsNoCase(keyword, "NetmailArea") || EqualsNoCase(keyword, "NetArea"))
        return etNetmail;
    if (EqualsNoCase(keyword, "BadArea") || EqualsNoCase(keyword, "DupeArea"))
        return etBadmail;
    if (EqualsNoCase(keyword, "LocalArea") || EqualsNoCase(keyword, "EchoArea"))
        return etEchomail;
    return std::nullopt;
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

class THptImporter {
public:
    explicit THptImporter(TAreaImport& import) : Import(import) {}

    void Line(std::string_view line) {
        const std::vector<std::string_view> words = SplitWords(line);
        if (words.empty())
            return; // a line of variables that are all empty
        const std::string_view keyword = words.front();
        if (EqualsNoCase(keyword, "EchoAreaDefaults")) {
            Defaults = Trim(TextFromWord(line, 1));
            if (EqualsNoCase(Defaults, "OFF"))
                Defaults.clear();
        } else if (const auto kind = AreaKind(keyword)) {
            if (words.size() >= 3)
                Area(*kind, line, words);
        } else if (EqualsNoCase(keyword, "Address") && words.size() >= 2) {
            Import.AddOwnAddress(words[1]);
        }
    }

private:
    void Area(TEchoType kind, std::string_view line, const std::vector<std::string_view>& words) {
        TEcho& echo = Import.TakeArea(words[1], kind, words[2]);
        bool passthrough = EqualsNoCase(words[2], "passthrough");
        if (!passthrough) {
            const std::string_view own = TextFromWord(line, 3);
            const std::string options =
                Defaults.empty() ? std::string(own) : Defaults + " " + std::string(own);
            passthrough = ApplyOptions(echo, SplitOptions(options));
        }
        Import.CompletePath(echo, true);
        echo.Path = Import.SubstitutePath(echo.Path);
        if (passthrough)
            Import.Drop(echo);
        else
            Import.Keep(echo);
    }

    // True when the options make the area passthrough. An option's value is looked at as
    // an option of its own too.
    bool ApplyOptions(TEcho& echo, const std::vector<std::string_view>& words) {
        bool passthrough = false;
        for (size_t i = 0; i < words.size(); ++i) {
            const std::string_view word = words[i];
            const std::string_view next = i + 1 < words.size() ? words[i + 1] : std::string_view();
            if (StartsWithNoCase(word, "-a")) {
                if (!next.empty())
                    echo.Address.Parse(next);
            } else if (EqualsNoCase(word, "-b")) {
                passthrough = SetBaseType(echo, next) || passthrough;
            } else if (EqualsNoCase(word, "-pass")) {
                passthrough = true;
            } else if (StartsWithNoCase(word, "-p")) {
                // "-p" is also the purge age ("-p 30"), which must not wipe the address.
                TAddress address;
                address.Parse(word.substr(2));
                if (address.IsValid())
                    echo.Address = address;
            } else if (IsLink(word)) {
                Import.ChooseAka(echo, word);
            }
        }
        return passthrough;
    }

    // True for "-b passthrough".
    static bool SetBaseType(TEcho& echo, std::string_view name) {
        if (EqualsNoCase(name, "msg"))
            echo.BaseType = btMsg;
        else if (EqualsNoCase(name, "squish"))
            echo.BaseType = btSquish;
        else if (EqualsNoCase(name, "jam"))
            echo.BaseType = btJam;
        return EqualsNoCase(name, "passthrough");
    }

    TAreaImport& Import;
    std::string Defaults;
};

} // namespace

void ImportHpt(TAreaImport& import, const std::string& fileName) {
    THptImporter importer(import);
    TFidoconfigReader reader([&importer](std::string_view line) { importer.Line(line); });
    reader.Read(fileName);
}

} // namespace tavro
