#include "MsgSplit.h"

#include "core/StrUtils.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <iterator>
#include <optional>

namespace tavro {

const char* const PartHeadMarker = "> ---------- Part %d ---------- <";
const char* const PartContinuedMarker = "> ----- to be continued... ----- <";
const char* const PartEndMarker = "> ---------- the end. ---------- <";

namespace {

// Below 1 KB the room kept for kludges and markers would leave a part no text.
constexpr int MinMaxMsgLenKb = 1;
constexpr int64_t LineEndLength = 2;
// Room kept for the kludges: of a message written whole, and of each part with its markers.
constexpr int64_t WholeReserve = 256;
constexpr int64_t PartReserve = 768;
// A line too long for an empty part is cut into pieces at least this long.
constexpr int64_t MinPieceLength = 78;

int64_t TextLength(const TBodyLines& lines) {
    int64_t length = 0;
    for (const TBodyLine& line : lines)
        length += static_cast<int64_t>(line.Text.size()) + LineEndLength;
    return length;
}

int64_t LineLength(const std::optional<TBodyLine>& line) {
    return line ? static_cast<int64_t>(line->Text.size()) + LineEndLength : 0;
}

bool IsBlank(const TBodyLine& line) {
    return TrimView(line.Text).empty();
}

// A body taken apart: what every part repeats, and the text spread over the parts.
struct TSplitSource {
    TBodyLines Address;
    std::deque<TBodyLine> Text;
    std::optional<TBodyLine> Tearline;
    std::optional<TBodyLine> Origin;
};

TSplitSource TakeApart(const TBodyLines& body) {
    TSplitSource source;
    size_t i = 0;
    // A gateway's "To:" line and what follows it up to the first empty line head every part.
    if (!body.empty() && StartsWithNoCase(body.front().Text, "To:")) {
        while (i < body.size()) {
            source.Address.push_back(body[i]);
            if (body[i++].Text.empty())
                break;
        }
    }
    for (; i < body.size(); ++i) {
        const TBodyLine& line = body[i];
        if (StartsWithNoCase(line.Text, "--- ")) {
            source.Tearline = line;
        } else if (StartsWithNoCase(line.Text, " * Origin: ")) {
            source.Origin = line;
            break;
        } else {
            source.Text.push_back(line);
        }
    }
    return source;
}

// Moves the lines of one part from the front of `text`; always at least one line or piece.
TBodyLines TakePart(std::deque<TBodyLine>& text, int64_t capacity) {
    TBodyLines lines;
    while (!text.empty()) {
        TBodyLine& line = text.front();
        const int64_t length = static_cast<int64_t>(line.Text.size());
        if (capacity >= length + LineEndLength) {
            capacity -= length + LineEndLength;
            lines.push_back(std::move(line));
            text.pop_front();
            continue;
        }
        if (lines.empty()) {
            const size_t piece = static_cast<size_t>(std::max(capacity, MinPieceLength));
            lines.emplace_back(line.Text.substr(0, piece), line.LineTag);
            line.Text.erase(0, piece);
            if (line.Text.empty())
                text.pop_front();
        }
        break;
    }
    // A paragraph's first line is not left alone at the end of a part.
    if (!text.empty() && lines.size() > 2 && !IsBlank(lines.back()) && IsBlank(lines[lines.size() - 2])) {
        text.push_front(std::move(lines.back()));
        lines.pop_back();
    }
    return lines;
}

std::string PartHead(int number) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, PartHeadMarker, number);
    return buffer;
}

} // namespace

std::vector<TBodyLines> SplitBody(const TBodyLines& body, int maxMsgLenKb) {
    const int64_t maxLength = static_cast<int64_t>(std::max(maxMsgLenKb, MinMaxMsgLenKb)) * 1024;
    if (TextLength(body) <= maxLength - WholeReserve)
        return {};
    TSplitSource source = TakeApart(body);
    if (source.Text.empty())
        return {};
    const int64_t capacity = maxLength - TextLength(source.Address) - PartReserve;
    // Repeating more than a part holds would multiply the body many times over and still
    // give parts too long; such a body is better written whole.
    const int64_t repeated =
        TextLength(source.Address) + LineLength(source.Tearline) + LineLength(source.Origin);
    if (repeated > capacity)
        return {};

    std::vector<TBodyLines> parts;
    while (!source.Text.empty()) {
        TBodyLines lines = TakePart(source.Text, capacity);
        TBodyLines part = source.Address;
        part.reserve(part.size() + lines.size() + 5);
        part.emplace_back(PartHead(static_cast<int>(parts.size()) + 1));
        std::move(lines.begin(), lines.end(), std::back_inserter(part));
        part.emplace_back(source.Text.empty() ? PartEndMarker : PartContinuedMarker);
        part.emplace_back();
        if (source.Tearline)
            part.push_back(*source.Tearline);
        if (source.Origin)
            part.push_back(*source.Origin);
        parts.push_back(std::move(part));
    }
    return parts;
}

} // namespace tavro
