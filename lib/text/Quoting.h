#pragma once

#include "core/Msg.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tavro {

// Quoted text is wrapped to this many columns.
constexpr int QuoteWidth = 78;

// Whether the byte is a letter of the active display code page; ASCII letters only when
// the pair has no display page.
bool IsDisplayLetter(uint8_t byte);

// The 1-based position of the last ">" of a leading quote prefix such as " IP>> ", or 0
// when the line is no quote. Reads at most eleven characters before the ">" run; a UU data
// line is never a quote.
int QuotePrefixEnd(std::string_view line);

// "IIP> " from "Ivan I. Petrov": the initials of the words, after dropping everything that
// is neither a letter nor a blank; one more leading blank with the AddQuoteSpace setting.
std::string MakeQuotePrefix(std::string_view fromName);

// Defuses control lines of a quoted message: ^A becomes "@", "--- " "-+- ", " * Origin: "
// " + Origin: " and "SEEN-BY: " "SEEN+BY: ".
std::string NeutralizeLine(std::string line);

// Re-wraps lines to `width` columns keeping each line's quote prefix; the tail of a broken
// quoted line flows into the next line of the same quote. With width - prefix length >= 1,
// no emitted line is longer than `width`. Appends to `dest`.
void WrapQuoted(const TStringList& source, TStringList& dest, int width);

// The quoted message's text with quote prefixes (re-quoted lines get one more ">"),
// neutralized and, with `wrap`, wrapped to QuoteWidth; with `withKludges` the kludges come
// first and the tail lines last. Appends untagged lines to `dest`.
void QuoteMessage(TCustomMsg& quoted, TBodyLines& dest, bool wrap, bool withKludges);
// The same text, neutralized and wrapped the same way, without prefixes.
void CopyMessageText(TCustomMsg& quoted, TBodyLines& dest, bool wrap, bool withKludges);

} // namespace tavro
