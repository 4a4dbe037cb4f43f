#pragma once

#include "core/Msg.h"
#include "text/FtnParser.h"

#include <string>
#include <string_view>

namespace tavro {

// The reader's text view shows 79 columns unless the user fits the text to the view.
constexpr int ViewerWidth = 79;

// The lines the text view shows: the body re-wrapped at `width`; with kludges shown, the
// kludge lines before it and the tail lines (SEEN-BY, PATH) after it, both as stored.
TStringList ViewerLines(TCustomMsg& msg, bool showKludges, int width);

// What "Open as URL" opens for a selection: every character below 33 removed, "http://" in
// front when there is no "://"; empty when nothing is left.
std::string UrlFromSelection(std::string_view selected);

// What opening a link of the kind hands to the desktop: a web address unchanged, an e-mail
// address with each "#" as "@" behind "mailto:"; empty for the other kinds.
std::string DesktopLinkTarget(std::string_view link, TLinkKind kind);

} // namespace tavro
