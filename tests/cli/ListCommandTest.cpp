#include "CliRun.h"

#include "bases/JamBase.h"

#include "TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace tavro;
using tavro::test::Invoke;
using tavro::test::TTempDir;

namespace {

class ListTest : public ::testing::Test {
protected:
    // A thread linked only by kludges (as an unlinked base is), and a Cyrillic subject.
    void SetUp() override {
        TJamBase base(Area, "RU.TEST", "");
        ASSERT_TRUE(base.CreateIfMissing());
        base.Rescan();
        struct {
            const char* From;
            const char* Subj;
            const char* MsgId;
            const char* Reply;
            int Day;
        } posts[] = {
            {"Ivan Petrov", "Point setup", "2:5020/1 00000001", "", 5},
            {"Petr Sidorov", "Re: Point setup", "2:5020/2 00000002", "2:5020/1 00000001", 6},
            {"Anna\tK", "\xCE\xF2\xE2\xE5\xF2", "", "", 4}, // "Ответ"
            {"Ivan Petrov", "Re^2: Point setup", "", "2:5020/2 00000002", 7},
        };
        for (const auto& post : posts) {
            auto msg = base.NewMsg();
            msg->FromName = post.From;
            msg->ToName = "All";
            msg->Subject = post.Subj;
            msg->DateWritten = EncodeDateTime(2024, 3, post.Day, 12, 30, 0);
            msg->Kludges = {std::string("\x01MSGID: ") + post.MsgId, std::string("\x01REPLY: ") + post.Reply};
            msg->Body = {{"text"}};
            ASSERT_TRUE(msg->Save());
        }
        base.SetUserIndex(2);
        base.SetRead(base.GetMsgId(0), true);
        base.SetRead(base.GetMsgId(2), true);
        base.SetRead(base.GetMsgId(1), false);
        base.SetRead(base.GetMsgId(3), false);
        base.SetLastRead(0);
        base.Close();
    }

    TTempDir Temp;
    std::string Area = Temp.File("area.jhr");
};

} // namespace

TEST_F(ListTest, PrintsRowsFlatThreadedAndSorted) {
    const struct {
        std::vector<std::string> Options;
        std::string Out;
    } cases[] = {
        {{},
         "1\tIvan Petrov\tAll\tPoint setup\t2024-03-05T12:30:00\n"
         "2\tPetr Sidorov\tAll\tRe: Point setup\t2024-03-06T12:30:00\n"
         "3\tAnna K\tAll\t\xD0\x9E\xD1\x82\xD0\xB2\xD0\xB5\xD1\x82\t2024-03-04T12:30:00\n"
         "4\tIvan Petrov\tAll\tRe^2: Point setup\t2024-03-07T12:30:00\n"},
        {{"--threads", "--user", "2"},
         "1\tIvan Petrov\tAll\tPoint setup\t2024-03-05T12:30:00\tread\n"
         "  2\tPetr Sidorov\tAll\tRe: Point setup\t2024-03-06T12:30:00\tunread\n"
         "    4\tIvan Petrov\tAll\tRe^2: Point setup\t2024-03-07T12:30:00\tunread\n"
         "3\tAnna K\tAll\t\xD0\x9E\xD1\x82\xD0\xB2\xD0\xB5\xD1\x82\t2024-03-04T12:30:00\tread\n"},
        {{"--sort", "subj"},
         "1\tIvan Petrov\tAll\tPoint setup\t2024-03-05T12:30:00\n"
         "2\tPetr Sidorov\tAll\tRe: Point setup\t2024-03-06T12:30:00\n"
         "4\tIvan Petrov\tAll\tRe^2: Point setup\t2024-03-07T12:30:00\n"
         "3\tAnna K\tAll\t\xD0\x9E\xD1\x82\xD0\xB2\xD0\xB5\xD1\x82\t2024-03-04T12:30:00\n"},
        {{"--sort", "date", "--threads"},
         "3\tAnna K\tAll\t\xD0\x9E\xD1\x82\xD0\xB2\xD0\xB5\xD1\x82\t2024-03-04T12:30:00\n"
         "1\tIvan Petrov\tAll\tPoint setup\t2024-03-05T12:30:00\n"
         "  2\tPetr Sidorov\tAll\tRe: Point setup\t2024-03-06T12:30:00\n"
         "    4\tIvan Petrov\tAll\tRe^2: Point setup\t2024-03-07T12:30:00\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"list", Area};
        args.insert(args.end(), c.Options.begin(), c.Options.end());
        const auto result = Invoke(args);
        EXPECT_EQ(result.Status, 0) << result.Err;
        EXPECT_EQ(result.Out, c.Out) << c.Options.size();
    }
}

TEST_F(ListTest, ReportsMisuseAndUnreadableBases) {
    std::filesystem::create_directories(Temp.File("broken"));
    test::WriteFile(Temp.File("broken/area.jhr"), std::string(2000, '\x7F'));
    test::WriteFile(Temp.File("broken/area.jdx"), std::string(8, '\xFF'));
    const struct {
        std::vector<std::string> Args;
        int Status;
    } cases[] = {
        {{"list"}, 2},
        {{"list", Area, Area}, 2},
        {{"list", Area, "--sort", "size"}, 2},
        {{"list", Area, "--user-name", "x"}, 2},
        {{"list", Area, "--user", "256"}, 2},
        {{"list", Temp.File("none.jhr")}, 1},
        {{"list", Temp.File("broken/area.jhr"), "--threads"}, 1},
    };
    for (const auto& c : cases) {
        const auto result = Invoke(c.Args);
        EXPECT_EQ(result.Status, c.Status) << c.Args.back();
        EXPECT_TRUE(result.Out.empty()) << c.Args.back();
        EXPECT_EQ(std::count(result.Err.begin(), result.Err.end(), '\n'), 1) << result.Err;
    }
}
