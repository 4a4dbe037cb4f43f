#include "Address.h"

#include "Settings.h"
#include "StrUtils.h"

#include <cstddef>
#include <utility>

namespace tavro {

namespace {

// Numbers keep their low 16 bits, as the stored forms always have.
bool ToNumber(std::string_view text, uint16_t& value) {
    int32_t number = 0;
    if (!StrToInt(text, number))
        return false;
    value = static_cast<uint16_t>(number);
    return true;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads the fields of a partial address from its right end: each field is the run of digits
// left of the cursor when its own separator (or the start of the text) precedes it; when
// another character precedes it, the field becomes 0 and the next field gets the same digits.
class TRelativeReader {
public:
    explicit TRelativeReader(std::string_view text)
        : Text(text), Cursor(static_cast<ptrdiff_t>(text.size())), End(Cursor) {}

    bool ReadField(char separator, uint16_t& value) {
        if (Cursor <= 0)
            return true;
        while (Cursor > 0 && IsDigit(Text[Cursor - 1]))
            --Cursor;
        if (Cursor > 0 && Text[Cursor - 1] != separator) {
            value = 0;
            return true;
        }
        if (!ToNumber(Text.substr(Cursor, End - Cursor), value))
            return false;
        --Cursor;
        End = Cursor;
        return true;
    }

private:
    std::string_view Text;
    ptrdiff_t Cursor;
    ptrdiff_t End;
};

} // namespace

TAddress::TAddress(uint16_t zone, uint16_t net, uint16_t node, uint16_t point, std::string domain)
    : Zone(zone), Net(net), Node(node), Point(point), Domain(std::move(domain)) {}

void TAddress::Assign(const TAddress* source) {
    if (source != nullptr)
        *this = *source;
}

void TAddress::Clear() {
    Zone = 0;
    Net = 0;
    Node = 0;
    Point = 0;
}

void TAddress::Parse(std::string_view text) {
    size_t at = text.find('@');
    if (at != std::string_view::npos) {
        Domain = std::string(text.substr(at + 1));
        text = text.substr(0, at);
    } else {
        Domain.clear();
    }
    TAddress parsed;
    size_t colon = text.find(':');
    size_t slash = colon == std::string_view::npos ? colon : text.find('/', colon + 1);
    if (slash == std::string_view::npos || !ToNumber(text.substr(0, colon), parsed.Zone) ||
        !ToNumber(text.substr(colon + 1, slash - colon - 1), parsed.Net)) {
        Clear();
        return;
    }
    std::string_view rest = text.substr(slash + 1);
    size_t dot = rest.find('.');
    bool ok = dot == std::string_view::npos ? ToNumber(rest, parsed.Node)
                                            : ToNumber(rest.substr(0, dot), parsed.Node) &&
                                                  ToNumber(rest.substr(dot + 1), parsed.Point);
    if (!ok) {
        Clear();
        return;
    }
    Zone = parsed.Zone;
    Net = parsed.Net;
    Node = parsed.Node;
    Point = parsed.Point;
}

void TAddress::ParseRelative(std::string_view text) {
    ParseRelative(text, Settings().OldAddrStyle);
}

void TAddress::ParseRelative(std::string_view text, bool oldAddrStyle) {
    TRelativeReader reader(text);
    bool ok = true;
    // In the old style a bare number is a node, not a point.
    if (oldAddrStyle && text.find('.') == std::string_view::npos)
        Point = 0;
    else
        ok = reader.ReadField('.', Point);
    ok = ok && reader.ReadField('/', Node) && reader.ReadField(':', Net) && reader.ReadField(' ', Zone);
    if (!ok)
        Clear();
}

std::string TAddress::ToStr3D() const {
    if (!IsValid())
        return {};
    return std::to_string(Zone) + ':' + std::to_string(Net) + '/' + std::to_string(Node);
}

std::string TAddress::ToStr() const {
    if (!IsValid() || Point == 0)
        return ToStr3D();
    return ToStr3D() + '.' + std::to_string(Point);
}

std::string TAddress::ToStrFull() const {
    if (!IsValid())
        return {};
    return ToStr3D() + '.' + std::to_string(Point);
}

std::string TAddress::ToStr5D() const {
    if (!IsValid() || Domain.empty())
        return ToStr();
    return ToStr() + '@' + Domain;
}

bool SameAddress(const TAddress& a, const TAddress& b) {
    return a.Zone == b.Zone && a.Net == b.Net && a.Node == b.Node && a.Point == b.Point;
}

} // namespace tavro
