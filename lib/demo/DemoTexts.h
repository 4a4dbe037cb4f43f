#pragma once

#include <string>
#include <vector>

namespace tavro {

// The demo's own texts, in UTF-8: the people who write, the phrases replies are made of and
// the letters that are written out whole. The builder converts them to the code pages.

// Someone who writes in the demo's areas.
struct TDemoPerson {
    const char* Name;             // as the From field holds it
    const char* Address;          // "2:5020/52"
    const char* ShortName;        // what friends call them in a Russian greeting
    const char* Origin;           // the origin line's text before the address
    const char* Editor;           // PID and tearline; empty: the program's own version text
    const char* TzUtc;            // the TZUTC kludge's value
    const char* Chrs = "CP866 2"; // the set their editor stores letters in, as CHRS names it
};

// Everyone, the demo's user first.
const std::vector<TDemoPerson>& DemoPeople();
constexpr int DemoUser = 0;
// The node whose point the user is; the echomail comes through it from the hub.
constexpr int DemoBoss = 1;
constexpr int DemoHub = 2;
// The boss's other new point, who asked in the echo how to become one.
constexpr int DemoNewcomer = 6;
// The robot that answers subscription requests at the boss node.
constexpr int DemoAreaFix = 12;

// Further names the user's letters come to, and the user's real name.
const std::vector<std::string>& DemoHighlightNames();
const char* DemoRealName();
// The user's origin lines, the first one in use.
const std::vector<std::string>& DemoOrigins();

// The pieces a reply is put together from; "%s" stands for a name.
struct TDemoPhrases {
    std::vector<const char*> GreetAll;   // "Привет всем!"
    std::vector<const char*> GreetOne;   // "Привет, %s!" with the short name
    std::vector<const char*> GreetLatin; // "Hello %s!" with the first name as written
    std::vector<const char*> Reactions;  // a short sentence before the answer
    std::vector<const char*> Closings;   // a short paragraph after it
    std::vector<const char*> Signatures; // "Пока, %s." with the writer's short name
};
const TDemoPhrases& DemoPhrases();

// How a fixed letter reached the user's base.
enum class TDemoLetterState { Received, Sent, Unsent };

// A letter written out whole: netmail and bad mail.
struct TDemoFixedText {
    int From;           // DemoPeople()
    int To;             // DemoPeople(); -1 for "All"
    const char* ToName; // null: the name of To
    const char* Subject;
    int DaysAgo; // before the demo's day
    int Minute;  // of that day
    int ReplyTo; // the letter answered, an index of the same list; -1 for none
    TDemoLetterState State;
    bool Read;
    std::vector<const char*> Lines; // the text as written, quotes included; no tearline
};

const std::vector<TDemoFixedText>& DemoNetmailTexts();
// Echomail the tosser could not place; the first line names the area.
const std::vector<TDemoFixedText>& DemoBadmailTexts();

} // namespace tavro
