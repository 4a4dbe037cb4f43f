#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tavro {

// How the composer was opened, so a restored one writes the same kind of message.
enum class TDraftMode : uint8_t {
    New,
    Reply,
    Quote,
    Comment,
    QuoteInArea,
    CommentInArea,
    Forward,
    Edit,
    Contact
};

// Everything an open composer needs to come back after a crash or a power cut. Strings are
// the display-code-page bytes as typed and are kept byte-exact.
struct TDraft {
    int32_t UserId = 0;
    std::string AreaTag;       // the target area
    std::string SourceAreaTag; // the answered message's area, may be empty
    TDraftMode Mode = TDraftMode::New;
    uint32_t AnsweredId = 0; // RepliedMsgId in SourceArea (0 none)
    uint32_t EditedId = 0;   // edited message in Area (0 none)
    std::string Reply;       // the REPLY value verbatim
    uint32_t Attr = 0;
    std::string Origin;
    std::string FromName, FromAddr, ToName, ToAddr, Subject; // as typed
    std::vector<std::string> Lines;                          // the editor text, one per line
    std::vector<int> LineTags;                               // a tag per line, same size as Lines
    double DateWritten = 0;                                  // TDateTime
    bool operator==(const TDraft&) const = default;
};

// Bytes that are not a whole, well-formed draft, or a draft too large to store.
class EDraftError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Far beyond any letter; they keep a damaged file from asking for unbounded memory.
constexpr size_t MaxDraftTextBytes = size_t(16) << 20; // all strings and lines together
constexpr size_t MaxDraftLines = 1'000'000;
// No draft within those limits makes a larger file.
constexpr size_t MaxDraftFileBytes = 128 + MaxDraftTextBytes + MaxDraftLines * 8;

// The draft as file bytes, version 1, integers little-endian:
//   "Tavro draft 1\n"
//   u8 mode, i32 user id, u32 answered id, u32 edited id, u32 attributes,
//   u64 the bits of the IEEE double date written,
//   nine strings as u32 length + bytes: area, source area, REPLY, origin, from name,
//     from address, to name, to address, subject,
//   u32 line count, then per line i32 tag, u32 length + bytes,
//   u32 CRC-32 (as zlib's) of every byte before it, so a torn write is recognised.
// Every draft has exactly one encoding. Missing line tags are stored as 0 and extra ones
// dropped; a date that is not a finite number is stored as 0. Throws EDraftError for a draft
// over the limits or with a mode out of range.
std::string EncodeDraft(const TDraft& draft);
// Throws EDraftError with the reason for anything else than a whole draft of a known
// version: damaged, cut short, too large.
TDraft DecodeDraft(std::string_view bytes);

} // namespace tavro
