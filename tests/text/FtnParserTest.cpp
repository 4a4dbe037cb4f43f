#include "text/FtnParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tavro;

namespace {

// Style codes written as digits ("0012"), so an expectation lines up under its line.
std::string Digits(const std::string& styles) {
    std::string digits;
    for (char code : styles)
        digits += static_cast<char>('0' + code);
    return digits;
}

struct TStylesCase {
    std::string Line;
    std::string Styles;
};

TEST(FtnParserTest, LineStylesFollowQuoteLevelsControlLinesAndLinks) {
    const TStylesCase cases[] = {
        {"", ""},
        {"plain text", "0000000000"},
        {" IP>> text", "3333333333"},
        {"IP> see 1:23/45.6 now", "222222221111111112222"},
        {">x", "22"},
        {"AB>>> x", "4444444"},
        {"AB>>>> x", "55555555"},
        {">>>>> x", "4444444"},
        {">>>>>> x", "55555555"},
        {">>>>>>> x", "444444444"},
        {">>>>>>>> x", "5555555555"},
        // Initials in the display code page (Windows-1251 capitals).
        {"\xC8\xCF> text", "22222222"},
        {"ABCDE> x", "00000000"},
        {"\x01MSGID: 2:5020/1 1234abcd", "6666666666666666666666666"},
        {"SEEN-BY: 5020/1 2", "66666666666666666"},
        {"seen-by: 5020/1", "666666666666666"},
        {"SEEN-BY:5020/1", "00000000000000"},
        {"--- ", "7777"},
        {"--- GoldED+ 1:23/45", "7777777777777777777"},
        {"---", "000"},
        {"---x", "0000"},
        {" * Origin: BBS (2:5020/1)", "7777777777777777777777777"},
        {" * ORIGIN: x", "777777777777"},
        {"mail ivan@example.org.", "0000011111111111111110"},
        {"(http://a.b/c).", "011111111111100"},
        {"node:2:5020/1", "0000011111111"},
    };
    for (const TStylesCase& c : cases)
        EXPECT_EQ(Digits(TFTNParser::GetLineStyles(c.Line)), c.Styles) << '"' << c.Line << '"';
}

TEST(FtnParserTest, UUDataLinesAreNotSearchedForLinks) {
    // "M" announces 45 bytes, 61 characters; every character is of the UU alphabet.
    std::string uu = "M";
    while (uu.size() < 70)
        uu += "1:23/45@A.B,";
    uu.resize(70);
    EXPECT_EQ(TFTNParser::GetLineStyles(uu), std::string(uu.size(), ceText));

    // Too short for what its first character announces: ordinary text after all.
    EXPECT_EQ(Digits(TFTNParser::GetLineStyles("1:23/45")), "1111111");
    // One character outside the alphabet (a blank) makes it text, too.
    std::string spaced = uu;
    spaced[20] = ' ';
    EXPECT_NE(TFTNParser::GetLineStyles(spaced).find(static_cast<char>(ceAddress)), std::string::npos);

    // The look applies to plain lines only: a quote of the same characters is searched.
    const std::string quoted = ">" + uu.substr(1, 49);
    ASSERT_EQ(TFTNParser::LineStyle(quoted), ceQuote1);
    EXPECT_EQ(TFTNParser::GetLineStyles(quoted).substr(0, 9), std::string("\2\1\1\1\1\1\1\1\1\1", 9));
}

struct TLinksCase {
    std::string Line;
    std::vector<std::pair<std::string, TLinkKind>> Links;
};

std::vector<std::pair<std::string, TLinkKind>> LinkTexts(const std::string& line) {
    std::vector<std::pair<std::string, TLinkKind>> found;
    for (const TLink& link : TFTNParser::FindLinks(line))
        found.emplace_back(line.substr(link.Start, link.Length), link.Kind);
    return found;
}

TEST(FtnParserTest, FindLinksMarksAddressesUrlsAndEMail) {
    const TLinksCase cases[] = {
        {"1:23/45,1:23/46", {{"1:23/45", lkAddress}, {"1:23/46", lkAddress}}},
        {"a1:23/45", {}},
        {"12:x1:23/45", {{"1:23/45", lkAddress}}},
        {"via 2:5020/1.7@fidonet now", {{"2:5020/1.7@fidonet", lkAddress}}},
        {"(1:23/45@)", {{"1:23/45@", lkAddress}}},
        {"1:23/45x@y.z", {{"1:23/45", lkAddress}}},
        {"1:23/45.x", {}},
        {"1:23/45.", {{"1:23/45", lkAddress}}},
        {"1:23 /45", {}},
        {"1:/45 2:", {}},
        {"see http://fido.example.org:8080/a b", {{"http://fido.example.org:8080/a", lkUrl}}},
        {"http://fido.example.org/ x", {{"http://fido.example.org/", lkUrl}}},
        {"HtTp://fido.example.org:80#top", {{"HtTp://fido.example.org:80#top", lkUrl}}},
        {"ftp://files.example.org/pub/a.zip then", {{"ftp://files.example.org/pub/a.zip", lkUrl}}},
        {"http://a.b/c/d/ e", {{"http://a.b/c/d/", lkUrl}}},
        {"http://a.b/\xEF\xF3\xF2\xFC", {{"http://a.b/\xEF\xF3\xF2\xFC", lkUrl}}},
        {"http://a.b:80", {{"http://a.b:80", lkUrl}}},
        {"ftp:/x", {}},
        {"http://:80 http:// fido.example.org", {}},
        {"http://a.b:x/c", {}},
        {"hello@mail.example.org", {{"hello@mail.example.org", lkEMail}}},
        {"ftpmaster@example.org", {{"ftpmaster@example.org", lkEMail}}},
        {"user@localhost here", {}},
        {"a.b.c@d.e here", {{"a.b.c@d.e", lkEMail}}},
        {"Write to ivan@example.org.", {{"ivan@example.org", lkEMail}}},
        {"ivan@example.org.x", {{"ivan@example.org.x", lkEMail}}},
        {"12345@example.org", {{"12345@example.org", lkEMail}}},
        {"first@a.org,second@b.org", {{"first@a.org", lkEMail}, {"second@b.org", lkEMail}}},
        {"fred@ @example.org", {}},
        {"fido.example.org", {}},
    };
    for (const TLinksCase& c : cases)
        EXPECT_EQ(LinkTexts(c.Line), c.Links) << '"' << c.Line << '"';
}

TEST(FtnParserTest, PunctuationEndingASentenceIsNotPartOfALink) {
    const std::pair<std::string, TLinkKind> links[] = {
        {"2:5020/1042", lkAddress},
        {"2:5020/1042.1", lkAddress},
        {"2:5020/1042.1@fidonet", lkAddress},
        {"http://fido.example.org", lkUrl},
        {"https://fido.example.org/a/b.zip", lkUrl},
        {"ftp://fido.example.org/pub/", lkUrl},
        {"ivan@example.org", lkEMail},
    };
    for (const auto& [link, kind] : links) {
        for (const char* punctuation : {".", ",", ";", ":", ")", "...", ").", ".)"}) {
            for (const char* after : {"", " then", "\tthen"}) {
                const std::string line = "see " + link + punctuation + after;
                EXPECT_EQ(LinkTexts(line), (std::vector<std::pair<std::string, TLinkKind>>{{link, kind}}))
                    << '"' << line << '"';
            }
        }
    }
}

TEST(FtnParserTest, PunctuationInsideALinkAndMatchedParenthesesStay) {
    const TLinksCase cases[] = {
        // Only punctuation before a blank or the end of the line closes a sentence.
        {"http://a.b/c.d e", {{"http://a.b/c.d", lkUrl}}},
        {"http://a.b/x,y:z.", {{"http://a.b/x,y:z", lkUrl}}},
        {"http://a.b/c.,x", {{"http://a.b/c.,x", lkUrl}}},
        {"see http://a.b/c, https://d.e/f.", {{"http://a.b/c", lkUrl}, {"https://d.e/f", lkUrl}}},
        {"2:5020/1042.1.", {{"2:5020/1042.1", lkAddress}}},
        {"2:5020/1042.x", {}},
        {"2:5020/1042.,2:5020/1043", {{"2:5020/1043", lkAddress}}},
        {"1:23/45@.", {{"1:23/45@", lkAddress}}},
        // A ")" closing a "(" of the link is kept, even at the end of a sentence.
        {"https://en.example.org/wiki/Fido_(BBS)", {{"https://en.example.org/wiki/Fido_(BBS)", lkUrl}}},
        {"(see https://en.example.org/wiki/Fido_(BBS)).",
         {{"https://en.example.org/wiki/Fido_(BBS)", lkUrl}}},
        {"http://a.b/x)(y).", {{"http://a.b/x)(y)", lkUrl}}},
        {"http://a.b/(x.)).", {{"http://a.b/(x.)", lkUrl}}},
        {"(http://a.b/c)", {{"http://a.b/c", lkUrl}}},
        {"http://a.b/c)x", {{"http://a.b/c)x", lkUrl}}},
        // What is left without the punctuation must still be a link.
        {"http://.", {}},
        {"http://...)", {}},
        {"http://a.b:", {{"http://a.b", lkUrl}}},
        {"http://a.b:x", {}},
        {"user@localhost.", {}},
        {"user@localhost.,", {}},
        {"user@localhost.,x", {{"user@localhost.", lkEMail}}},
        // "https" needs the "s" right before ":".
        {"HTTPS://fido.example.org", {{"HTTPS://fido.example.org", lkUrl}}},
        {"https:/x httpsx://a.b httpss://a.b", {}},
        {"https@example.org", {{"https@example.org", lkEMail}}},
    };
    for (const TLinksCase& c : cases)
        EXPECT_EQ(LinkTexts(c.Line), c.Links) << '"' << c.Line << '"';
}

TEST(FtnParserTest, LinkKindIsTheKindOfTheFirstLink) {
    const std::pair<std::string, TLinkKind> cases[] = {
        {"1:23/45@fidonet", lkAddress},
        {"HTTP://fido.example.org", lkUrl},
        {"https://fido.example.org.", lkUrl},
        {"user@localhost.", lkNone},
        {"ivan@fido.example.org", lkEMail},
        {"fido.example.org", lkNone},
        {"", lkNone},
        {"x@y.z and 1:2/3", lkEMail},
        {"1:2/3 and x@y.z", lkAddress},
    };
    for (const auto& [text, kind] : cases)
        EXPECT_EQ(TFTNParser::LinkKind(text), kind) << '"' << text << '"';
}

} // namespace
