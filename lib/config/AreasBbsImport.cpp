#include "AreasBbsImport.h"

#include "AreaImport.h"
#include "Echo.h"

#include "core/Base.h"
#include "core/StrUtils.h"

namespace tavro {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

enum class TLineResult { Next, Stop };

// A line starting with a digit: "zone:net/node" sets the address of the areas below it. A
// number followed by a blank is skipped; anything else ends the list.
TLineResult ReadAddressLine(std::string_view line, TAddress& current) {
    size_t pos = 1;
    while (pos < line.size() && IsDigit(line[pos]))
        ++pos;
    if (pos >= line.size())
        return TLineResult::Stop;
    if (static_cast<unsigned char>(line[pos]) < 33)
        return TLineResult::Next;
    if (line[pos] != ':')
        return TLineResult::Stop;
    current.Parse(FirstWord(line));
    return TLineResult::Next;
}

// "$path [tag]" (Squish) or "!path [tag]" (JAM).
void ReadAreaLine(TAreaImport& import, std::string_view line, const TAddress& current) {
    size_t end = 1;
    while (end < line.size() && static_cast<unsigned char>(line[end]) >= 33)
        ++end;
    const std::string path = Trim(line.substr(1, end - 1));
    if (path.empty())
        return;
    const std::vector<std::string_view> words = SplitWords(line);
    const std::string_view tag = words.size() >= 2 ? words[1] : FileNamePart(path);
    if (tag.empty())
        return;
    bool created = false;
    TEcho& echo = import.Take(tag, &created);
    if (created) {
        echo.Flags = efAddOrigin | efUseTemplate;
        echo.DefAttr = 32;
    }
    import.Keep(echo);
    echo.EchoType = etEchomail;
    echo.Address = current;
    const bool squish = line.front() == '$';
    echo.Path = path + (squish ? ".Sqd" : ".JHR");
    echo.BaseType = squish ? btSquish : btJam;
    echo.Path = import.SubstitutePath(echo.Path);
}

} // namespace

void ImportAreasBbs(TAreaImport& import, const std::string& fileName) {
    TAddress current;
    for (const std::string& raw : ReadConfigLines(fileName)) {
        const std::string_view line = TrimView(raw);
        if (line.empty() || line.front() == ';' || line.front() == '#')
            continue;
        if (IsDigit(line.front())) {
            if (ReadAddressLine(line, current) == TLineResult::Stop)
                return;
        } else if (line.front() == '$' || line.front() == '!') {
            ReadAreaLine(import, line, current);
        }
    }
}

} // namespace tavro
