#include "BaseOpen.h"
#include "CliRun.h"
#include "Command.h"
#include "Json.h"

#include "bases/FidoBase.h"
#include "core/Attributes.h"

#include "TempDir.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>

using namespace tavro;
using namespace tavro::cli;
using tavro::test::Invoke;
using tavro::test::ReadFile;
using tavro::test::TCliResult;
using tavro::test::TTempDir;
using tavro::test::WriteFile;

namespace {

struct TTestMsg {
    std::string Subject = "Hello";
    std::vector<std::string> Body = {"Hi"};
    std::vector<std::string> Kludges;
    std::vector<std::string> Tail;
    uint32_t Attr = 0;
    TAddress ToAddr;
};

// Stores the messages' strings as the bytes given: no conversion, SoftCR kept.
void WriteArea(const std::string& dir, const std::vector<TTestMsg>& messages) {
    std::filesystem::create_directories(dir);
    TFidoBase base(dir, "", "");
    base.CodePages = TCodePagePair::Identity();
    base.DoNotIgnoreSoftCR = true;
    base.Rescan();
    for (const TTestMsg& m : messages) {
        auto msg = base.NewMsg();
        msg->FromName = "Ivan Petrov";
        msg->ToName = "All";
        msg->Subject = m.Subject;
        msg->ToAddr = m.ToAddr;
        msg->DateWritten = EncodeDateTime(2024, 1, 5, 10, 3, 0);
        msg->DateArrived = EncodeDateTime(2024, 1, 5, 12, 0, 0);
        msg->Attr = m.Attr;
        msg->Kludges = m.Kludges;
        for (const std::string& line : m.Body)
            msg->Body.emplace_back(line);
        msg->Tail = m.Tail;
        ASSERT_TRUE(msg->Save());
    }
}

// The values of every `"key": value` line, as written.
std::vector<std::string> Values(const std::string& json, const std::string& key) {
    std::vector<std::string> values;
    const std::string needle = "\"" + key + "\": ";
    for (size_t pos = json.find(needle); pos != std::string::npos; pos = json.find(needle, pos)) {
        pos += needle.size();
        std::string value = json.substr(pos, json.find('\n', pos) - pos);
        if (!value.empty() && value.back() == ',')
            value.pop_back();
        values.push_back(value);
    }
    return values;
}

class DumpTest : public ::testing::Test {
protected:
    TTempDir Temp;
    std::string Area = Temp.File("area");
};

} // namespace

TEST(JsonQuote, EscapesWhatJsonNeedsAndRepairsBrokenUtf8) {
    const struct {
        std::string In, Out;
    } cases[] = {
        {"plain", "\"plain\""},
        {"say \"hi\" \\ bye", R"("say \"hi\" \\ bye")"},
        {"\x01MSGID\n\t\x1F\x7F", R"("\u0001MSGID\u000A\u0009\u001F\u007F")"},
        {"Привет €𝄞", "\"Привет €𝄞\""},
        {"a\xFF"
         "b",
         "\"a\uFFFDb\""},                                     // a byte no UTF-8 starts with
        {"\xD0", "\"\uFFFD\""},                               // cut short
        {"\xC0\x80", "\"\uFFFD\uFFFD\""},                     // overlong zero
        {"\xED\xA0\x80", "\"\uFFFD\uFFFD\uFFFD\""},           // surrogate
        {"\xF4\x90\x80\x80", "\"\uFFFD\uFFFD\uFFFD\uFFFD\""}, // past U+10FFFF
        {std::string("a\0b", 3), R"("a\u0000b")"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(JsonQuote(c.In), c.Out) << c.In;
}

TEST(IdList, ParsesIdsAndRanges) {
    TIdList ids(" 7 ,2-4,3-5,4294967294-4294967295");
    for (TMsgId id : {2u, 3u, 4u, 5u, 7u, 4294967294u, 4294967295u})
        EXPECT_TRUE(ids.Contains(id)) << id;
    for (TMsgId id : {0u, 1u, 6u, 8u, 4294967293u})
        EXPECT_FALSE(ids.Contains(id)) << id;
    EXPECT_EQ(ids.Singles(), std::vector<TMsgId>{7});
    EXPECT_NO_THROW(ids.CheckPresent({9, 7, 1}));
    EXPECT_THROW(ids.CheckPresent({2, 3, 4}), ECommandError);
}

TEST(IdList, RejectsWhatIsNotAList) {
    for (const char* text : {"", "5,", ",5", "a", "5-", "-5", "9-5", "1-2-3", "4294967296", "+5", "5 6"}) {
        try {
            TIdList ids(text);
            ADD_FAILURE() << text;
        } catch (const ECommandError& e) {
            EXPECT_EQ(e.Status, ExitUsage) << text;
        }
    }
}

TEST(Arguments, TakesValuesBothWaysAndEndsOptionsAtDoubleDash) {
    TArguments args({"--ids=1,2", "a", "--count", "3", "--raw", "--", "--b"}, {"--ids", "--count"},
                    {"--raw"});
    EXPECT_EQ(args.Positional, (std::vector<std::string>{"a", "--b"}));
    EXPECT_EQ(*args.Value("--ids"), "1,2");
    EXPECT_EQ(args.Number("--count", 0, 10, -1), 3);
    EXPECT_EQ(args.Number("--start", 0, 10, -1), -1);
    EXPECT_TRUE(args.Has("--raw"));

    const std::vector<std::vector<std::string>> misuse = {
        {"--bogus"}, {"--count"}, {"--raw=1"}, {"--raw", "--raw"}, {"--count", "1", "--count=2"}};
    for (const auto& bad : misuse)
        EXPECT_THROW(TArguments(bad, {"--count"}, {"--raw"}), ECommandError) << bad.front();
    TArguments outOfRange({"--count", "11"}, {"--count"}, {});
    EXPECT_THROW(outOfRange.Number("--count", 0, 10, 0), ECommandError);
}

TEST(BaseType, ComesFromTheOptionOrThePath) {
    TTempDir temp;
    std::filesystem::create_directory(temp.File("Area"));
    const struct {
        std::string Path;
        bool Known;
        TBaseType Type;
    } cases[] = {
        {temp.File("Area"), true, btMsg},       {temp.File("area"), true, btMsg}, // letter case resolved
        {temp.File("x.SQD"), true, btSquish},   {temp.File("x.jhr"), true, btJam},
        {temp.File("x.Jhr.txt"), false, btMsg}, {temp.File("missing"), false, btMsg},
    };
    for (const auto& c : cases) {
        TBaseType type = btJam;
        EXPECT_EQ(BaseTypeFromPath(c.Path, type), c.Known) << c.Path;
        if (c.Known) {
            EXPECT_EQ(type, c.Type) << c.Path;
        }
    }
    const std::string jam = "jam";
    EXPECT_EQ(ChooseBaseType(temp.File("Area"), &jam), btJam);
    EXPECT_THROW(ChooseBaseType(temp.File("missing"), nullptr), ECommandError);
    const std::string bogus = "hudson";
    EXPECT_THROW(ChooseBaseType(temp.File("Area"), &bogus), ECommandError);
}

TEST_F(DumpTest, PrintsEveryMessageWithTheKeysInTheirOrder) {
    TTestMsg first;
    first.Subject = "Hello";
    first.Kludges = {"\x01MSGID: 2:5020/1.5 6595a7e0"};
    first.Body = {"Hello, \"All\"!", "", "--- Tavro"};
    first.Tail = {"SEEN-BY: 5020/1 2", "\x01PATH: 5020/1"};
    first.Attr = atPvt | atLoc;
    first.ToAddr = TAddress(0, 5020, 2);
    TTestMsg second;
    second.Subject = "Second";
    second.Body = {"Bye"};
    WriteArea(Area, {first, second});

    TCliResult r = Invoke({"dump", Area});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Err, "");
    EXPECT_EQ(r.Out, R"({
  "type": "msg",
  "path": ")" + Area + R"(",
  "count": 2,
  "lastread": null,
  "messages": [
    {
      "position": 0,
      "id": 2,
      "from": "Ivan Petrov",
      "from_addr": "2:5020/1.5",
      "to": "All",
      "to_addr": "2:5020/2",
      "subject": "Hello",
      "date_written": "2024-01-05T10:03:00",
      "date_arrived": "2024-01-05T12:00:00",
      "attributes": "Pvt Loc",
      "reply_to": 0,
      "replies": [],
      "kludges": [
        "\u0001MSGID: 2:5020/1.5 6595a7e0"
      ],
      "body": [
        "Hello, \"All\"!",
        "",
        "--- Tavro"
      ],
      "tail": [
        "SEEN-BY: 5020/1 2",
        "\u0001PATH: 5020/1"
      ]
    },
    {
      "position": 1,
      "id": 3,
      "from": "Ivan Petrov",
      "from_addr": "",
      "to": "All",
      "to_addr": "",
      "subject": "Second",
      "date_written": "2024-01-05T10:03:00",
      "date_arrived": "2024-01-05T12:00:00",
      "attributes": "",
      "reply_to": 0,
      "replies": [],
      "kludges": [],
      "body": [
        "Bye"
      ],
      "tail": []
    }
  ]
}
)");
}

TEST_F(DumpTest, ShowsCyrillicTheWayTheReaderDoes) {
    TTestMsg msg;
    msg.Subject = "\x8F\xE0\xA8\xA2\xA5\xE2"; // CP866
    msg.Body = {"\x8F\xE0\xA8\xA2\xA5\xE2, \xAC\xA8\xE0!"};
    WriteArea(Area, {msg});
    TCliResult r = Invoke({"dump", Area});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(Values(r.Out, "subject"), std::vector<std::string>{"\"Привет\""});
    EXPECT_NE(r.Out.find("\"Привет, мир!\""), std::string::npos) << r.Out;
}

TEST_F(DumpTest, SoftCrAndCodePagesFollowTheMode) {
    // 0x8D is a SoftCR, or "Н" when kept; 0xC4 is a box-drawing line the display page lacks.
    TTestMsg msg;
    msg.Body = {"A\x8D"
                "B\xC4"};
    WriteArea(Area, {msg});
    const struct {
        std::vector<std::string> Options;
        std::string Body;
    } cases[] = {
        {{}, "AB-"},
        {{"--keep-softcr"}, "AНB-"},
        {{"--raw"}, "AНB─"},
        {{"--raw", "--keep-softcr"}, "AНB─"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"dump", Area};
        args.insert(args.end(), c.Options.begin(), c.Options.end());
        TCliResult r = Invoke(args);
        ASSERT_EQ(r.Status, 0) << r.Err;
        EXPECT_NE(r.Out.find("\"body\": [\n        \"" + c.Body + "\"\n"), std::string::npos)
            << testing::PrintToString(c.Options) << r.Out;
    }
}

TEST_F(DumpTest, UserSelectsLastReadAndReadMarksWithoutChangingThem) {
    WriteArea(Area, {{}, {}, {}});
    {
        TFidoBase base(Area, "", "");
        base.Rescan();
        base.SetUser(1, "Ivan Petrov");
        base.SetLastRead(3); // the area numbers from 2
        base.SetRead(2, true);
        base.SetRead(4, true);
        base.Close();
    }
    const std::string lastRead = ReadFile(Area + "/lastread");
    const std::string readings = ReadFile(Area + "/readings");

    const struct {
        std::vector<std::string> Options;
        std::string LastRead;
        std::vector<std::string> Read;
    } cases[] = {
        {{}, "null", {}},
        {{"--user", "1", "--user-name", "Ivan Petrov"}, "3", {"true", "false", "true"}},
        {{"--user", "0"}, "0", {"false", "false", "false"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"dump", Area};
        args.insert(args.end(), c.Options.begin(), c.Options.end());
        TCliResult r = Invoke(args);
        ASSERT_EQ(r.Status, 0) << r.Err;
        EXPECT_EQ(Values(r.Out, "lastread"), std::vector<std::string>{c.LastRead});
        EXPECT_EQ(Values(r.Out, "read"), c.Read) << r.Out;
    }
    EXPECT_EQ(ReadFile(Area + "/lastread"), lastRead);
    EXPECT_EQ(ReadFile(Area + "/readings"), readings);
}

TEST_F(DumpTest, IdsStartAndCountChooseTheMessages) {
    WriteArea(Area, {{}, {}, {}, {}, {}});
    std::filesystem::remove(Area + "/4.msg"); // numbered from 2
    const struct {
        std::vector<std::string> Options;
        std::vector<std::string> Ids;
    } cases[] = {
        {{}, {"2", "3", "5", "6"}},
        {{"--ids", "3,5-10"}, {"3", "5", "6"}},
        {{"--ids", "1-4"}, {"2", "3"}}, // a range takes what it finds
        {{"--start", "1", "--count", "2"}, {"3", "5"}},
        {{"--ids", "2-6", "--start", "2", "--count", "1"}, {"5"}},
        {{"--ids", "6,2"}, {"2", "6"}},
        {{"--start", "9"}, {}},
        {{"--count", "0"}, {}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"dump", Area};
        args.insert(args.end(), c.Options.begin(), c.Options.end());
        TCliResult r = Invoke(args);
        ASSERT_EQ(r.Status, 0) << r.Err;
        EXPECT_EQ(Values(r.Out, "id"), c.Ids) << testing::PrintToString(c.Options);
        EXPECT_EQ(Values(r.Out, "count"), std::vector<std::string>{"4"});
    }
    EXPECT_EQ(Values(Invoke({"dump", Area, "--start", "2"}).Out, "position"),
              (std::vector<std::string>{"2", "3"}));
}

TEST_F(DumpTest, MisuseAndFailuresAreOneLineOnStandardError) {
    WriteArea(Area, {{}});
    WriteFile(Temp.File("notes.txt"), "text");
    const struct {
        std::vector<std::string> Args;
        int Status;
        std::string Text;
    } cases[] = {
        {{}, ExitUsage, "PATH"},
        {{Area, Area}, ExitUsage, "one PATH"},
        {{Temp.File("missing")}, ExitFailure, "no such base"},
        {{Area, "--type", "hudson"}, ExitUsage, "unknown base type"},
        {{Area, "--type", "squish"}, ExitFailure, "is not a squish base"},
        {{Temp.File("notes.txt")}, ExitUsage, "cannot tell the base type"},
        {{Area, "--bogus"}, ExitUsage, "unknown option"},
        {{Area, "--ids"}, ExitUsage, "needs a value"},
        {{Area, "--ids", "7"}, ExitFailure, "no message with id 7"},
        {{Area, "--ids", "3-1"}, ExitUsage, "runs backwards"},
        {{Area, "--user", "256"}, ExitUsage, "--user"},
        {{Area, "--user-name", "Ivan"}, ExitUsage, "needs --user"},
        {{Area, "--count", "-1"}, ExitUsage, "--count"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"dump"};
        args.insert(args.end(), c.Args.begin(), c.Args.end());
        TCliResult r = Invoke(args);
        EXPECT_EQ(r.Status, c.Status) << r.Err;
        EXPECT_EQ(r.Out, "");
        EXPECT_EQ(r.Err.rfind("tavro-cli dump: ", 0), 0u) << r.Err;
        EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 1) << r.Err;
        EXPECT_NE(r.Err.find(c.Text), std::string::npos) << r.Err;
    }
}

TEST_F(DumpTest, DamagedMessageIsAFailureNotACrash) {
    WriteArea(Area, {{}, {}});
    WriteFile(Area + "/2.msg", "too short for a header");
    TCliResult r = Invoke({"dump", Area});
    EXPECT_EQ(r.Status, ExitFailure);
    EXPECT_EQ(r.Err.rfind("tavro-cli dump: ", 0), 0u) << r.Err;
    EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 1) << r.Err;
}
