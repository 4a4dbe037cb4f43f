#include "core/Attributes.h"

#include <gtest/gtest.h>

using namespace tavro;

namespace {
constexpr uint32_t AllAttrs = (1u << AttrCount) - 1;
}

TEST(AttributesTest, TableRowsInBitOrder) {
    const auto& table = AttrTable();
    for (int i = 0; i < AttrCount; ++i) {
        EXPECT_EQ(table[i].Bit, 1u << i);
        EXPECT_EQ(table[i].FlagsToken != nullptr, (table[i].Bit & FlagsKludgeAttrs) != 0) << table[i].Display;
    }
    EXPECT_STREQ(table[25].Display, "LOC");
    EXPECT_STREQ(table[25].FlagsToken, "LOK");
    EXPECT_STREQ(table[25].Caption, "LOC: Locked message");
    EXPECT_STREQ(table[5].Display, "Loc");
    EXPECT_STREQ(table[5].Caption, "Local");
}

TEST(AttributesTest, AttrToStrUsesFixedOrder) {
    const struct {
        uint32_t Attr;
        const char* Text;
    } cases[] = {
        {0, ""},
        {atPvt | atLoc | atLOK, "Pvt Loc LOC"},
        {atPvt | atCra, "Cra Pvt"},
        {atSnt | atScn, "Snt Scn"},
        {atAS | atLOK, "LOC A/S"},
        {0xFC000000, ""}, // bits beyond the set
        {AllAttrs, "Cra Hld Att RRq Pvt K/S Frq URq Rcv Snt Scn Loc Orp Trs Arq RRc "
                   "ZON HUB IMM DIR KFS TFS RRQ CFM LOC A/S"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AttrToStr(c.Attr), c.Text) << std::hex << c.Attr;
}

// Each row's header bit reads as that flag and the flag writes that bit.
TEST(AttributesTest, EachFormatMapsRowByRow) {
    for (const TAttrInfo& info : AttrTable()) {
        SCOPED_TRACE(info.Display);
        if (info.MsgMask) {
            EXPECT_EQ(AttrFromMsgWord(info.MsgMask), info.Bit);
            EXPECT_EQ(AttrToMsgWord(info.Bit), info.MsgMask);
        } else {
            EXPECT_EQ(AttrToMsgWord(info.Bit), 0);
        }
        if (info.SquishMask) {
            EXPECT_EQ(AttrFromSquish(info.SquishMask), info.Bit);
            EXPECT_EQ(AttrToSquish(info.Bit), info.SquishReadOnly ? 0u : info.SquishMask);
        } else {
            EXPECT_EQ(AttrToSquish(info.Bit), 0u);
        }
        EXPECT_EQ(AttrToJam(info.Bit), info.JamMask);
        if (info.JamMask && info.JamMask != 0x10) {
            EXPECT_EQ(AttrFromJam(info.JamMask), info.Bit);
        }
    }
}

TEST(AttributesTest, HeaderValuesRoundTrip) {
    const uint16_t msgWords = 0xFBFF; // everything but the ignored 0x0400
    EXPECT_EQ(AttrToMsgWord(AttrFromMsgWord(msgWords)), msgWords);
    EXPECT_EQ(AttrFromMsgWord(0x0181), atPvt | atKS | atLoc);
    EXPECT_EQ(AttrFromMsgWord(0x0400), 0u);

    const uint32_t squishWritable = 0x0000FFFF & ~0x0400u;
    EXPECT_EQ(AttrToSquish(AttrFromSquish(squishWritable)), squishWritable);
    EXPECT_EQ(AttrFromSquish(0x00010008), atScn | atSnt);
    EXPECT_EQ(AttrToSquish(atScn | atSnt), 0x00000008u);

    const uint32_t jamAll = 0x0007FFFF;
    uint32_t jamKnown = 0;
    for (const TAttrInfo& info : AttrTable())
        jamKnown |= info.JamMask;
    EXPECT_EQ(AttrToJam(AttrFromJam(jamAll)), jamAll & jamKnown);
    EXPECT_EQ(AttrFromJam(0x10), atSnt | atScn);
    EXPECT_EQ(AttrToJam(atScn), 0x10u);
    EXPECT_EQ(AttrFromJam(0x80000000 | 0x01000000), 0u); // deleted and echomail are not flags

    // Flags that only live in the FLAGS line never reach a header.
    const uint32_t kludgeOnly = atHUB | atCFM | atRRQ | atAS | atLOK;
    EXPECT_EQ(AttrToMsgWord(kludgeOnly), 0);
    EXPECT_EQ(AttrToSquish(kludgeOnly), 0u);
    EXPECT_EQ(AttrToJam(kludgeOnly), 0u);
}

TEST(AttributesTest, FlagsKludge) {
    const struct {
        std::vector<std::string> Kludges;
        uint32_t Attr;
    } cases[] = {
        {{}, 0},
        {{"\x01MSGID: 2:5020/1 12345678", "\x01"
                                          "FLAGS DIRECT"},
         atDIR},
        {{"\x01"
          "flags imm lok"},
         atIMM | atLOK},
        {{"\x01"
          "FLAGS IMM",
          "\x01"
          "FLAGS DIR"},
         atIMM}, // only the first line counts
        {{"\x01"
          "FLAGS ZON HUB KFS TFS RRQ CFM A/S"},
         atZON | atHUB | atKFS | atTFS | atRRQ | atCFM | atAS},
        {{"\x01"
          "FLAGSDIR"},
         atDIR},
        {{"\x01"
          "FLAGS"},
         0},
        {{"FLAGS DIR"}, 0},        // not a kludge line
        {{"\x01PID: DIR IMM"}, 0}, // tokens outside a FLAGS line
        {{"\x01"
          "FLAGS LOC"},
         0}, // the token is LOK
    };
    for (const auto& c : cases)
        EXPECT_EQ(AttrFromFlagsKludge(c.Kludges), c.Attr) << (c.Kludges.empty() ? "" : c.Kludges.back());
}
