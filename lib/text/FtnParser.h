#pragma once

#include "config/User.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tavro {

// What a link found in message text points to; the values are what LinkKind reports.
enum TLinkKind : int {
    lkNone = 0,
    lkAddress = 1, // FTN address such as 2:5020/1.7@fidonet
    lkUrl = 8,     // http://, https:// or ftp://
    lkEMail = 9,
};

struct TLink {
    size_t Start = 0;
    size_t Length = 0;
    TLinkKind Kind = lkNone;
    bool operator==(const TLink&) const = default;
};

// Walks the links of one line from left to right without allocating. The line must
// outlive the scanner.
class TLinkScanner {
public:
    explicit TLinkScanner(std::string_view line) : Line_(line) {}
    // The next link, or false when the line holds no more.
    bool Next(TLink& link);

private:
    std::string_view Line_;
    size_t Pos_ = 0;
};

// Colours FTN message text for the viewer and the editor: one TColorElement code
// (ceText..ceTearOrigin) per character.
namespace TFTNParser {

// The colour of a line as a whole: quote level, kludge, tearline/origin or plain text.
TColorElement LineStyle(std::string_view line);

// One style byte per character of the line: the line's own style, with ceAddress on its
// links (kludges, SEEN-BY, tearline, origin and UU data lines are not searched for links).
std::string GetLineStyles(std::string_view line);

// Every link of the line, in order. Punctuation that ends a sentence after a link is not
// part of it.
std::vector<TLink> FindLinks(std::string_view line);

// The kind of the first link in the text; lkNone when it holds none.
TLinkKind LinkKind(std::string_view text);

} // namespace TFTNParser

} // namespace tavro
