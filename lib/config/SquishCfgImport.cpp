#include "SquishCfgImport.h"

#include "AreaImport.h"
#include "Echo.h"

#include "core/Base.h"
#include "core/StrUtils.h"

#include <optional>

namespace tavro {

namespace {

// The kind of area a line defines, by its keyword; none for other lines.
std::optional<TEchoType> AreaKind(std::string_view line) {
    if (StartsWithNoCase(line, "NetArea"))
        return etNetmail;
    if (StartsWithNoCase(line, "BadArea") || StartsWithNoCase(line, "DupeArea"))
        return etBadmail;
    if (StartsWithNoCase(line, "LocalArea") || StartsWithNoCase(line, "EchoArea"))
        return etEchomail;
    return std::nullopt;
}

// Options after the path; true when they make the area passthrough.
bool ApplyOptions(TAreaImport& import, TEcho& echo, const std::vector<std::string_view>& words) {
    bool passthrough = false;
    for (size_t i = 3; i < words.size(); ++i) {
        const std::string_view word = words[i];
        if (word == "-0")
            passthrough = true;
        else if (word == "-f")
            echo.BaseType = btMsg;
        else if (word == "-$")
            echo.BaseType = btSquish;
        else if (StartsWithNoCase(word, "-p"))
            echo.Address.Parse(word.substr(2));
        else if (LooksLikeLink(word))
            import.ChooseAka(echo, word);
    }
    return passthrough;
}

void ImportArea(TAreaImport& import, TEchoType kind, const std::vector<std::string_view>& words) {
    TEcho& echo = import.TakeArea(words[1], kind, words[2]);
    const bool passthrough = ApplyOptions(import, echo, words);
    import.CompletePath(echo, false);
    echo.Path = import.SubstitutePath(echo.Path);
    if (passthrough)
        import.Drop(echo);
    else
        import.Keep(echo);
}

} // namespace

void ImportSquishCfg(TAreaImport& import, const std::string& fileName) {
    for (const std::string& raw : ReadConfigLines(fileName)) {
        const std::string_view line = TrimView(raw);
        const std::vector<std::string_view> words = SplitWords(line);
        if (const auto kind = AreaKind(line)) {
            if (words.size() >= 3)
                ImportArea(import, *kind, words);
        } else if (StartsWithNoCase(line, "Address") && words.size() >= 2) {
            import.AddOwnAddress(words[1]);
        }
    }
}

} // namespace tavro
