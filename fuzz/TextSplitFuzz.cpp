// Stored message text as the formats hand it over: cut at CR, sorted line by line, then
// searched for kludges, addresses and FLAGS.
#include "core/Attributes.h"
#include "core/CodePage.h"
#include "core/Msg.h"
#include "core/StorageText.h"

#include <cstdlib>
#include <string_view>

using namespace tavro;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    TCustomMsg msg(nullptr);
    bool started = false;
    while (!text.empty()) {
        size_t cr = text.find('\r');
        std::string_view line = text.substr(0, cr);
        msg.AddLine(line, started);
        text.remove_prefix(cr == std::string_view::npos ? text.size() : cr + 1);
    }

    for (std::string_view name : {"MSGID:", "REPLY:", "REPLYTO:", "INTL", "FMPT", "TOPT", ""})
        msg.GetKludge(name);
    msg.Attr = AttrFromFlagsKludge(msg.Kludges) | atLoc;
    msg.ResolveAddresses();
    AttrToStr(msg.Attr);

    // Writing the lines back never changes their length; UTF-8 parsing takes any bytes.
    const TCodePagePair& pages = msg.CodePages();
    for (const TBodyLine& line : msg.Body) {
        if (EncodeForStorage(line.Text, pages, false).size() != line.Text.size())
            std::abort();
        pages.Display()->FromUtf8(line.Text);
        uint8_t field[36];
        WriteFixedString(field, sizeof field, line.Text, pages, false);
        if (ReadFixedString(field, sizeof field, pages).size() > sizeof field)
            std::abort();
    }
    return 0;
}
