#include "text/TemplateEngine.h"

#include "TempDir.h"

#include "config/Echo.h"
#include "config/Template.h"
#include "core/LocaleFormat.h"
#include "core/Settings.h"

#include "BaseHelpers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <sys/stat.h>

namespace tavro {
namespace {

using test::Texts;

class TemplateEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseSettings(&Global);
        UseLocaleTimeFormats({"%d.%m.%Y", "%H:%M:%S"});
        Area.Name = "R50.SYSOP";
        QuotedArea.Name = "SU.GENERAL";
        Target.FromName = "Ivan Petrov";
        Target.FromAddr = TAddress(2, 5020, 1, 5, "fidonet");
        Target.ToName = "Sergey Ivanov";
        Target.ToAddr = TAddress(1, 23, 45);
        Target.Subject = "Hi there";
        Target.DateWritten = EncodeDateTime(2024, 1, 5, 10, 3, 0);
        Target.DateArrived = EncodeDateTime(2024, 1, 6);
        Quoted.FromName = "Petr Sidorov";
        Quoted.FromAddr = TAddress(2, 5020, 7);
        Quoted.ToName = "All Readers";
        Quoted.ToAddr = TAddress(2, 5020, 0);
        Quoted.Subject = "Question";
        Quoted.DateWritten = EncodeDateTime(2023, 12, 31, 23, 59, 58);
        Quoted.DateArrived = EncodeDateTime(2024, 1, 1, 0, 0, 1);
        Quoted.Body = {TBodyLine("First line"), TBodyLine("PS> older")};
    }
    void TearDown() override { UseSettings(nullptr); }

    // The lines one template line gives.
    TBodyLines Expand(const std::string& line, bool withQuoted = true) {
        Target.Body.clear();
        TTemplate tpl;
        tpl.Lines = {line};
        ApplyTemplate(Target, Area, tpl, true, false, withQuoted ? &QuotedArea : nullptr,
                      withQuoted ? &Quoted : nullptr);
        return Target.Body;
    }

    TGlobalSettings Global;
    TEcho Area, QuotedArea;
    TCustomMsg Target{nullptr}, Quoted{nullptr};
};

TEST_F(TemplateEngineTest, TextMacrosExpandAndTagTheirLine) {
    const struct {
        std::string Line, Expected;
        int Tag;
    } cases[] = {
        {"Hello %ToName!", "Hello Sergey!", 1},
        {"%From|%fromname|%FROMADDR", "Ivan Petrov|Ivan|2:5020/1.5@fidonet", 1},
        {"%FromZone:%FromNet/%FromNode.%FromPoint@%FromDomain", "2:5020/1.5@fidonet", 1},
        {"%To|%ToAddr|%ToZone %ToNet %ToNode %ToPoint|%ToDomain|", "Sergey Ivanov|1:23/45|1 23 45 0||", 1},
        {"%FromDate %FromTime|%FromDateTime", "05.01.2024 10:03:00|05.01.2024 10:03:00", 1},
        {"%ToDate|%ToTime|%ToDateTime", "06.01.2024|00:00:00|06.01.2024", 1},
        {"%Subj in %Area", "Hi there in R50.SYSOP", 1},
        {"%QFrom|%QFromName|%QTo|%QToName", "Petr Sidorov|Petr|All Readers|All", 1},
        {"%QFromAddr %QFromNode %QToAddr %QToNode", "2:5020/7 7 2:5020/0 0", 1},
        {"%QFromDateTime|%QToDateTime|%QSubj|%QArea",
         "31.12.2023 23:59:58|01.01.2024 00:00:01|Question|SU.GENERAL", 1},
        {"%FullFileName|%FileName|%FileDate|%FileTime", "Petr Sidorov|All Readers|31.12.2023|23:59:58", 1},
        {"%Unknown", "%UNKNOWN", 0},
        {"100% sure", "100% sure", 0},
        {"50%%x", "50%%X", 0},
        {"%FromX", "%FROMX", 0},
        {"%#x", "%#X", 0},
        {"%#78", "78", 1},
        {"abcdefgh%#5.|", "abcde|", 1},
        {"ab%#4.|", "ab  |", 1},
        {"|Area: %QAREA%#78.|", "|Area: SU.GENERAL" + std::string(61, ' ') + "|", 1},
        {"%RandomWord", "", 1},
        {"[%RandomWord(,,)]", "[]", 1},
        {"[%RandomWord(only one)", "[only one", 1},
    };
    for (const auto& c : cases) {
        const TBodyLines lines = Expand(c.Line);
        ASSERT_EQ(lines.size(), 1u) << c.Line;
        EXPECT_EQ(lines[0].Text, c.Expected) << c.Line;
        EXPECT_EQ(lines[0].LineTag, c.Tag) << c.Line;
    }
    EXPECT_EQ(Expand("|Area: %QAREA%#78.|")[0].Text.size(), 79u);
}

TEST_F(TemplateEngineTest, WithoutAQuotedMessageItsMacrosAreEmpty) {
    const TBodyLines lines =
        Expand("<%QFrom|%QArea|%QSubj|%FileName|%FileDateTime|%Quote|%QBody|%FileText>", false);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].Text, "<|||||||>");
    EXPECT_EQ(lines[0].LineTag, 1);
}

TEST_F(TemplateEngineTest, QuotedTextGoesBeforeItsLineAndTheCursorIsWhereTheMacroWas) {
    Global.AddQuoteSpace = false;
    TTemplate tpl;
    tpl.Lines = {"Hi %ToName,", "%Cursor%Quote", "%QBody", "Bye %Cursor%From"};
    Target.Body = {TBodyLine("typed")};
    const TCursorPos cursor = ApplyTemplate(Target, Area, tpl, true, false, &QuotedArea, &Quoted);
    EXPECT_EQ(Texts(Target.Body),
              (std::vector<std::string>{"typed", "Hi Sergey,", "PS> First line", "PS>> older", "",
                                        "First line", "PS> older", "", "Bye Ivan Petrov"}));
    EXPECT_EQ(cursor, (TCursorPos{4, 8})); // the later cursor wins

    Target.Body.clear();
    tpl.Lines = {"x", "%Cursor%Quote"};
    EXPECT_EQ(ApplyTemplate(Target, Area, tpl, true, false, &QuotedArea, &Quoted), (TCursorPos{0, 1}));
    EXPECT_EQ(Target.Body[1].Text, "PS> First line");
    EXPECT_EQ(Target.Body[1].LineTag, 0);
}

TEST_F(TemplateEngineTest, NothingHappensWithoutTemplateOrWhenTheAreaDoesNotUseIt) {
    TTemplate tpl;
    tpl.Lines = {"%Cursor x"};
    Target.Body = {TBodyLine("kept")};
    Area.Flags &= static_cast<uint8_t>(~efUseTemplate);
    EXPECT_EQ(ApplyTemplate(Target, Area, tpl, true, false, nullptr, nullptr), TCursorPos{});
    Area.Flags |= efUseTemplate;
    EXPECT_EQ(ApplyTemplate(Target, Area, TTemplate{}, true, false, nullptr, nullptr), TCursorPos{});
    EXPECT_EQ(Texts(Target.Body), std::vector<std::string>{"kept"});
}

TEST_F(TemplateEngineTest, GatewayMessagesAreAddressedByTheToLineOfTheBody) {
    Global.GateName = "UUCP";
    const struct {
        std::string ToName;
        std::string BodyLine;
        std::string Expected;
    } cases[] = {
        {" uucp ", "To: \"John Doe\" <jd@example.org>", "John Doe|John"},
        {"UUCP", "to:   jd@example.org", "jd|jd"},
        {"UUCP", "TO: Mary Major", "Mary Major|Mary"},
        {"UUCP", "To: \"unclosed@x", "\"unclosed|\"unclosed"},
        {"UUCP", "Dear all", "UUCP|UUCP"},
        {"Sergey Ivanov", "To: jd@example.org", "Sergey Ivanov|Sergey"},
    };
    for (const auto& c : cases) {
        Target.ToName = c.ToName;
        Target.Body = {TBodyLine(c.BodyLine)};
        TTemplate tpl;
        tpl.Lines = {"%To|%ToName"};
        ApplyTemplate(Target, Area, tpl, true, false, nullptr, nullptr);
        EXPECT_EQ(Target.Body.back().Text, c.Expected) << c.BodyLine;
    }
}

TEST_F(TemplateEngineTest, RandomWordPicksEveryWordOfItsList) {
    std::set<std::string> seen;
    for (int i = 0; i < 300; ++i)
        seen.insert(Expand("%RandomWord(Hi,,Hello,Good day)!")[0].Text);
    EXPECT_EQ(seen, (std::set<std::string>{"Hi!", "Hello!", "Good day!"}));
}

TEST_F(TemplateEngineTest, ReapplyRebuildsTaggedLinesOnly) {
    Global.AddQuoteSpace = false;
    TTemplate tpl;
    tpl.Lines = {"Hello %ToName!", "%Quote", "Bye"};
    ApplyTemplate(Target, Area, tpl, true, false, &QuotedArea, &Quoted);
    Target.Body.insert(Target.Body.begin() + 1, TBodyLine("typed by the user"));
    Target.Body.emplace_back("stale", 7); // its template line is gone
    Target.ToName = "Anna Smirnova";
    ReapplyTemplate(Target, Area, tpl, &QuotedArea, &Quoted);
    EXPECT_EQ(Texts(Target.Body),
              (std::vector<std::string>{"Hello Anna!", "typed by the user", "PS> First line", "PS>> older",
                                        "", "Bye", "stale"}));
    EXPECT_EQ(Target.Body[0].LineTag, 1);
    EXPECT_EQ(Target.Body[6].LineTag, 7);
}

TEST_F(TemplateEngineTest, ReapplyLeavesTheQuotedTextAsTheUserLeftIt) {
    Global.AddQuoteSpace = false;
    const struct {
        std::string Macro;
        std::vector<std::string> Text;
    } cases[] = {
        {"%Quote", {"PS> First line", "PS>> older"}},
        {"%QBody", {"First line", "PS> older"}},
        {"%FileText", {"First line", "PS> older"}},
    };
    for (const auto& c : cases) {
        TTemplate tpl;
        // The macro shares its line with header macros, so that line is expanded again.
        tpl.Lines = {"Hello %ToName!", "[" + c.Macro + "] %QFrom to %To", "Bye"};
        Target.Body.clear();
        Target.ToName = "Sergey Ivanov";
        ApplyTemplate(Target, Area, tpl, true, false, &QuotedArea, &Quoted);
        ASSERT_EQ(Target.Body.size(), 5u) << c.Macro;
        Target.Body[1].Text += " (edited)";
        for (const char* to : {"Anna Smirnova", "Olga Orlova"}) {
            Target.ToName = to;
            ReapplyTemplate(Target, Area, tpl, &QuotedArea, &Quoted);
        }
        EXPECT_EQ(Texts(Target.Body),
                  (std::vector<std::string>{"Hello Olga!", c.Text[0] + " (edited)", c.Text[1],
                                            "[] Petr Sidorov to Olga Orlova", "Bye"}))
            << c.Macro;
        std::vector<int> tags;
        for (const TBodyLine& line : Target.Body)
            tags.push_back(line.LineTag);
        EXPECT_EQ(tags, (std::vector<int>{1, 0, 0, 2, 0})) << c.Macro;
    }
}

TEST_F(TemplateEngineTest, BuiltInTemplatesUseOnlyKnownMacros) {
    for (int kind = 0; kind < TemplateKindCount; ++kind) {
        const TTemplate tpl = MakeDefaultTemplate(static_cast<TTemplateKind>(kind));
        Target.Body.clear();
        ApplyTemplate(Target, Area, tpl, true, false, &QuotedArea, &Quoted);
        for (const TBodyLine& line : Target.Body) {
            EXPECT_EQ(line.Text.find('%'), std::string::npos) << tpl.Name << ": " << line.Text;
            if (line.Text.starts_with('|')) {
                EXPECT_EQ(line.Text.size(), 79u) << tpl.Name << ": " << line.Text;
            }
        }
    }
}

class StrFromFileTest : public TemplateEngineTest {
protected:
    void SetUp() override {
        TemplateEngineTest::SetUp();
        const char* old = std::getenv("TAVRO_HOME");
        OldHome = old ? old : "";
        ::setenv("TAVRO_HOME", Home.Path().c_str(), 1);
        test::WriteFile(Home.File("sig.txt"), "one\r\ntwo\n\nfour");
    }
    void TearDown() override {
        if (OldHome.empty())
            ::unsetenv("TAVRO_HOME");
        else
            ::setenv("TAVRO_HOME", OldHome.c_str(), 1);
        TemplateEngineTest::TearDown();
    }
    test::TTempDir Home;
    std::string OldHome;
};

TEST_F(StrFromFileTest, InsertsTheNumberedLineOfAFile) {
    const std::string fifo = Home.File("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        std::string Line, Expected;
    } cases[] = {
        {"<%StrFromFile(\"sig.txt\",1)>", "<one>"},
        {"<%StrFromFile(\"sig.txt\",2)>", "<two>"},
        {"<%StrFromFile(\"sig.txt\",3)>", "<>"},
        {"<%strfromfile(\"sig.txt\",4)>", "<four>"},
        {"<%StrFromFile(\"sig.txt\",5)>", "<>"},
        {"<%StrFromFile(\"sig.txt\",0)>", "<>"},
        {"<%StrFromFile(\"sig.txt\",x)>", "<x)>"},
        {"<%StrFromFile(\"sig.txt\")>", "<>"},
        {"<%StrFromFile(\"" + Home.File("sig.txt") + "\",2)>", "<two>"},
        {"<%StrFromFile(\"sig.txt\",99999999999999)>", "<>"},
        {"<%StrFromFile(\"sig.txt\",1 x", "< x"},
        {"%StrFromFile(\"a\",1)", "(\"a\",1)"}, // seven characters: too short to apply
        {"<%StrFromFile(sig.txt,1)>", "<(sig.txt,1)>"},
        {"<%StrFromFile(\"missing\",1)>", "<>"},
        {"<%StrFromFile(\"" + Home.Path() + "\",1)>", "<>"},
        {"<%StrFromFile(\"fifo\",1)>", "<>"},
        {"<%StrFromFile(\"/dev/zero\",1)>", "<>"},
    };
    for (const auto& c : cases) {
        const TBodyLines lines = Expand(c.Line);
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].Text, c.Expected) << c.Line;
        EXPECT_EQ(lines[0].LineTag, 1) << c.Line;
    }
}

} // namespace
} // namespace tavro
