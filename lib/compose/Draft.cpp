#include "Draft.h"

#include "core/Crc32.h"
#include "core/Endian.h"

#include <array>
#include <cmath>
#include <cstring>

namespace tavro {

namespace {

constexpr std::string_view MagicPrefix = "Tavro draft ";
constexpr std::string_view Version = "1";
constexpr size_t CrcSize = 4;

void PutU32(std::string& out, uint32_t v) {
    char b[4];
    PutLE32(b, v);
    out.append(b, 4);
}

void PutU64(std::string& out, uint64_t v) {
    PutU32(out, static_cast<uint32_t>(v));
    PutU32(out, static_cast<uint32_t>(v >> 32));
}

void PutString(std::string& out, const std::string& s) {
    PutU32(out, static_cast<uint32_t>(s.size()));
    out += s;
}

uint64_t DateBits(double date) {
    if (!std::isfinite(date))
        date = 0;
    uint64_t bits;
    std::memcpy(&bits, &date, sizeof bits);
    return bits;
}

// The fields of a draft in their stored order, for reading and writing alike.
template <typename TDraftRef, typename F> void ForEachString(TDraftRef& d, F&& f) {
    for (auto* s : {&d.AreaTag, &d.SourceAreaTag, &d.Reply, &d.Origin, &d.FromName, &d.FromAddr, &d.ToName,
                    &d.ToAddr, &d.Subject})
        f(*s);
}

size_t TextBytes(const TDraft& d) {
    size_t total = 0;
    ForEachString(d, [&](const std::string& s) { total += s.size(); });
    for (const std::string& line : d.Lines)
        total += line.size();
    return total;
}

// Reads the fields in order; every count and length is checked against the limits and the
// bytes left before anything is allocated for it.
class TReader {
public:
    explicit TReader(std::string_view bytes) : Rest(bytes) {}

    bool AtEnd() const { return Rest.empty(); }

    std::string_view Take(size_t n) {
        if (n > Rest.size())
            throw EDraftError("the draft is cut short");
        std::string_view taken = Rest.substr(0, n);
        Rest.remove_prefix(n);
        return taken;
    }
    uint8_t U8() { return static_cast<uint8_t>(Take(1)[0]); }
    uint32_t U32() { return GetLE32(Take(4).data()); }
    uint64_t U64() {
        const uint64_t low = U32();
        return low | uint64_t(U32()) << 32;
    }
    void String(std::string& s) {
        const uint32_t size = U32();
        if (size > TextLeft)
            throw EDraftError("the draft's text is over " + std::to_string(MaxDraftTextBytes >> 20) + " MB");
        s = Take(size);
        TextLeft -= size;
    }
    // The line count, known to fit the bytes left at their smallest (a tag and a length).
    size_t LineCount() {
        const uint32_t count = U32();
        if (count > MaxDraftLines)
            throw EDraftError("the draft has " + std::to_string(count) + " lines, over " +
                              std::to_string(MaxDraftLines));
        if (count > Rest.size() / 8)
            throw EDraftError("the draft is cut short");
        return count;
    }

private:
    std::string_view Rest;
    size_t TextLeft = MaxDraftTextBytes;
};

// The bytes after the magic line; throws for another file or version.
std::string_view CheckMagic(std::string_view bytes) {
    if (!bytes.starts_with(MagicPrefix))
        throw EDraftError(MagicPrefix.starts_with(bytes) ? "the draft is cut short" : "not a Tavro draft");
    const std::string_view rest = bytes.substr(MagicPrefix.size());
    constexpr size_t LongestVersion = 10;
    const size_t eol = rest.find('\n');
    if (eol > LongestVersion)
        throw EDraftError(rest.size() <= LongestVersion ? "the draft is cut short" : "not a Tavro draft");
    if (rest.substr(0, eol) != Version)
        throw EDraftError("unknown draft version \"" + std::string(rest.substr(0, eol)) + "\"");
    return rest.substr(eol + 1);
}

TDraft ReadFields(TReader& in) {
    TDraft d;
    const uint8_t mode = in.U8();
    if (mode > static_cast<uint8_t>(TDraftMode::Contact))
        throw EDraftError("unknown composer mode " + std::to_string(mode));
    d.Mode = static_cast<TDraftMode>(mode);
    d.UserId = static_cast<int32_t>(in.U32());
    d.AnsweredId = in.U32();
    d.EditedId = in.U32();
    d.Attr = in.U32();
    const uint64_t bits = in.U64();
    std::memcpy(&d.DateWritten, &bits, sizeof bits);
    // Only finite dates are written, so the bits of any other are damage.
    if (!std::isfinite(d.DateWritten))
        throw EDraftError("the draft's date is not a number");
    ForEachString(d, [&](std::string& s) { in.String(s); });
    const size_t count = in.LineCount();
    d.Lines.resize(count);
    d.LineTags.resize(count);
    for (size_t i = 0; i < count; ++i) {
        d.LineTags[i] = static_cast<int32_t>(in.U32());
        in.String(d.Lines[i]);
    }
    if (!in.AtEnd())
        throw EDraftError("the draft has bytes after its end");
    return d;
}

} // namespace

std::string EncodeDraft(const TDraft& d) {
    if (d.Lines.size() > MaxDraftLines)
        throw EDraftError("the draft has " + std::to_string(d.Lines.size()) + " lines, over " +
                          std::to_string(MaxDraftLines));
    const size_t text = TextBytes(d);
    if (text > MaxDraftTextBytes)
        throw EDraftError("the draft's text is over " + std::to_string(MaxDraftTextBytes >> 20) + " MB");
    if (static_cast<uint8_t>(d.Mode) > static_cast<uint8_t>(TDraftMode::Contact))
        throw EDraftError("unknown composer mode " + std::to_string(static_cast<unsigned>(d.Mode)));

    std::string out;
    out.reserve(64 + text + 8 * d.Lines.size());
    out.append(MagicPrefix).append(Version).push_back('\n');
    out.push_back(static_cast<char>(d.Mode));
    PutU32(out, static_cast<uint32_t>(d.UserId));
    PutU32(out, d.AnsweredId);
    PutU32(out, d.EditedId);
    PutU32(out, d.Attr);
    PutU64(out, DateBits(d.DateWritten));
    ForEachString(d, [&](const std::string& s) { PutString(out, s); });
    PutU32(out, static_cast<uint32_t>(d.Lines.size()));
    for (size_t i = 0; i < d.Lines.size(); ++i) {
        PutU32(out, static_cast<uint32_t>(i < d.LineTags.size() ? d.LineTags[i] : 0));
        PutString(out, d.Lines[i]);
    }
    PutU32(out, Crc32(out));
    return out;
}

TDraft DecodeDraft(std::string_view bytes) {
    if (bytes.size() > MaxDraftFileBytes)
        throw EDraftError("the file is larger than any draft");
    const std::string_view fields = CheckMagic(bytes);
    if (fields.size() < CrcSize)
        throw EDraftError("the draft is cut short");
    const size_t body = bytes.size() - CrcSize;
    if (Crc32(bytes.substr(0, body)) != GetLE32(bytes.data() + body))
        throw EDraftError("the draft is damaged or cut short (its checksum does not match)");
    TReader in(fields.substr(0, fields.size() - CrcSize));
    return ReadFields(in);
}

} // namespace tavro
