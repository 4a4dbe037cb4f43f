#pragma once

#include "DemoLetter.h"

#include "core/DateTime.h"

#include <random>
#include <string>
#include <vector>

namespace tavro {

struct TDemoArea;
struct TDemoEchoTexts;
struct TDemoTopic;

// The letters of one echo area: a thread per topic, replies answering earlier letters of
// their thread with greetings, quotes of one or more levels, answers drawn from the topic,
// kludges, tearline, origin, SEEN-BY and PATH. The same area gives the same letters on
// every run: the choices come from a generator seeded with the area's tag.
class TDemoEchoPlan {
public:
    // `day` is the demo's day, which the quote headers name; `version` is what the user's
    // letters carry as PID and tearline.
    TDemoEchoPlan(const TDemoArea& area, const TDemoEchoTexts& texts, TDateTime day, std::string version);

    // area.Count letters in the order written.
    std::vector<TDemoLetter> Letters();

private:
    struct TQuoteLine {
        std::string Initials;
        int Level;
        std::string Text;
    };
    // What later replies need of a letter.
    struct TNote {
        int Author;
        std::string MsgId;
        std::vector<std::string> Own; // its own paragraphs
        std::vector<TQuoteLine> Quotes;
    };

    int Random(int n);
    std::vector<int> ThreadSizes();
    void PlanThread(size_t topic, int size);
    int ChooseAuthor(int avoid);
    std::string ReplyName(int author);
    int NextAnswer(size_t topic);
    std::string NextMsgId(int author) const;

    void AddOpening(size_t topic, int author, int when);
    void AddReply(size_t topic, int parent, int author, int when);
    TDemoLetter Header(int author, int when, int parent, const std::string& msgId);
    std::vector<std::string> Greeting(int addressee);
    std::string QuoteHeader(int parent) const;
    std::vector<TQuoteLine> QuotesOf(int parent);
    void AddParagraph(std::vector<std::string>& body, const std::string& paragraph) const;
    void Finish(TDemoLetter& letter, int author);

    const TDemoArea& Area;
    const TDemoEchoTexts& Texts;
    TDateTime Day;
    std::string Version;
    std::mt19937 Rng;
    std::vector<TAddress> SeenBy;
    std::vector<TDemoLetter> Out;
    std::vector<TNote> Notes; // by position in Out
    std::vector<std::vector<int>> Decks;
};

} // namespace tavro
