#include "CliRun.h"

#include "bases/JamBase.h"
#include "core/LocaleFormat.h"

#include "TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace tavro;
using tavro::test::Invoke;
using tavro::test::TCliResult;
using tavro::test::TTempDir;

namespace {

constexpr size_t JamFirstHeader = 1024;
constexpr size_t JamReplyTo = 24;
constexpr size_t JamReply1st = 28;

void PutLE32(std::string& data, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        data[offset + i] = static_cast<char>(value >> (8 * i));
}

class ShowTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseLocaleTimeFormats({"%d.%m.%Y", "%H:%M:%S"});
        std::filesystem::create_directories(Temp.File("jam"));
        {
            TJamBase base(Area, "RU.TEST", "");
            ASSERT_TRUE(base.CreateIfMissing());
            base.Rescan();
            for (int n = 1; n <= 3; ++n) {
                auto msg = base.NewMsg();
                msg->FromName = n == 2 ? "Petr Sidorov" : "Ivan Petrov";
                msg->ToName = "All";
                msg->Subject = "Topic";
                msg->FromAddr = TAddress(2, 5020, 100, 7);
                msg->DateWritten = EncodeDateTime(2024, 1, 5, 10, 3, 2);
                msg->DateArrived = EncodeDateTime(2024, 1, 6, 11, 4, 6);
                msg->Kludges = {"\x01MSGID: 2:5020/100.7 0000000" + std::to_string(n)};
                msg->Body = {{"IP> " + std::string(74, 'q') + " tail"},
                             {"IP> more quoted"},
                             {"See 2:5020/1.5 and http://example.org/x now"},
                             {"\xCA\xE0\xEA \xE4\xE5\xEB\xE0"}, // "Как дела"
                             {"--- Tavro"},
                             {" * Origin: home (2:5020/100.7)"}};
                msg->Tail = {"SEEN-BY: 5020/1 2"};
                ASSERT_TRUE(msg->Save());
            }
        }
        LinkMessages();
    }

    // The second message answers the first and is answered by the third, as a reply
    // linker would leave them.
    void LinkMessages() {
        std::string headers = test::ReadFile(Area);
        std::vector<size_t> offsets;
        for (size_t at = headers.find(std::string("JAM\0", 4), JamFirstHeader); at != std::string::npos;
             at = headers.find(std::string("JAM\0", 4), at + 1))
            offsets.push_back(at);
        ASSERT_EQ(offsets.size(), 3u);
        PutLE32(headers, offsets[0] + JamReply1st, 2);
        PutLE32(headers, offsets[1] + JamReplyTo, 1);
        PutLE32(headers, offsets[1] + JamReply1st, 3);
        PutLE32(headers, offsets[2] + JamReplyTo, 2);
        test::WriteFile(Area, headers);
    }

    TTempDir Temp;
    std::string Area = Temp.File("jam/area.jhr");
};

TEST_F(ShowTest, PrintsTheHeaderAndTheRewrappedText) {
    TCliResult result = Invoke({"show", Area, "1"});
    ASSERT_EQ(result.Status, 0) << result.Err;
    EXPECT_EQ(result.Out, "From: Petr Sidorov, 2:5020/100.7  at 05.01.2024 10:03:02\n"
                          "To:   All  at 06.01.2024 11:04:06\n"
                          "Subj: Topic\n"
                          "Attr:\n"
                          "Msg:  2/3-1  Links: -1 +3\n"
                          "\n"
                          "IP> " +
                              std::string(74, 'q') +
                              "\n"
                              "IP> tail more quoted\n"
                              "See 2:5020/1.5 and http://example.org/x now\n"
                              "Как дела\n"
                              "--- Tavro\n"
                              " * Origin: home (2:5020/100.7)\n");
}

TEST_F(ShowTest, KludgesComeFirstAndTheTailLastUnwrapped) {
    TCliResult result = Invoke({"show", Area, "0", "--kludges", "--width", "30"});
    ASSERT_EQ(result.Status, 0) << result.Err;
    const std::string text = result.Out.substr(result.Out.find("\n\n") + 2);
    EXPECT_TRUE(text.starts_with("^AMSGID: 2:5020/100.7 00000001\nIP> qqq")) << text;
    EXPECT_TRUE(text.ends_with("SEEN-BY: 5020/1 2\n")) << text;
    EXPECT_NE(text.find("\nSee 2:5020/1.5 and\n"), std::string::npos) << text;
    EXPECT_NE(result.Out.find("Msg:  1/3-2  Links: +2\n"), std::string::npos) << result.Out;
}

TEST_F(ShowTest, ColorMarksQuotesLinksAndControlLines) {
    TCliResult result = Invoke({"show", Area, "2", "--color", "--kludges"});
    ASSERT_EQ(result.Status, 0) << result.Err;
    const std::string& out = result.Out;
    const struct {
        const char* What;
        std::string Expected;
    } cases[] = {
        {"kludge", "\x1b[91m^AMSGID: 2:5020/100.7 00000003\x1b[0m\n"},
        {"first quote", "\x1b[34mIP> tail more quoted\x1b[0m\n"},
        {"address", "See \x1b[94;4m2:5020/1.5\x1b[0m and \x1b[94;4mhttp://example.org/x\x1b[0m now\n"},
        {"plain", "\nКак дела\n"},
        {"tearline", "\x1b[31m--- Tavro\x1b[0m\n"},
        {"seen-by", "\x1b[91mSEEN-BY: 5020/1 2\x1b[0m\n"},
        {"links", "Msg:  3/3-0  Links: -2\n"},
    };
    for (const auto& c : cases)
        EXPECT_NE(out.find(c.Expected), std::string::npos) << c.What << "\n" << out;
}

TEST_F(ShowTest, RejectsBadPositions) {
    const struct {
        std::vector<std::string> Args;
        int Status;
        const char* Error;
    } cases[] = {
        {{"show", Area, "3"}, 1, "no message at position 3"},
        {{"show", Area, "-1"}, 2, "-1"},
        {{"show", Area, "x"}, 2, "POSITION"},
        {{"show", Area}, 2, "POSITION"},
        {{"show", Area, "0", "--width", "0"}, 2, "--width"},
        {{"show", Temp.File("none.jhr"), "0"}, 1, ""},
    };
    for (const auto& c : cases) {
        TCliResult result = Invoke(c.Args);
        EXPECT_EQ(result.Status, c.Status) << c.Args.back();
        EXPECT_NE(result.Err.find(c.Error), std::string::npos) << result.Err;
        EXPECT_TRUE(result.Out.empty());
    }
}

} // namespace
