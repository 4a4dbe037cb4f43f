#include "compose/MsgSplit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <random>

using namespace tavro;

namespace {

using TTexts = std::vector<std::string>;

TBodyLines Body(const TTexts& texts) {
    TBodyLines lines;
    for (const std::string& text : texts)
        lines.emplace_back(text);
    return lines;
}

TTexts Texts(const TBodyLines& lines) {
    TTexts texts;
    for (const TBodyLine& line : lines)
        texts.push_back(line.Text);
    return texts;
}

std::string Head(int number) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, PartHeadMarker, number);
    return buffer;
}

// The text lines of a part: those between its head marker and its closing marker.
TTexts PartText(const TBodyLines& part, int number) {
    TTexts texts = Texts(part);
    auto head = std::find(texts.begin(), texts.end(), Head(number));
    auto tail = std::find_if(head, texts.end(), [](const std::string& t) {
        return t == PartContinuedMarker || t == PartEndMarker;
    });
    if (head == texts.end() || tail == texts.end())
        return {"<markers missing>"};
    return TTexts(head + 1, tail);
}

std::vector<TTexts> PartTexts(const std::vector<TBodyLines>& parts) {
    std::vector<TTexts> texts;
    for (size_t i = 0; i < parts.size(); ++i)
        texts.push_back(PartText(parts[i], static_cast<int>(i) + 1));
    return texts;
}

// `count` lines of `length` characters, each telling its number.
TTexts Lines(int count, size_t length, char fill = 'a') {
    TTexts texts;
    for (int i = 0; i < count; ++i) {
        std::string text = std::to_string(i) + ":";
        text.resize(length, fill);
        texts.push_back(text);
    }
    return texts;
}

TTexts Join(std::initializer_list<TTexts> lists) {
    TTexts all;
    for (const TTexts& list : lists)
        all.insert(all.end(), list.begin(), list.end());
    return all;
}

} // namespace

TEST(MsgSplit, BodyUpToTheLimitIsWrittenWhole) {
    // 126 lines of 126 characters and their line ends: 16,128 = 16 KB - 256.
    TTexts texts = Lines(126, 126);
    EXPECT_TRUE(SplitBody(Body(texts), 16).empty());

    texts.back() += "x";
    const std::vector<TBodyLines> parts = SplitBody(Body(texts), 16);
    ASSERT_EQ(parts.size(), 2u);
    // A part holds 16 KB - 768 = 15,616 characters: exactly 122 lines.
    EXPECT_EQ(Texts(parts[0]),
              Join({{Head(1)}, TTexts(texts.begin(), texts.begin() + 122), {PartContinuedMarker, ""}}));
    EXPECT_EQ(Texts(parts[1]),
              Join({{Head(2)}, TTexts(texts.begin() + 122, texts.end()), {PartEndMarker, ""}}));
}

TEST(MsgSplit, EveryPartIsCompleteWithAddressBlockTearlineAndOrigin) {
    const TTexts text = Lines(200, 126);
    const TTexts ending = {"--- Tavro 1.0", " * Origin: Somewhere (2:5020/1)"};
    const TTexts addressBlocks[] = {
        {"to: john@example.com", ""},
        {"TO:john@example.com", "Via: gate", ""},
    };
    for (const TTexts& address : addressBlocks) {
        SCOPED_TRACE(address.front());
        const std::vector<TBodyLines> parts =
            SplitBody(Body(Join({address, text, ending, {"after the origin"}})), 16);
        ASSERT_EQ(parts.size(), 2u);
        // The address block's 24 or 34 characters leave room for 121 lines of 128, not 122.
        EXPECT_EQ(Texts(parts[0]), Join({address,
                                         {Head(1)},
                                         TTexts(text.begin(), text.begin() + 121),
                                         {PartContinuedMarker, ""},
                                         ending}));
        EXPECT_EQ(
            Texts(parts[1]),
            Join({address, {Head(2)}, TTexts(text.begin() + 121, text.end()), {PartEndMarker, ""}, ending}));
    }
}

TEST(MsgSplit, OnlyTheLastTearlineIsKeptAndTheFirstOriginEndsTheText) {
    const TTexts body =
        Join({Lines(100, 126, 'b'),
              {"--- first tearline", "---no blank, so text", "--- Last Tearline"},
              Lines(50, 126, 'c'),
              {" * ORIGIN: first (2:5020/1)", " * Origin: second (2:5020/2)", "--- too late"}});
    const std::vector<TBodyLines> parts = SplitBody(Body(body), 16);
    ASSERT_EQ(parts.size(), 2u);
    TTexts text;
    for (size_t i = 0; i < parts.size(); ++i) {
        const TTexts lines = Texts(parts[i]);
        const TTexts ending(lines.end() - 3, lines.end());
        EXPECT_EQ(ending, TTexts({"", "--- Last Tearline", " * ORIGIN: first (2:5020/1)"}));
        const TTexts partText = PartText(parts[i], static_cast<int>(i) + 1);
        text.insert(text.end(), partText.begin(), partText.end());
    }
    EXPECT_EQ(text, Join({Lines(100, 126, 'b'), {"---no blank, so text"}, Lines(50, 126, 'c')}));
}

TEST(MsgSplit, OverlongLineIsCutIntoPartsOfTheCapacity) {
    std::string longLine;
    for (int i = 0; i < 40000; ++i)
        longLine += static_cast<char>('0' + i % 10);
    const std::vector<TBodyLines> parts = SplitBody(Body({"before", longLine, "after"}), 16);
    // 15,616 characters a part: the short line alone, two full pieces, the rest with "after".
    const std::vector<TTexts> expected = {
        {"before"},
        {longLine.substr(0, 15616)},
        {longLine.substr(15616, 15616)},
        {longLine.substr(31232), "after"},
    };
    EXPECT_EQ(PartTexts(parts), expected);
}

TEST(MsgSplit, ParagraphStartIsNotLeftAloneAtThePartEnd) {
    // With 1 KB a part holds 256 characters; lines of 48 take 50 of them.
    const std::string line48(48, 'p');
    const std::string line60(60, 'q');
    const std::string line198(198, 'r');
    const std::string line254(254, 's');
    const std::string pad(800, 'z'); // cut into pieces of 256, so nothing else moves
    struct Case {
        const char* name;
        TTexts body;
        std::vector<TTexts> parts;
    };
    const Case cases[] = {
        {"first line of a paragraph moves on",
         {line48, line48, line48, line48, "", "B1", line198, pad},
         {{line48, line48, line48, line48, ""},
          {"B1", line198},
          {pad.substr(0, 256)},
          {pad.substr(256, 256)},
          {pad.substr(512, 256)},
          {pad.substr(768)}}},
        {"a line of blanks counts as blank",
         {line48, line48, line48, line48, "   ", "B1", line198, pad},
         {{line48, line48, line48, line48, "   "},
          {"B1", line198},
          {pad.substr(0, 256)},
          {pad.substr(256, 256)},
          {pad.substr(512, 256)},
          {pad.substr(768)}}},
        {"a part ending in a blank line stays",
         {line48, line48, line48, line48, "", "", line60, pad},
         {{line48, line48, line48, line48, "", ""},
          {line60},
          {pad.substr(0, 256)},
          {pad.substr(256, 256)},
          {pad.substr(512, 256)},
          {pad.substr(768)}}},
        {"a part of two lines stays",
         {line254, "", line198, line60, pad},
         {{line254},
          {"", line198},
          {line60},
          {pad.substr(0, 256)},
          {pad.substr(256, 256)},
          {pad.substr(512, 256)},
          {pad.substr(768)}}},
        {"the last part stays",
         {pad, line48, "", "B1"},
         {{pad.substr(0, 256)},
          {pad.substr(256, 256)},
          {pad.substr(512, 256)},
          {pad.substr(768), line48, "", "B1"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(PartTexts(SplitBody(Body(c.body), 1)), c.parts);
    }
}

TEST(MsgSplit, BodyWithNothingToSpreadIsWrittenWhole) {
    const TTexts dropped = Lines(200, 126);
    struct Case {
        const char* name;
        TTexts body;
    };
    const Case cases[] = {
        {"only tearline and origin", Join({{"--- Tavro", " * Origin: x (2:5020/1)"}, dropped})},
        {"address block without an empty line", Join({{"To: a@b.c"}, dropped})},
        {"address block and tearline",
         Join({{"To: a@b.c", ""}, {"--- a", "--- b"}, {" * Origin: x (2:5020/1)"}, dropped})},
        // Parts repeating more than they hold would multiply the body.
        {"address block longer than a part holds", Join({{"To: a@b.c"}, Lines(130, 126), {""}, dropped})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(SplitBody(Body(c.body), 16).empty());
    }
}

TEST(MsgSplit, SizeBelowOneKilobyteCountsAsOne) {
    const TBodyLines body = Body({std::string(1000, 'x'), "y"});
    const std::vector<TBodyLines> atOne = SplitBody(body, 1);
    ASSERT_EQ(atOne.size(), 4u);
    for (int size : {0, -1, INT_MIN})
        EXPECT_EQ(SplitBody(body, size), atOne) << size;
    EXPECT_TRUE(SplitBody(body, INT_MAX).empty());
}

TEST(MsgSplit, RandomBodiesLoseNoTextAndKeepPartsWithinTheirSize) {
    std::mt19937 random(20240105);
    int splitRounds = 0;
    for (int round = 0; round < 300; ++round) {
        const int sizeKb = 1 + static_cast<int>(random() % 3);
        TTexts texts;
        if (random() % 3 == 0)
            texts = {"To: x@y.z", ""};
        const int count = 5 + static_cast<int>(random() % 120);
        for (int i = 0; i < count; ++i) {
            const size_t length = random() % 4 == 0 ? 0 : random() % (random() % 8 == 0 ? 3000 : 100);
            texts.push_back(std::string(length, static_cast<char>('a' + random() % 26)));
        }
        SCOPED_TRACE(round);
        const std::vector<TBodyLines> parts = SplitBody(Body(texts), sizeKb);
        if (parts.empty())
            continue;
        ++splitRounds;
        const size_t address = texts.front() == "To: x@y.z" ? 2 : 0;
        const int64_t capacity = sizeKb * 1024 - (address ? 13 : 0) - 768;
        std::string original;
        for (size_t i = address; i < texts.size(); ++i)
            original += texts[i];
        std::string spread;
        for (size_t i = 0; i < parts.size(); ++i) {
            const TTexts text = PartText(parts[i], static_cast<int>(i) + 1);
            ASSERT_FALSE(text.empty());
            int64_t length = 0;
            for (const std::string& line : text) {
                length += static_cast<int64_t>(line.size()) + 2;
                spread += line;
            }
            // A piece cut from a long line may take the room of its line end too.
            EXPECT_LE(length, text.size() == 1 ? capacity + 2 : capacity);
        }
        EXPECT_EQ(spread, original);
    }
    EXPECT_GT(splitRounds, 100);
}
