#include "DemoEchoPlan.h"

#include "DemoConfig.h"
#include "DemoTexts.h"
#include "DemoTopics.h"

#include "core/Attributes.h"

#include <algorithm>
#include <cstdio>

namespace tavro {

namespace {

constexpr int MinutesPerDay = 24 * 60;
// The last letter is written half an hour before the demo's day begins.
constexpr int LastMinute = -30;
constexpr size_t TextWidth = 74;
constexpr size_t QuoteWidth = 64;
constexpr size_t QuotedLines = 3;
constexpr int DeepestQuote = 3;

uint32_t SeedOf(const char* tag) {
    uint32_t seed = 2166136261u;
    for (const char* c = tag; *c; ++c)
        seed = (seed ^ static_cast<unsigned char>(*c)) * 16777619u;
    return seed;
}

std::string Printf(const char* format, const std::string& value) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, format, value.c_str());
    return buffer;
}

std::string FirstWord(const char* name) {
    const std::string text(name);
    return text.substr(0, text.find(' '));
}

const TDemoPerson& Person(int index) {
    return DemoPeople()[size_t(index)];
}

} // namespace

TDemoEchoPlan::TDemoEchoPlan(const TDemoArea& area, const TDemoEchoTexts& texts, TDateTime day,
                             std::string version)
    : Area(area), Texts(texts), Day(day), Version(std::move(version)), Rng(SeedOf(area.Tag)) {
    for (int person : Texts.People) {
        TAddress address;
        address.Parse(Person(person).Address);
        SeenBy.push_back(address);
    }
}

int TDemoEchoPlan::Random(int n) {
    return n <= 0 ? 0 : static_cast<int>(Rng() % static_cast<uint32_t>(n));
}

std::vector<TDemoLetter> TDemoEchoPlan::Letters() {
    Out.clear();
    Notes.clear();
    Decks.assign(Texts.Topics.size(), {});
    const std::vector<int> sizes = ThreadSizes();
    for (size_t topic = 0; topic < sizes.size(); ++topic)
        PlanThread(topic, sizes[topic]);
    std::vector<TDemoLetter> letters = std::move(Out);
    SortLetters(letters);
    return letters;
}

// Count split over the topics, unevenly as conversations go, every thread at least two.
std::vector<int> TDemoEchoPlan::ThreadSizes() {
    const int topics = static_cast<int>(Texts.Topics.size());
    std::vector<int> sizes(size_t(topics), Area.Count / topics);
    for (int k = 0; k < Area.Count % topics; ++k)
        ++sizes[size_t(k)];
    for (int k = 0; k < topics; ++k) {
        const int moved = std::max(std::min(Random(sizes[size_t(k)] / 2 + 1), sizes[size_t(k)] - 2), 0);
        sizes[size_t(k)] -= moved;
        sizes[size_t((k + 1) % topics)] += moved;
    }
    return sizes;
}

// Threads start spread over the first two thirds of the span and most run on into its last
// weeks; replies answer the newest letter more often than an earlier one.
void TDemoEchoPlan::PlanThread(size_t topic, int size) {
    const int span = Area.SpanDays * MinutesPerDay;
    const int topics = static_cast<int>(Texts.Topics.size());
    const int start = -span + static_cast<int>(topic) * (span * 2 / 3) / topics + Random(600);
    const int end = start + (LastMinute - start) * (75 + Random(26)) / 100;
    const int first = static_cast<int>(Out.size());
    const int starter = Texts.Topics[topic].Starter;
    AddOpening(topic, starter >= 0 ? starter : ChooseAuthor(DemoUser), start);
    int last = start;
    for (int k = 1; k < size; ++k) {
        const int slot = std::max((end - last) / (size - k + 1), 2);
        const int when = last + 1 + slot / 2 + Random(slot);
        const int parent = Random(100) < 55 ? static_cast<int>(Out.size()) - 1 : first + Random(k);
        AddReply(topic, parent, ChooseAuthor(Notes[size_t(parent)].Author), when);
        last = when;
    }
}

int TDemoEchoPlan::ChooseAuthor(int avoid) {
    const bool userTakesPart =
        std::find(Texts.People.begin(), Texts.People.end(), DemoUser) != Texts.People.end();
    if (userTakesPart && avoid != DemoUser && Random(100) < Area.UserShare)
        return DemoUser;
    for (;;) {
        const int person = Texts.People[size_t(Random(static_cast<int>(Texts.People.size())))];
        if (person != avoid && person != DemoUser)
            return person;
    }
}

// Letters to the user come under each of the user's names now and then.
std::string TDemoEchoPlan::ReplyName(int author) {
    if (author != DemoUser)
        return Person(author).Name;
    switch (Random(6)) {
    case 0:
        return DemoHighlightNames().front();
    case 1:
        return DemoRealName();
    default:
        return Person(author).Name;
    }
}

// The topic's answers in a shuffled order, shuffled again once all were used, so that a
// long thread repeats itself as little as it can.
int TDemoEchoPlan::NextAnswer(size_t topic) {
    std::vector<int>& deck = Decks[topic];
    if (deck.empty()) {
        const int count = static_cast<int>(Texts.Topics[topic].Answers.size());
        for (int k = 0; k < count; ++k)
            deck.insert(deck.begin() + Random(k + 1), k);
    }
    const int answer = deck.back();
    deck.pop_back();
    return answer;
}

void TDemoEchoPlan::AddOpening(size_t topic, int author, int when) {
    const TDemoTopic& texts = Texts.Topics[topic];
    TNote note{author, NextMsgId(author), {}, {}};
    TDemoLetter letter = Header(author, when, -1, note.MsgId);
    letter.ToName = "All";
    letter.Subject = texts.Subject;
    const TDemoPhrases& phrases = DemoPhrases();
    letter.Body = {phrases.GreetAll[size_t(Random(static_cast<int>(phrases.GreetAll.size())))]};
    for (const char* paragraph : texts.Opening) {
        AddParagraph(letter.Body, paragraph);
        note.Own.push_back(paragraph);
    }
    Finish(letter, author);
    Out.push_back(std::move(letter));
    Notes.push_back(std::move(note));
}

void TDemoEchoPlan::AddReply(size_t topic, int parent, int author, int when) {
    const TDemoPhrases& phrases = DemoPhrases();
    const int addressee = Notes[size_t(parent)].Author;
    TNote note{author, NextMsgId(author), {}, QuotesOf(parent)};
    TDemoLetter letter = Header(author, when, parent, note.MsgId);
    letter.ToName = ReplyName(addressee);
    letter.Subject = std::string("Re: ") + Texts.Topics[topic].Subject;
    letter.Body = Greeting(addressee);
    letter.Body.emplace_back();
    if (Random(2) == 0) {
        letter.Body.push_back(QuoteHeader(parent));
        letter.Body.emplace_back();
    }
    for (const TQuoteLine& quote : note.Quotes)
        letter.Body.push_back(QuotePrefix(quote.Initials, quote.Level) + quote.Text);

    std::string answer = Texts.Topics[topic].Answers[size_t(NextAnswer(topic))];
    if (Random(2) == 0)
        answer =
            phrases.Reactions[size_t(Random(static_cast<int>(phrases.Reactions.size())))] + (" " + answer);
    note.Own.push_back(answer);
    if (Random(10) < 3)
        note.Own.push_back(Texts.Topics[topic].Answers[size_t(NextAnswer(topic))]);
    for (const std::string& paragraph : note.Own)
        AddParagraph(letter.Body, paragraph);
    if (Random(4) == 0)
        AddParagraph(letter.Body,
                     phrases.Closings[size_t(Random(static_cast<int>(phrases.Closings.size())))]);
    Finish(letter, author);
    Out.push_back(std::move(letter));
    Notes.push_back(std::move(note));
}

std::string TDemoEchoPlan::NextMsgId(int author) const {
    TAddress address;
    address.Parse(Person(author).Address);
    return MsgIdValue(address, std::string(Area.Tag) + "/" + std::to_string(Out.size()));
}

TDemoLetter TDemoEchoPlan::Header(int author, int when, int parent, const std::string& msgId) {
    const TDemoPerson& writer = Person(author);
    TDemoLetter letter;
    letter.FromName = writer.Name;
    letter.FromAddr.Parse(writer.Address);
    letter.Written = when;
    letter.Parent = parent;
    const bool own = author == DemoUser;
    letter.Arrived = own ? when : std::min(when + 5 + Random(240), -1);
    letter.Attr = own ? atLoc | atSnt : 0;
    letter.Read = own || when < -Area.UnreadDays * MinutesPerDay;

    letter.Kludges.push_back(KludgeLine("MSGID", msgId));
    if (parent >= 0)
        letter.Kludges.push_back(KludgeLine("REPLY", Notes[size_t(parent)].MsgId));
    // Others' editors add the time zone; ours writes what the composer writes.
    if (own) {
        letter.Kludges.push_back(KludgeLine("CHRS", "CP866 2"));
        letter.Kludges.push_back(KludgeLine("PID", Version));
    } else {
        letter.Kludges.push_back(KludgeLine("PID", writer.Editor));
        letter.Kludges.push_back(KludgeLine("CHRS", writer.Chrs));
        letter.Kludges.push_back(KludgeLine("TZUTC", writer.TzUtc));
    }
    return letter;
}

// Latin names are greeted in Latin now and then, as many do.
std::vector<std::string> TDemoEchoPlan::Greeting(int addressee) {
    const TDemoPhrases& phrases = DemoPhrases();
    const TDemoPerson& person = Person(addressee);
    const bool latin = static_cast<unsigned char>(person.Name[0]) < 0x80;
    if (latin && Random(4) == 0)
        return {Printf(phrases.GreetLatin[size_t(Random(static_cast<int>(phrases.GreetLatin.size())))],
                       FirstWord(person.Name))};
    return {Printf(phrases.GreetOne[size_t(Random(static_cast<int>(phrases.GreetOne.size())))],
                   person.ShortName)};
}

// "05 Mar 25 14:02, Pavel Lebedev -> All:"
std::string TDemoEchoPlan::QuoteHeader(int parent) const {
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const TDemoLetter& letter = Out[size_t(parent)];
    const TDateTimeParts t = DecodeDateTime(Day + letter.Written / double(MinutesPerDay));
    char date[32];
    std::snprintf(date, sizeof date, "%02d %s %02d %02d:%02d", t.Day, months[t.Month - 1], t.Year % 100,
                  t.Hour, t.Minute);
    return std::string(date) + ", " + letter.FromName + " -> " + letter.ToName + ":";
}

// Sometimes a line the parent quoted, one level deeper, then the start of one of the
// parent's own paragraphs.
std::vector<TDemoEchoPlan::TQuoteLine> TDemoEchoPlan::QuotesOf(int parent) {
    const TNote& note = Notes[size_t(parent)];
    std::vector<TQuoteLine> quotes;
    if (!note.Quotes.empty() && Random(5) < 2) {
        for (size_t k = 0; k < note.Quotes.size() && quotes.size() < 2; ++k)
            if (note.Quotes[k].Level < DeepestQuote)
                quotes.push_back({note.Quotes[k].Initials, note.Quotes[k].Level + 1, note.Quotes[k].Text});
    }
    const std::string initials = NameInitials(Out[size_t(parent)].FromName);
    const std::string& paragraph = note.Own[size_t(Random(static_cast<int>(note.Own.size())))];
    std::vector<std::string> lines = WrapText(paragraph, QuoteWidth);
    lines.resize(std::min(lines.size(), QuotedLines));
    for (std::string& line : lines)
        quotes.push_back({initials, 1, std::move(line)});
    return quotes;
}

void TDemoEchoPlan::AddParagraph(std::vector<std::string>& body, const std::string& paragraph) const {
    body.emplace_back();
    for (std::string& line : WrapText(paragraph, TextWidth))
        body.push_back(std::move(line));
}

void TDemoEchoPlan::Finish(TDemoLetter& letter, int author) {
    const TDemoPhrases& phrases = DemoPhrases();
    letter.Body.emplace_back();
    letter.Body.push_back(
        Printf(phrases.Signatures[size_t(Random(static_cast<int>(phrases.Signatures.size())))],
               Person(author).ShortName));
    letter.Body.emplace_back();
    for (std::string& line : LetterEnd(Person(author), Version))
        letter.Body.push_back(std::move(line));
    // The user's own letters are as the composer stored them, before any tosser saw them.
    if (author != DemoUser)
        letter.Tail = EchoTail(letter.FromAddr, SeenBy);
}

} // namespace tavro
