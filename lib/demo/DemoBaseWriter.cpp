#include "DemoBaseWriter.h"

#include "bases/JamBase.h"
#include "core/Base.h"
#include "core/Endian.h"

#include <stdexcept>

namespace tavro {

namespace {

constexpr double MinutesPerDay = 24 * 60;

// The reply links of letters stored in order into a new base that numbers its messages from
// 1, as a new JAM base does: each letter's parent, its first answer and its next sibling.
struct TReplyLinks {
    std::vector<TMsgId> ReplyTo, FirstReply, NextReply;
};

TReplyLinks ReplyLinks(const std::vector<TDemoLetter>& letters) {
    TReplyLinks links;
    const size_t count = letters.size();
    links.ReplyTo.assign(count, 0);
    links.FirstReply.assign(count, 0);
    links.NextReply.assign(count, 0);
    std::vector<size_t> lastReply(count, count);
    for (size_t i = 0; i < count; ++i) {
        const int parent = letters[i].Parent;
        if (parent < 0)
            continue;
        const auto p = static_cast<size_t>(parent);
        const auto number = static_cast<TMsgId>(i + 1);
        links.ReplyTo[i] = static_cast<TMsgId>(p + 1);
        if (lastReply[p] == count)
            links.FirstReply[p] = number;
        else
            links.NextReply[lastReply[p]] = number;
        lastReply[p] = i;
    }
    return links;
}

// Only JAM's own writer keeps the links the message's header brings; the other formats
// store none, and their areas are threaded by the kludges.
void StoreLinks(TCustomMsg& msg, const TReplyLinks& links, size_t i) {
    auto* jam = dynamic_cast<TJamMsg*>(&msg);
    if (jam == nullptr)
        return;
    PutLE32(&jam->Header[jhReplyTo], links.ReplyTo[i]);
    PutLE32(&jam->Header[jhReply1st], links.FirstReply[i]);
    PutLE32(&jam->Header[jhReplyNext], links.NextReply[i]);
}

} // namespace

TDemoBaseWriter::TDemoBaseWriter(TCustomBase& base, TDateTime day) : Base(base), Day(day) {
    // The demo's bases are in CP866 whatever this run's code pages are.
    Base.CodePages = TCodePagePair::Default();
}

void TDemoBaseWriter::Write(const std::vector<TDemoLetter>& letters, bool linked) {
    if (!Base.CreateIfMissing())
        throw std::runtime_error("cannot create the message base " + Base.Path);
    Base.Rescan();
    if (Base.GetCount() != 0)
        throw std::runtime_error("the message base " + Base.Path + " is not empty");
    const TReplyLinks links = linked ? ReplyLinks(letters) : TReplyLinks();
    for (size_t i = 0; i < letters.size(); ++i) {
        std::unique_ptr<TCustomMsg> msg = Base.NewMsg();
        Fill(*msg, letters[i]);
        if (linked)
            StoreLinks(*msg, links, i);
        if (!Base.WriteMsg(msg.get()))
            throw std::runtime_error("cannot write to the message base " + Base.Path);
    }
    Base.Rescan();
    Check(letters.size(), linked);
}

void TDemoBaseWriter::Fill(TCustomMsg& msg, const TDemoLetter& letter) const {
    const TCodePage& page = *TCodePagePair::Default().Display();
    msg.FromName = page.FromUtf8(letter.FromName);
    msg.ToName = page.FromUtf8(letter.ToName);
    msg.Subject = page.FromUtf8(letter.Subject);
    msg.FromAddr = letter.FromAddr;
    msg.ToAddr = letter.ToAddr;
    msg.DateWritten = Day + letter.Written / MinutesPerDay;
    msg.DateArrived = Day + letter.Arrived / MinutesPerDay;
    msg.Attr = letter.Attr;
    for (const std::string& line : letter.Kludges)
        msg.Kludges.push_back(page.FromUtf8(line));
    for (const std::string& line : letter.Body)
        msg.Body.emplace_back(page.FromUtf8(line));
    for (const std::string& line : letter.Tail)
        msg.Tail.push_back(page.FromUtf8(line));
}

// The links name messages by number: they hold only where the base numbered the letters
// as expected.
void TDemoBaseWriter::Check(size_t count, bool linked) {
    if (static_cast<size_t>(Base.GetCount()) != count)
        throw std::runtime_error("the message base " + Base.Path + " does not hold what was written");
    for (size_t i = 0; linked && i < count; ++i)
        if (Base.GetMsgId(static_cast<int>(i)) != static_cast<TMsgId>(i + 1))
            throw std::runtime_error("the message base " + Base.Path + " numbered its messages unexpectedly");
}

void TDemoBaseWriter::MarkRead(const std::vector<TDemoLetter>& letters, int userId,
                               const std::string& userName) {
    Base.SetUser(userId, userName);
    TMsgId lastRead = 0;
    bool allReadSoFar = true;
    for (size_t i = 0; i < letters.size(); ++i) {
        const TMsgId id = Base.GetMsgId(static_cast<int>(i));
        Base.SetRead(id, letters[i].Read);
        allReadSoFar = allReadSoFar && letters[i].Read;
        if (allReadSoFar)
            lastRead = id;
    }
    Base.SetLastRead(lastRead);
    Base.Close();
    CheckReadMarks(letters, userId, lastRead);
}

// The base ignores errors in these files, as a reader may; a demo without them is not the
// demo, so they are read back.
void TDemoBaseWriter::CheckReadMarks(const std::vector<TDemoLetter>& letters, int userId, TMsgId lastRead) {
    Base.SetUserIndex(-1);
    Base.SetUserIndex(userId);
    bool same = Base.GetLastRead() == lastRead;
    for (size_t i = 0; same && i < letters.size(); ++i)
        same = Base.IsRead(Base.GetMsgId(static_cast<int>(i))) == letters[i].Read;
    if (!same)
        throw std::runtime_error("cannot save the read marks of the message base " + Base.Path);
}

} // namespace tavro
