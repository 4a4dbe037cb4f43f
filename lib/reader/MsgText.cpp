#include "MsgText.h"

#include "text/Quoting.h"

#include <algorithm>

namespace tavro {

TStringList ViewerLines(TCustomMsg& msg, bool showKludges, int width) {
    TStringList lines;
    if (showKludges)
        lines = msg.GetKludges();
    TStringList body;
    body.reserve(msg.GetBody().size());
    for (const TBodyLine& line : msg.GetBody())
        body.push_back(line.Text);
    WrapQuoted(body, lines, std::max(width, 1));
    if (showKludges) {
        const TStringList& tail = msg.GetTail();
        lines.insert(lines.end(), tail.begin(), tail.end());
    }
    return lines;
}

std::string UrlFromSelection(std::string_view selected) {
    std::string url;
    for (char c : selected)
        if (static_cast<unsigned char>(c) >= 33)
            url.push_back(c);
    if (!url.empty() && url.find("://") == std::string::npos)
        url.insert(0, "http://");
    return url;
}

std::string DesktopLinkTarget(std::string_view link, TLinkKind kind) {
    if (kind == lkUrl)
        return std::string(link);
    if (kind != lkEMail)
        return {};
    std::string address(link);
    std::replace(address.begin(), address.end(), '#', '@');
    return "mailto:" + address;
}

} // namespace tavro
