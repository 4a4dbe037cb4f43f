// What the reader's text view shows of a message and what its links open.
#include "reader/MsgText.h"

#include <gtest/gtest.h>

using namespace tavro;

TEST(MsgTextTest, KludgesFirstAndTheTailLastUnwrapped) {
    TCustomMsg msg(nullptr);
    const std::string longWord(100, 'k');
    msg.Kludges = {"\x01MSGID: 2:5020/1 12345678 " + longWord};
    // 120 characters: the break comes at the last blank at or before column 79.
    std::string line;
    for (int i = 0; line.size() < 120; ++i)
        line += "word" + std::to_string(i % 10) + " ";
    line.resize(120);
    msg.Body = {{line}, {" IP> quoted"}};
    msg.Tail = {"SEEN-BY: 5020/1 " + longWord, "\x01PATH: 5020/1"};

    const TStringList hidden = ViewerLines(msg, false, ViewerWidth);
    ASSERT_EQ(hidden.size(), 3u);
    EXPECT_LE(hidden[0].size(), 79u);
    EXPECT_GT(hidden[0].size(), 72u);
    // Broken at a blank, which goes.
    EXPECT_EQ(hidden[0] + " " + hidden[1] + " ", line);
    EXPECT_EQ(hidden[2], " IP> quoted");

    const TStringList shown = ViewerLines(msg, true, ViewerWidth);
    ASSERT_EQ(shown.size(), 6u);
    EXPECT_EQ(shown.front(), msg.Kludges.front());
    EXPECT_EQ(TStringList(shown.begin() + 1, shown.begin() + 4), hidden);
    EXPECT_EQ(TStringList(shown.end() - 2, shown.end()), msg.Tail);
}

TEST(MsgTextTest, WhatLinksOpen) {
    const std::pair<const char*, const char*> urls[] = {
        {"www.example.org/a\n/b", "http://www.example.org/a/b"}, // over two lines
        {" https://x.org ", "https://x.org"},
        {" \t\r\n", ""},
    };
    for (const auto& [selected, url] : urls)
        EXPECT_EQ(UrlFromSelection(selected), url) << selected;

    EXPECT_EQ(DesktopLinkTarget("ivan#example.org", lkEMail), "mailto:ivan@example.org");
    EXPECT_EQ(DesktopLinkTarget("http://x.org/#top", lkUrl), "http://x.org/#top");
    EXPECT_EQ(DesktopLinkTarget("2:5020/1", lkAddress), "");
}
