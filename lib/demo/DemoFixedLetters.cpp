#include "DemoFixedLetters.h"

#include "DemoTexts.h"

#include "core/Attributes.h"

namespace tavro {

namespace {

constexpr int MinutesPerDay = 24 * 60;
// Mail from elsewhere reaches the point a little after it was written.
constexpr int TransferMinutes = 12;

const TDemoPerson& Person(int index) {
    return DemoPeople()[size_t(index)];
}

uint32_t NetmailAttr(TDemoLetterState state, bool read) {
    switch (state) {
    case TDemoLetterState::Received:
        return read ? atPvt | atRcv : uint32_t(atPvt);
    case TDemoLetterState::Sent:
        return atPvt | atLoc | atSnt;
    case TDemoLetterState::Unsent:
        break;
    }
    return atPvt | atLoc;
}

// INTL, FMPT and TOPT: a *.MSG header keeps neither zones nor points.
void AddRoutingKludges(TDemoLetter& letter) {
    letter.Kludges.push_back(
        KludgeLine("INTL", letter.ToAddr.ToStr3D() + " " + letter.FromAddr.ToStr3D(), " "));
    if (letter.FromAddr.Point != 0)
        letter.Kludges.push_back(KludgeLine("FMPT", std::to_string(letter.FromAddr.Point), " "));
    if (letter.ToAddr.Point != 0)
        letter.Kludges.push_back(KludgeLine("TOPT", std::to_string(letter.ToAddr.Point), " "));
}

// The user's editor writes what the composer writes; others add their time zone.
void AddTextKludges(TDemoLetter& letter, int author, const std::string& version) {
    if (author == DemoUser) {
        letter.Kludges.push_back(KludgeLine("CHRS", "CP866 2"));
        letter.Kludges.push_back(KludgeLine("PID", version));
        return;
    }
    letter.Kludges.push_back(KludgeLine("PID", Person(author).Editor));
    letter.Kludges.push_back(KludgeLine("CHRS", "CP866 2"));
    letter.Kludges.push_back(KludgeLine("TZUTC", Person(author).TzUtc));
}

std::string MsgIdOf(const TDemoFixedText& text, const std::string& key) {
    TAddress from;
    from.Parse(Person(text.From).Address);
    return MsgIdValue(from, key);
}

// `replyId` is the MSGID of the letter answered; empty for none.
TDemoLetter FixedLetter(const TDemoFixedText& text, const std::string& msgId, const std::string& replyId) {
    const TDemoPerson& from = Person(text.From);
    TDemoLetter letter;
    letter.FromName = from.Name;
    letter.FromAddr.Parse(from.Address);
    letter.ToName = text.ToName ? text.ToName : text.To >= 0 ? Person(text.To).Name : "All";
    if (text.To >= 0)
        letter.ToAddr.Parse(Person(text.To).Address);
    letter.Subject = text.Subject;
    letter.Written = -text.DaysAgo * MinutesPerDay + text.Minute;
    letter.Arrived = text.State == TDemoLetterState::Received ? std::min(letter.Written + TransferMinutes, -1)
                                                              : letter.Written;
    letter.Parent = text.ReplyTo;
    letter.Read = text.Read;
    letter.Kludges.push_back(KludgeLine("MSGID", msgId));
    if (!replyId.empty())
        letter.Kludges.push_back(KludgeLine("REPLY", replyId));
    letter.Body.assign(text.Lines.begin(), text.Lines.end());
    letter.Body.emplace_back();
    return letter;
}

} // namespace

std::vector<TDemoLetter> DemoNetmailLetters(const std::string& version) {
    std::vector<TDemoLetter> letters;
    std::vector<std::string> msgIds;
    for (const TDemoFixedText& text : DemoNetmailTexts()) {
        msgIds.push_back(MsgIdOf(text, "NETMAIL/" + std::to_string(letters.size())));
        const std::string replyId = text.ReplyTo >= 0 ? msgIds[size_t(text.ReplyTo)] : std::string();
        TDemoLetter letter = FixedLetter(text, msgIds.back(), replyId);
        std::vector<std::string> kludges = std::move(letter.Kludges);
        letter.Kludges.clear();
        AddRoutingKludges(letter);
        letter.Kludges.insert(letter.Kludges.end(), kludges.begin(), kludges.end());
        AddTextKludges(letter, text.From, version);
        letter.Attr = NetmailAttr(text.State, text.Read);
        // Netmail carries no origin line.
        letter.Body.push_back(LetterEnd(Person(text.From), version).front());
        letters.push_back(std::move(letter));
    }
    SortLetters(letters);
    return letters;
}

std::vector<TDemoLetter> DemoBadmailLetters(const std::string& version) {
    std::vector<TDemoLetter> letters;
    for (const TDemoFixedText& text : DemoBadmailTexts()) {
        TDemoLetter letter =
            FixedLetter(text, MsgIdOf(text, "BADMAIL/" + std::to_string(letters.size())), {});
        AddTextKludges(letter, text.From, version);
        for (std::string& line : LetterEnd(Person(text.From), version))
            letter.Body.push_back(std::move(line));
        letter.Tail = EchoTail(letter.FromAddr, {letter.FromAddr});
        letters.push_back(std::move(letter));
    }
    SortLetters(letters);
    return letters;
}

} // namespace tavro
