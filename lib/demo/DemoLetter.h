#pragma once

#include "core/Address.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavro {

struct TDemoPerson;

// A letter of the demo as planned, its texts in UTF-8; the base writer turns it into a
// message. Times are minutes from the start of the demo's day (negative: before it), so
// that what is written does not depend on the day it is written.
struct TDemoLetter {
    std::string FromName, ToName, Subject;
    TAddress FromAddr, ToAddr;
    int Written = 0;
    int Arrived = 0;
    uint32_t Attr = 0;
    int Parent = -1; // the letter it answers, in the same list
    std::vector<std::string> Kludges, Body, Tail;
    bool Read = false;
};

// Orders the letters by the time written, as a tosser stores them, keeping each Parent
// pointing at the same letter.
void SortLetters(std::vector<TDemoLetter>& letters);

// The words of `text` in lines of at most `width` characters (a longer word gets a line of
// its own).
std::vector<std::string> WrapText(std::string_view text, size_t width);
// The first letters of the first two words of a name, as quotes show them: "PL".
std::string NameInitials(std::string_view name);
// " PL> ", " PL>> " and so on.
std::string QuotePrefix(std::string_view initials, int level);

// A kludge line: ^A, the name and the value ("MSGID: 2:5020/52 0badf00d"); `separator` is
// ": " for most kludges and " " for INTL, FMPT and TOPT.
std::string KludgeLine(std::string_view name, std::string_view value, std::string_view separator = ": ");

// A MSGID value: the address with its point and eight hex digits made from `key`.
std::string MsgIdValue(const TAddress& address, std::string_view key);
// Addresses as SEEN-BY and PATH list them: "5020/52 1234 5030/118".
std::string NetNodeList(const std::vector<TAddress>& nodes);
// The node a point's mail goes through: the address without its point.
TAddress NodeOf(const TAddress& address);

// The SEEN-BY and PATH lines of echomail from `from` as the boss node's tosser stores it:
// seen by `nodes`, the hub and the boss; the path runs through the hub to the boss.
std::vector<std::string> EchoTail(const TAddress& from, std::vector<TAddress> nodes);

// The lines every letter ends with: the tearline, and the origin line unless the origin is
// empty.
std::vector<std::string> LetterEnd(const TDemoPerson& writer, std::string_view version);

} // namespace tavro
