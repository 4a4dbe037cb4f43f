#include "Msg.h"

#include "Attributes.h"
#include "Base.h"
#include "Charset.h"
#include "CodePage.h"
#include "StorageText.h"
#include "StrUtils.h"

namespace tavro {

namespace {

constexpr char Ctrl_A = '\x01';
constexpr std::string_view SeenBy = "SEEN-BY: ";
constexpr std::string_view OriginPrefix = " * Origin: ";

// FMPT and TOPT carry a bare point number; anything else is ignored rather than guessed at.
bool ParsePoint(std::string_view text, uint16_t& point) {
    int32_t value = 0;
    if (!StrToInt(text, value))
        return false;
    point = static_cast<uint16_t>(value);
    return true;
}

} // namespace

TCustomMsg::TCustomMsg(TCustomBase* base) : Base_(base) {}

TCustomMsg::~TCustomMsg() = default;

void TCustomMsg::Assign(TCustomMsg* source) {
    if (source == nullptr || source == this)
        return;
    // The accessors load the source's text, which also derives its addresses.
    Kludges = source->GetKludges();
    Body = source->GetBody();
    Tail = source->GetTail();
    Attr = source->GetAttr();
    FromName = source->FromName;
    ToName = source->ToName;
    Subject = source->Subject;
    FromAddr.Assign(&source->FromAddr);
    ToAddr.Assign(&source->ToAddr);
    DateWritten = source->DateWritten;
    DateArrived = source->DateArrived;
}

bool TCustomMsg::Save() {
    return Base_ != nullptr && Base_->WriteMsg(this);
}

bool TCustomMsg::IsNetmail() const {
    return Base_ != nullptr && !Base_->NetmailTag.empty();
}

namespace {

// The trimmed rest of a kludge line whose text after the ^A starts with `name`.
bool KludgeValue(std::string_view line, std::string_view name, std::string& value) {
    if (line.size() < name.size() + 1 || !EqualsNoCase(line.substr(1, name.size()), name))
        return false;
    value = Trim(line.substr(1 + name.size()));
    return true;
}

} // namespace

std::string TCustomMsg::GetKludge(std::string_view name) const {
    std::string value;
    for (const std::string& line : Kludges)
        if (KludgeValue(line, name, value))
            return value;
    return {};
}

void TThreadKludgeScan::Add(std::string_view line) {
    if (!HaveMsgId)
        HaveMsgId = KludgeValue(line, "MSGID:", MsgId);
    if (!HaveReply)
        HaveReply = KludgeValue(line, "REPLY:", Reply);
}

void TCustomMsg::TakeThreadKludges() {
    TThreadKludgeScan scan;
    for (const std::string& line : Kludges) {
        scan.Add(line);
        if (scan.Complete())
            break;
    }
    MsgIdKludge = std::move(scan.MsgId);
    ReplyKludge = std::move(scan.Reply);
    ThreadKludgesRead = true;
}

void TCustomMsg::ResolveAddresses() {
    std::string replyTo = GetKludge("REPLYTO:");
    std::string intl = GetKludge("INTL");
    size_t blank = intl.find(' ');
    if (!replyTo.empty()) {
        FromAddr.Parse(FirstWord(replyTo));
    } else if (!intl.empty() && blank != std::string::npos) {
        // The INTL origin; tossers write single blanks, but extra ones are harmless here.
        FromAddr.Parse(FirstWord(std::string_view(intl).substr(blank + 1)));
        std::string fmpt = GetKludge("FMPT");
        if (!fmpt.empty())
            ParsePoint(fmpt, FromAddr.Point);
    } else if (std::string msgId = GetKludge("MSGID:"); !msgId.empty()) {
        FromAddr.Parse(FirstWord(msgId));
    } else {
        FromAddr.Clear();
    }

    std::string reply = GetKludge("REPLY:");
    if (!reply.empty()) {
        ToAddr.Parse(FirstWord(reply));
    } else {
        if (!intl.empty())
            ToAddr.Parse(FirstWord(intl));
        else if (Attr & atLoc)
            ToAddr.Zone = FromAddr.Zone;
        std::string topt = GetKludge("TOPT");
        if (!topt.empty())
            ParsePoint(FirstWord(topt), ToAddr.Point);
    }

    if (!FromAddr.IsValid())
        AddressFromOrigin();
}

void TCustomMsg::AddressFromOrigin() {
    for (const TBodyLine& line : Body) {
        if (!StartsWithNoCase(line.Text, OriginPrefix))
            continue;
        size_t open = line.Text.rfind('(');
        size_t close = line.Text.rfind(')');
        if (open != std::string::npos && close != std::string::npos && open < close)
            FromAddr.Parse(TrimView(std::string_view(line.Text).substr(open + 1, close - open - 1)));
        return;
    }
}

const TCodePagePair& TCustomMsg::CodePages() const {
    return Base_ ? Base_->CodePages : ActiveCodePages();
}

bool TCustomMsg::KeepSoftCR() const {
    return Base_ && Base_->DoNotIgnoreSoftCR;
}

bool TCustomMsg::Utf8Text() const {
    return Charset_ && Charset_->IsUtf8();
}

void TCustomMsg::NoteCharsetKludge(std::string_view line) {
    const TCodePagePair& pages = CodePages();
    if (pages.IsIdentity())
        return;
    const TCharset* named = TCharset::FromKludgeLine(line);
    if (named && !named->IsPage(pages.Oem()))
        Charset_ = named;
}

std::string TCustomMsg::DecodeStored(std::string_view stored) const {
    if (Charset_)
        return Charset_->ToDisplay(stored, *CodePages().Display());
    return CodePages().OemToDisplay(stored);
}

TTextCodec TCustomMsg::ReadCodec() const {
    return TTextCodec(CodePages(), Charset_, KeepSoftCR());
}

TTextCodec TCustomMsg::WriteCodec() const {
    const TCodePagePair& pages = CodePages();
    const TCharset* set = pages.IsIdentity() ? nullptr : TCharset::FromKludges(Kludges);
    if (set && set->IsPage(pages.Oem()))
        set = nullptr;
    return TTextCodec(pages, set, KeepSoftCR());
}

void TCustomMsg::FollowTextCharset(const TCharset* before) {
    if (Charset_ != before)
        RedecodeHeader();
}

void TCustomMsg::AddLine(std::string_view oemLine, bool& textStarted) {
    // SoftCR bytes are the format's scanner's business: JAM keeps them in its subfields.
    std::string line = DecodeStored(oemLine);
    if (!line.empty() && line.front() == Ctrl_A) {
        if (!textStarted && !Charset_)
            NoteCharsetKludge(line);
        (textStarted ? Tail : Kludges).push_back(std::move(line));
        return;
    }
    if (StartsWithNoCase(line, SeenBy))
        Tail.push_back(std::move(line));
    else
        Body.emplace_back(std::move(line));
    textStarted = true;
}

void TCustomMsg::ClearText() {
    Kludges.clear();
    Body.clear();
    Tail.clear();
    Charset_ = nullptr;
}

} // namespace tavro
