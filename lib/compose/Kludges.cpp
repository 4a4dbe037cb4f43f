#include "Kludges.h"

#include "core/Attributes.h"
#include "core/StrUtils.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace tavro {

namespace {

constexpr size_t OriginLineMax = 78;

// The FLAGS tokens are written in this fixed order, not in bit order.
constexpr uint32_t FlagsOrder[] = {atLOK, atDIR, atIMM, atZON, atHUB, atKFS, atTFS, atCFM, atRRQ, atAS};

std::string Kludge(std::string_view text) {
    std::string line = "\x01";
    line += text;
    return line;
}

std::string Hex8(uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

const char* FlagsTokenOf(uint32_t bit) {
    for (const TAttrInfo& info : AttrTable())
        if (info.Bit == bit)
            return info.FlagsToken;
    return nullptr;
}

std::string FlagsLine(uint32_t attr) {
    std::string line = "FLAGS";
    for (uint32_t bit : FlagsOrder) {
        const char* token = FlagsTokenOf(bit);
        if ((attr & bit) != 0 && token) {
            line += ' ';
            line += token;
        }
    }
    return line;
}

void AddAddressKludges(const TKludgeFields& fields, TStringList& kludges) {
    if (fields.From.Point != 0)
        kludges.push_back(Kludge("FMPT " + std::to_string(fields.From.Point)));
    if (fields.To.Point != 0)
        kludges.push_back(Kludge("TOPT " + std::to_string(fields.To.Point)));
    kludges.push_back(Kludge("INTL " + fields.To.ToStr3D() + " " + fields.From.ToStr3D()));
}

} // namespace

TStringList BuildKludges(const TKludgeFields& fields) {
    TStringList kludges;
    if (!fields.Echomail)
        AddAddressKludges(fields, kludges);
    kludges.push_back(Kludge("MSGID: " + fields.From.ToStr5D() + " " + Hex8(fields.Serial)));
    if (!fields.Reply.empty())
        kludges.push_back(Kludge("REPLY: " + fields.Reply));
    if ((fields.Attr & FlagsKludgeAttrs) != 0)
        kludges.push_back(Kludge(FlagsLine(fields.Attr)));
    if (const std::string realName = Trim(fields.RealName); !realName.empty())
        kludges.push_back(Kludge("RealName: " + realName));
    if (!fields.Chrs.empty())
        kludges.push_back(Kludge("CHRS: " + fields.Chrs));
    else if (fields.OemCodePage != 0)
        kludges.push_back(Kludge("CHRS: CP" + std::to_string(fields.OemCodePage) + " 2"));
    if (!fields.Pid.empty())
        kludges.push_back(Kludge("PID: " + fields.Pid));
    kludges.push_back(Kludge("TZUTC: " + TzUtcText(fields.UtcOffsetMinutes)));
    return kludges;
}

std::string TzUtcText(int offsetMinutes) {
    const long long minutes = std::llabs(static_cast<long long>(offsetMinutes));
    char text[32];
    std::snprintf(text, sizeof text, "%s%02lld%02lld", offsetMinutes < 0 ? "-" : "", minutes / 60,
                  minutes % 60);
    return text;
}

int LocalUtcOffsetMinutes(TDateTime local) {
    std::tm tm = LocalTm(local);
    time_t when = std::mktime(&tm);
    if (when == static_cast<time_t>(-1))
        when = std::time(nullptr); // a date the C library cannot place: today's offset
    std::tm resolved{};
    if (!localtime_r(&when, &resolved))
        return 0;
    return static_cast<int>(resolved.tm_gmtoff / 60);
}

std::string OriginLine(std::string_view text, const TAddress& areaAddress, const TAddress& from) {
    const std::string prefix = " * Origin: ";
    const std::string bracket = " (" + (areaAddress.IsValid() ? areaAddress : from).ToStr() + ")";
    std::string origin = Trim(text);
    const size_t room =
        OriginLineMax > prefix.size() + bracket.size() ? OriginLineMax - prefix.size() - bracket.size() : 0;
    if (origin.size() > room)
        origin.resize(room);
    return prefix + origin + bracket;
}

} // namespace tavro
