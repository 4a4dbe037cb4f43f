#include "core/Msg.h"
#include "core/Attributes.h"
#include "core/Base.h"
#include "core/CodePage.h"

#include <gtest/gtest.h>

using namespace tavro;

namespace {

// A base that only records what it is asked to write.
class TRecordingBase : public TCustomBase {
public:
    TRecordingBase() : TCustomBase("", "", "") {}
    std::vector<TCustomMsg*> Written;

    int GetCount() override { return 0; }
    TMsgHandle GetMsg(int) override { return nullptr; }
    TMsgId GetMsgId(int) override { return NoMsgId; }
    void SetLastRead(TMsgId) override {}
    TMsgId GetLastRead() override { return 0; }
    void Invalidate() override {}
    bool IsChanged() override { return false; }
    bool Exists() override { return true; }
    std::unique_ptr<TCustomMsg> NewMsg() override { return nullptr; }

protected:
    bool LoadList() override { return true; }
    TMsgId StoreMsg(TCustomMsg& msg) override {
        Written.push_back(&msg);
        return static_cast<TMsgId>(Written.size());
    }
    size_t RemoveMsgs(const std::vector<TMsgId>&, const TProgress&) override { return 0; }
    void CreateStorage() override {}
    std::string ReadingsFileName() const override { return {}; }
    void LoadLastRead() override {}
    void SaveLastRead() override {}
    void DropCache() override {}
};

// Loads its text on the first accessor call, as the stored formats do.
class TLazyMsg : public TCustomMsg {
public:
    TLazyMsg() : TCustomMsg(nullptr) {}
    bool Loaded = false;

    TStringList& GetKludges() override { return Load(), Kludges; }
    TBodyLines& GetBody() override { return Load(), Body; }
    TStringList& GetTail() override { return Load(), Tail; }
    uint32_t GetAttr() override { return Load(), Attr; }

private:
    void Load() {
        if (Loaded)
            return;
        Loaded = true;
        bool started = false;
        for (const char* line : {"\x01MSGID: 2:5020/1.5 1",
                                 "\x01"
                                 "FLAGS DIR",
                                 "Hello", "SEEN-BY: 5020/1"})
            AddLine(line, started);
        Attr = atPvt | AttrFromFlagsKludge(Kludges);
        ResolveAddresses();
    }
};

std::vector<std::string> BodyTexts(const TCustomMsg& msg) {
    std::vector<std::string> texts;
    for (const TBodyLine& line : msg.Body)
        texts.push_back(line.Text);
    return texts;
}

void AddLines(TCustomMsg& msg, const std::vector<std::string>& lines) {
    bool started = false;
    for (const std::string& line : lines)
        msg.AddLine(line, started);
}

} // namespace

TEST(MsgTest, AddLineSortsIntoKludgesBodyAndTail) {
    const struct {
        const char* Name;
        std::vector<std::string> Lines, Kludges, Body, Tail;
    } cases[] = {
        {"usual echomail",
         {"\x01MSGID: 2:5020/1 1", "\x01PID: x", "Hi", "", "--- x", " * Origin: o (2:5020/1)",
          "SEEN-BY: 5020/1", "\x01PATH: 5020/1"},
         {"\x01MSGID: 2:5020/1 1", "\x01PID: x"},
         {"Hi", "", "--- x", " * Origin: o (2:5020/1)"},
         {"SEEN-BY: 5020/1", "\x01PATH: 5020/1"}},
        {"empty first line starts the text", {"", "\x01MSGID: x", "a"}, {}, {"", "a"}, {"\x01MSGID: x"}},
        {"lower-case seen-by", {"a", "seen-by: 5020/1"}, {}, {"a"}, {"seen-by: 5020/1"}},
        {"seen-by without blank", {"SEEN-BY:5020/1"}, {}, {"SEEN-BY:5020/1"}, {}},
        {"text after seen-by",
         {"SEEN-BY: 1/1", "more", "\x01Via x"},
         {},
         {"more"},
         {"SEEN-BY: 1/1", "\x01Via x"}},
        {"bare ^A", {"\x01", "\x01\x01"}, {"\x01", "\x01\x01"}, {}, {}},
    };
    for (const auto& c : cases) {
        TCustomMsg msg(nullptr);
        AddLines(msg, c.Lines);
        EXPECT_EQ(msg.Kludges, c.Kludges) << c.Name;
        EXPECT_EQ(BodyTexts(msg), c.Body) << c.Name;
        EXPECT_EQ(msg.Tail, c.Tail) << c.Name;
        for (const TBodyLine& line : msg.Body)
            EXPECT_EQ(line.LineTag, 0);
    }
}

TEST(MsgTest, AddLineConvertsFromTheOemCodePage) {
    const TCodePage& oem = *TCodePagePair::Default().Oem();
    const TCodePage& display = *TCodePagePair::Default().Display();
    TCustomMsg msg(nullptr);
    bool started = false;
    msg.AddLine(oem.FromUtf8("Привет\x01Нора"), started);
    ASSERT_EQ(msg.Body.size(), 1u);
    EXPECT_EQ(msg.Body[0].Text, display.FromUtf8("Привет\x01Нора"));
}

TEST(MsgTest, BaseSuppliesCodePagesAndSoftCRRule) {
    TRecordingBase base;
    base.CodePages = TCodePagePair::Identity();
    base.DoNotIgnoreSoftCR = true;
    TCustomMsg msg(&base);
    EXPECT_TRUE(msg.CodePages().IsIdentity());
    EXPECT_TRUE(msg.KeepSoftCR());
    bool started = false;
    msg.AddLine("a\x8D\xE0", started);
    EXPECT_EQ(msg.Body.at(0).Text, "a\x8D\xE0");

    TCustomMsg orphan(nullptr);
    EXPECT_EQ(orphan.CodePages().OemNumber(), ActiveCodePages().OemNumber());
    EXPECT_FALSE(orphan.KeepSoftCR());
}

TEST(MsgTest, GetKludge) {
    TCustomMsg msg(nullptr);
    msg.Kludges = {"\x01MSGID: 2:5020/1.5 abcd", "\x01REPLYTO 2:5020/2 UUCP", "\x01INTL 2:5020/3 2:5020/1",
                   "\x01PID:\t Tavro 1 \t",      "\x01msgid: second",         "\x01TZUTC: 0300"};
    const struct {
        const char* Name;
        const char* Value;
    } cases[] = {
        {"MSGID:", "2:5020/1.5 abcd"},
        {"msgid:", "2:5020/1.5 abcd"},
        {"REPLYTO:", ""},
        {"REPLYTO", "2:5020/2 UUCP"},
        {"INTL", "2:5020/3 2:5020/1"},
        {"PID:", "Tavro 1"},
        {"TZUTC", ": 0300"},
        {"REPLY:", ""},
        {"MSGID: 2:5020/1.5 abcd and more", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(msg.GetKludge(c.Name), c.Value) << c.Name;
    EXPECT_EQ(TCustomMsg(nullptr).GetKludge("MSGID:"), "");
}

TEST(MsgTest, ResolveAddresses) {
    const struct {
        const char* Name;
        std::vector<std::string> Kludges;
        std::vector<std::string> Body;
        uint32_t Attr;
        TAddress From, To; // from the header
        const char* ExpectedFrom;
        const char* ExpectedTo;
    } cases[] = {
        {"REPLYTO wins",
         {"\x01MSGID: 2:5020/1 1", "\x01REPLYTO: 2:5020/9 UUCP"},
         {},
         0,
         {},
         {},
         "2:5020/9",
         ""},
        {"INTL with points",
         {"\x01INTL 2:5020/3 2:5020/1",
          "\x01"
          "FMPT 5",
          "\x01TOPT 7", "\x01MSGID: 2:1/1 1"},
         {},
         0,
         {},
         {},
         "2:5020/1.5",
         "2:5020/3.7"},
        {"MSGID with domain",
         {"\x01MSGID: 2:5020/1.5@fidonet 1"},
         {},
         0,
         {},
         {2, 5030, 4},
         "2:5020/1.5@fidonet",
         "2:5030/4"},
        {"REPLY gives the destination",
         {"\x01REPLY: 2:5030/1.2 abcd", "\x01TOPT 9"},
         {},
         0,
         {},
         {},
         "",
         "2:5030/1.2"},
        {"local netmail takes the zone",
         {"\x01MSGID: 3:5020/1 1"},
         {},
         atLoc,
         {},
         {0, 5020, 7},
         "3:5020/1",
         "3:5020/7"},
        {"no zone without Loc", {"\x01MSGID: 3:5020/1 1"}, {}, 0, {}, {0, 5020, 7}, "3:5020/1", ""},
        {"origin line", {}, {"Hi", " * Origin: Moscow (2:5020/1.5)"}, 0, {}, {}, "2:5020/1.5", ""},
        {"origin line, last brackets",
         {},
         {" * ORIGIN: Station (home) (2:5020/1.5@fidonet)"},
         0,
         {},
         {},
         "2:5020/1.5@fidonet",
         ""},
        {"origin without brackets clears", {}, {" * Origin: Moscow 2:5020/1"}, 0, {2, 1, 1}, {}, "", ""},
        {"only the first origin line", {}, {" * Origin: none", " * Origin: x (2:5020/1)"}, 0, {}, {}, "", ""},
        {"brackets the wrong way round", {}, {" * Origin: x )2:5020/1("}, 0, {}, {}, "", ""},
        {"bad MSGID falls back to origin",
         {"\x01MSGID: abcd 1"},
         {" * Origin: x (2:5020/2)"},
         0,
         {},
         {},
         "2:5020/2",
         ""},
        {"FMPT and TOPT that are not numbers",
         {"\x01INTL 2:5020/3 2:5020/1",
          "\x01"
          "FMPT x",
          "\x01TOPT 7x"},
         {},
         0,
         {},
         {},
         "2:5020/1",
         "2:5020/3"},
        {"TOPT takes its first word",
         {"\x01INTL 2:5020/3 2:5020/1", "\x01TOPT 7 8"},
         {},
         0,
         {},
         {},
         "2:5020/1",
         "2:5020/3.7"},
        {"INTL without origin part",
         {"\x01INTL 2:5020/3", "\x01MSGID: 2:5020/4 1"},
         {},
         0,
         {},
         {},
         "2:5020/4",
         "2:5020/3"},
    };
    for (const auto& c : cases) {
        TCustomMsg msg(nullptr);
        msg.Kludges = c.Kludges;
        for (const std::string& line : c.Body)
            msg.Body.emplace_back(line);
        msg.Attr = c.Attr;
        msg.FromAddr = c.From;
        msg.ToAddr = c.To;
        msg.ResolveAddresses();
        EXPECT_EQ(msg.FromAddr.ToStr5D(), c.ExpectedFrom) << c.Name;
        EXPECT_EQ(msg.ToAddr.ToStr5D(), c.ExpectedTo) << c.Name;
    }
}

TEST(MsgTest, AssignCopiesThroughAccessors) {
    TLazyMsg source;
    source.FromName = "Ivan";
    source.ToName = "All";
    source.Subject = "Test";
    source.DateWritten = 45000.5;
    source.DateArrived = 45001.25;
    source.ReplyTo = 7;
    source.Replies = {8, 9};

    TCustomMsg target(nullptr);
    target.ReplyTo = 3;
    target.Replies = {4};
    target.Assign(&source);

    EXPECT_TRUE(source.Loaded);
    EXPECT_EQ(target.Kludges, (TStringList{"\x01MSGID: 2:5020/1.5 1", "\x01"
                                                                      "FLAGS DIR"}));
    EXPECT_EQ(BodyTexts(target), std::vector<std::string>{"Hello"});
    EXPECT_EQ(target.Tail, TStringList{"SEEN-BY: 5020/1"});
    EXPECT_EQ(target.Attr, atPvt | atDIR);
    EXPECT_EQ(target.FromAddr.ToStr(), "2:5020/1.5");
    EXPECT_EQ(target.FromName, "Ivan");
    EXPECT_EQ(target.ToName, "All");
    EXPECT_EQ(target.Subject, "Test");
    EXPECT_EQ(target.DateWritten, 45000.5);
    EXPECT_EQ(target.DateArrived, 45001.25);
    EXPECT_EQ(target.ReplyTo, 3u);
    EXPECT_EQ(target.Replies, std::vector<TMsgId>{4});

    target.Assign(nullptr);
    target.Assign(&target);
    EXPECT_EQ(target.FromName, "Ivan");
    EXPECT_EQ(target.Body.size(), 1u);
}

TEST(MsgTest, SaveGoesThroughTheBase) {
    TCustomMsg orphan(nullptr);
    EXPECT_FALSE(orphan.Save());

    TRecordingBase base;
    TCustomMsg msg(&base);
    EXPECT_EQ(msg.Base(), &base);
    EXPECT_TRUE(msg.Save());
    EXPECT_EQ(base.Written, std::vector<TCustomMsg*>{&msg});
}

TEST(MsgTest, ClearTextEmptiesTheLists) {
    TCustomMsg msg(nullptr);
    AddLines(msg, {"\x01MSGID: x", "a", "SEEN-BY: 1/1"});
    msg.Subject = "kept";
    msg.ClearText();
    EXPECT_TRUE(msg.Kludges.empty());
    EXPECT_TRUE(msg.Body.empty());
    EXPECT_TRUE(msg.Tail.empty());
    EXPECT_EQ(msg.Subject, "kept");
}
