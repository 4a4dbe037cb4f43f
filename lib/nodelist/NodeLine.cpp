#include "NodeLine.h"

#include "core/Address.h"
#include "core/CodePage.h"
#include "core/StrUtils.h"

#include <algorithm>

namespace tavro {

namespace {

enum class TKeyword { Plain, Zone, Region, Host, Hub, Pvt, Hold, Down, Point, Boss, Other };

std::string_view FieldView(std::string_view line, int k) {
    size_t start = 0;
    for (int i = 0; i < k; ++i) {
        const size_t comma = line.find(',', start);
        if (comma == std::string_view::npos)
            return {};
        start = comma + 1;
    }
    if (k >= 6)
        return line.substr(start);
    return line.substr(start, line.find(',', start) - start);
}

TKeyword KeywordOf(std::string_view line) {
    static constexpr std::pair<std::string_view, TKeyword> Keywords[] = {
        {"Zone", TKeyword::Zone}, {"Region", TKeyword::Region}, {"Host", TKeyword::Host},
        {"Hub", TKeyword::Hub},   {"Pvt", TKeyword::Pvt},       {"Hold", TKeyword::Hold},
        {"Down", TKeyword::Down}, {"Point", TKeyword::Point},   {"Boss", TKeyword::Boss}};
    const std::string_view word = TrimView(FieldView(line, 0));
    if (word.empty())
        return TKeyword::Plain;
    for (const auto& [name, keyword] : Keywords)
        if (EqualsNoCase(word, name))
            return keyword;
    return TKeyword::Other;
}

// Bytes of the file shown in a reason: cut short and in the display code page.
std::string Quoted(std::string_view text) {
    constexpr size_t Shown = 40;
    std::string shown = ActiveCodePages().OemToDisplay(text.substr(0, Shown));
    if (text.size() > Shown)
        shown += "...";
    return "\"" + shown + "\"";
}

uint16_t NumberField(std::string_view line) {
    const std::string_view text = TrimView(FieldView(line, 1));
    int32_t value;
    if (!StrToInt(text, value))
        throw ENodeLineError("the number " + Quoted(text) + " is not a decimal number");
    if (value < 0 || value > UINT16_MAX)
        throw ENodeLineError("the number " + Quoted(text) + " is out of range (0 to 65535)");
    return static_cast<uint16_t>(value);
}

void SetBoss(std::string_view line, TNodeEntry& work) {
    const std::string_view text = TrimView(FieldView(line, 1));
    TAddress boss;
    boss.Parse(text);
    if (!boss.IsValid())
        throw ENodeLineError("the Boss address " + Quoted(text) + " is not an address like 2:5020/1");
    work.Zone = boss.Zone;
    work.Net = boss.Net;
    work.Node = boss.Node;
    work.Point = boss.Point;
}

void SetNet(std::string_view line, TNodeLineState& state) {
    TNodeEntry& work = state.Entry;
    const uint16_t net = NumberField(line);
    if (work.Zone == 0) {
        if (state.FallbackZone == 0)
            throw ENodeLineError("no Zone line comes before the first Region or Host line, and no "
                                 "area address gives a zone to use");
        work.Zone = state.FallbackZone;
        state.UsedFallbackZone = true;
    }
    work.Net = net;
    work.Node = work.Point = 0;
}

bool ParseBossPoint(TKeyword keyword, std::string_view line, TNodeLineState& state) {
    switch (keyword) {
    case TKeyword::Plain:
    case TKeyword::Pvt:
    case TKeyword::Hold:
    case TKeyword::Down:
    case TKeyword::Point:
        state.Entry.Point = NumberField(line);
        return true;
    default:
        return false; // an unknown keyword names no point and does not end the boss's list
    }
}

} // namespace

uint32_t NameHash(std::string_view text) {
    return NameHashOf(text);
}

std::string NodeLineField(std::string_view line, int k) {
    return std::string(FieldView(line, k));
}

bool ParseNodeLine(std::string_view line, TNodeLineState& state) {
    const std::string_view trimmed = TrimView(line);
    if (trimmed.empty() || trimmed.front() == ';')
        return false;
    TNodeEntry& work = state.Entry;
    std::string sysop(FieldView(line, 4));
    std::replace(sysop.begin(), sysop.end(), '_', ' ');
    work.NameHash = NameHash(sysop);
    const TKeyword keyword = KeywordOf(line);
    if (state.BossPoints) {
        const bool ends = keyword == TKeyword::Zone || keyword == TKeyword::Region ||
                          keyword == TKeyword::Host || keyword == TKeyword::Hub || keyword == TKeyword::Boss;
        if (!ends)
            return ParseBossPoint(keyword, line, state);
        state.BossPoints = false;
    }
    switch (keyword) {
    case TKeyword::Plain:
    case TKeyword::Hub:
    case TKeyword::Pvt:
    case TKeyword::Hold:
    case TKeyword::Down:
        work.Node = NumberField(line);
        work.Point = 0;
        return true;
    case TKeyword::Zone:
        work.Zone = work.Net = NumberField(line);
        work.Node = work.Point = 0;
        return true;
    case TKeyword::Region:
    case TKeyword::Host:
        SetNet(line, state);
        return true;
    case TKeyword::Point:
        work.Point = NumberField(line);
        return true;
    case TKeyword::Boss:
        SetBoss(line, work);
        state.BossPoints = true;
        return false;
    case TKeyword::Other:
        return false;
    }
    return false;
}

} // namespace tavro
