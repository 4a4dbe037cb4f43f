#include "BaseOpen.h"
#include "CliRun.h"
#include "Command.h"

#include "bases/FidoBase.h"
#include "bases/JamBase.h"
#include "core/Attributes.h"
#include "core/FileChangeHook.h"

#include "TempDir.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <sstream>

using namespace tavro;
using namespace tavro::cli;
using tavro::test::Invoke;
using tavro::test::ReadFile;
using tavro::test::TCliResult;
using tavro::test::TTempDir;
using tavro::test::WriteFile;

namespace {

// Message n has the subject "Message n" and a body of the given stored bytes.
void WriteArea(const std::string& dir, int count, const std::string& body = "Hi") {
    std::filesystem::create_directories(dir);
    TFidoBase base(dir, "", "");
    base.CodePages = TCodePagePair::Identity();
    base.DoNotIgnoreSoftCR = true;
    base.Rescan();
    for (int n = 1; n <= count; ++n) {
        auto msg = base.NewMsg();
        msg->FromName = "\x88\xA2\xA0\xAD"; // CP866
        msg->ToName = "All";
        msg->Subject = "Message " + std::to_string(n);
        msg->FromAddr = TAddress(2, 5020, 1, 5);
        msg->ToAddr = TAddress(2, 5020, 2);
        msg->DateWritten = EncodeDateTime(2024, 1, 5, 10, 3, 0);
        msg->DateArrived = EncodeDateTime(2024, 1, 5, 12, 0, 0);
        msg->Kludges = {"\x01MSGID: 2:5020/1.5 0000000" + std::to_string(n)};
        msg->Body = {TBodyLine(body), TBodyLine("--- Tavro")};
        msg->Tail = {"SEEN-BY: 5020/1 2"};
        ASSERT_TRUE(msg->Save());
    }
}

// Every *.msg file of a directory by name, with its bytes.
std::map<std::string, std::string> MsgFiles(const std::string& dir) {
    std::map<std::string, std::string> files;
    if (!std::filesystem::is_directory(dir))
        return files;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.path().extension() == ".msg")
            files[entry.path().filename().string()] = ReadFile(entry.path().string());
    return files;
}

// The messages of a dump without their ids: a *.MSG area numbers from 2, the others from 1.
std::string MessagesWithoutIds(const std::string& json) {
    std::string out;
    std::istringstream in(json.substr(std::min(json.find("\"messages\""), json.size())));
    for (std::string line; std::getline(in, line);)
        if (line.find("\"id\": ") == std::string::npos)
            out += line + '\n';
    return out;
}

class CopyTest : public ::testing::Test {
protected:
    TTempDir Temp;
    std::string Source = Temp.File("source");
};

} // namespace

TEST_F(CopyTest, CreatesAMissingTargetAndGivesTheCopiesItsOwnIds) {
    WriteArea(Source, 3);
    const auto before = MsgFiles(Source);
    const std::string target = Temp.File("new/nested/area");
    // A new area's first message is 2.msg: tossers keep 1.msg for themselves.
    TCliResult r = Invoke({"copy", Source, target, "--ids", "3-4"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "copied 2 messages\n");
    EXPECT_EQ(r.Err, "");
    EXPECT_EQ(MsgFiles(Source), before);
    auto copied = MsgFiles(target);
    ASSERT_EQ(copied.size(), 2u);
    EXPECT_EQ(copied["2.msg"], before.at("3.msg"));
    EXPECT_EQ(copied["3.msg"], before.at("4.msg"));

    // Into the now existing target, after what it holds.
    r = Invoke({"copy", Source, target, "--ids", "2"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "copied 1 message\n");
    EXPECT_EQ(MsgFiles(target)["4.msg"], before.at("2.msg"));
}

TEST_F(CopyTest, KeepsEveryStoredByte) {
    // SoftCR, the CP866 "р" that shares its byte with a SoftCR look-alike, and box drawing.
    WriteArea(Source, 1, "\x8F\xE0\xA8\xA2\xA5\xE2\x8D \xE0\xC4\xB3 end");
    const std::string target = Temp.File("target");
    TCliResult r = Invoke({"copy", Source, target});
    ASSERT_EQ(r.Status, 0) << r.Err;
    const std::string original = ReadFile(Source + "/2.msg");
    const std::string copy = ReadFile(target + "/2.msg");
    ASSERT_GT(original.size(), FidoHeaderSize);
    EXPECT_EQ(copy.substr(FidoHeaderSize), original.substr(FidoHeaderSize));
    EXPECT_EQ(copy.substr(0, 144), original.substr(0, 144)); // names and subject
    EXPECT_EQ(copy, original);
}

TEST_F(CopyTest, MoveDeletesWhatItMoved) {
    const struct {
        std::vector<std::string> Options;
        std::string Summary;
        size_t Left;
    } cases[] = {
        {{"--ids", "2,4"}, "moved 2 messages\n", 18},
        {{}, "moved 20 messages\n", 0}, // past the batches of 16
    };
    for (const auto& c : cases) {
        TTempDir temp;
        const std::string source = temp.File("source"), target = temp.File("target");
        WriteArea(source, 20);
        const auto before = MsgFiles(source);
        std::vector<std::string> args = {"copy", source, target, "--move"};
        args.insert(args.end(), c.Options.begin(), c.Options.end());
        TCliResult r = Invoke(args);
        ASSERT_EQ(r.Status, 0) << r.Err;
        EXPECT_EQ(r.Out, c.Summary);

        const auto left = MsgFiles(source);
        const auto moved = MsgFiles(target);
        EXPECT_EQ(left.size(), c.Left);
        EXPECT_EQ(moved.size() + left.size(), before.size());
        // Every original is either still in the source or, in order, in the target.
        size_t next = 2;
        for (int n = 2; n <= 21; ++n) {
            const std::string name = std::to_string(n) + ".msg";
            if (left.contains(name))
                EXPECT_EQ(left.at(name), before.at(name));
            else
                EXPECT_EQ(moved.at(std::to_string(next++) + ".msg"), before.at(name)) << name;
        }
    }
}

TEST_F(CopyTest, StopsAtADamagedMessageKeepingWhatWasNotTransferred) {
    for (bool move : {false, true}) {
        TTempDir temp;
        const std::string source = temp.File("source"), target = temp.File("target");
        WriteArea(source, 4);
        WriteFile(source + "/4.msg", "too short for a header");
        const auto before = MsgFiles(source);
        std::vector<std::string> args = {"copy", source, target};
        if (move)
            args.push_back("--move");
        TCliResult r = Invoke(args);
        EXPECT_EQ(r.Status, ExitFailure);
        EXPECT_EQ(r.Out, "");
        EXPECT_EQ(
            r.Err.rfind("tavro-cli copy: could not " + std::string(move ? "move" : "copy") + " message 4", 0),
            0u)
            << r.Err;
        EXPECT_NE(r.Err.find(move ? "moved 2 messages before it" : "copied 2 messages before it"),
                  std::string::npos)
            << r.Err;
        EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 1) << r.Err;

        const auto copied = MsgFiles(target);
        ASSERT_EQ(copied.size(), 2u);
        EXPECT_EQ(copied.at("2.msg"), before.at("2.msg"));
        EXPECT_EQ(copied.at("3.msg"), before.at("3.msg"));
        auto expectedLeft = before;
        if (move)
            expectedLeft.erase("2.msg"), expectedLeft.erase("3.msg");
        EXPECT_EQ(MsgFiles(source), expectedLeft);
    }
}

TEST_F(CopyTest, RefusesToCopyABaseOntoItself) {
    WriteArea(Source, 2);
    const auto before = MsgFiles(Source);
    std::filesystem::create_directory_symlink(Source, Temp.File("link"));
    for (const std::string& target :
         {Source, Source + "/", Source + "/.", Temp.File("link"), Temp.File("SOURCE")}) {
        TCliResult r = Invoke({"copy", Source, target, "--move"});
        EXPECT_EQ(r.Status, ExitUsage) << target;
        EXPECT_NE(r.Err.find("onto itself"), std::string::npos) << r.Err;
        EXPECT_EQ(MsgFiles(Source), before) << target;
    }
}

TEST_F(CopyTest, MisuseAndFailuresChangeNothing) {
    WriteArea(Source, 2);
    const auto before = MsgFiles(Source);
    WriteFile(Temp.File("notes.txt"), "text");
    const std::string target = Temp.File("target");
    const struct {
        std::vector<std::string> Args;
        int Status;
        std::string Text;
    } cases[] = {
        {{Source}, ExitUsage, "SRC DST"},
        {{Source, target, "--bogus"}, ExitUsage, "unknown option"},
        {{Source, target, "--to-type", "hudson"}, ExitUsage, "unknown base type"},
        {{Source, target, "--ids", "x"}, ExitUsage, "--ids"},
        {{Temp.File("missing"), target}, ExitFailure, "no such base"},
        {{Source, target, "--ids", "2,7", "--move"}, ExitFailure, "no message with id 7"},
        {{Source, Temp.File("notes.txt")}, ExitUsage, "cannot tell the base type"},
        {{Source, Temp.File("notes.txt"), "--to-type", "msg"}, ExitFailure, "is not a msg base"},
        {{Source, Temp.File("new.dir")}, ExitUsage, "cannot tell the base type"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"copy"};
        args.insert(args.end(), c.Args.begin(), c.Args.end());
        TCliResult r = Invoke(args);
        EXPECT_EQ(r.Status, c.Status) << r.Err;
        EXPECT_EQ(r.Out, "");
        EXPECT_EQ(r.Err.rfind("tavro-cli copy: ", 0), 0u) << r.Err;
        EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 1) << r.Err;
        EXPECT_NE(r.Err.find(c.Text), std::string::npos) << r.Err;
        EXPECT_FALSE(std::filesystem::exists(target)) << r.Err;
        EXPECT_EQ(MsgFiles(Source), before) << r.Err;
    }
    EXPECT_EQ(ReadFile(Temp.File("notes.txt")), "text");
}

TEST_F(CopyTest, ConvertsAnAreaToSquishAndBackUnchanged) {
    std::filesystem::create_directories(Source);
    {
        TFidoBase base(Source, "", "NETMAIL");
        base.CodePages = TCodePagePair::Identity();
        base.DoNotIgnoreSoftCR = true;
        base.Rescan();
        const uint32_t attrs[] = {atPvt | atCra | atKS | atLoc | atAtt, atHld | atFrq | atRcv | atSnt,
                                  atRRq | atArq | atRRc | atTrs | atOrp | atURq};
        int n = 0;
        for (uint32_t attr : attrs) {
            auto msg = base.NewMsg();
            msg->FromName = "\x88\xA2\xA0\xAD \x8F\xA5\xE2\xE0\xAE\xA2"; // CP866
            msg->ToName = std::string(36, 'T');
            msg->Subject = "Subject \xE0\x8D " + std::to_string(++n);
            msg->FromAddr = TAddress(2, 5020, 100, 7);
            msg->ToAddr = TAddress(2, 5030, 200 + n);
            msg->DateWritten = EncodeDateTime(2024, 1, 5 + n, 10, 3, 2 * n);
            msg->DateArrived = EncodeDateTime(2024, 2, 5 + n, 11, 4, 6);
            msg->Attr = attr;
            msg->Kludges = {"\x01INTL 2:5030/" + std::to_string(200 + n) + " 2:5020/100",
                            "\x01"
                            "FMPT 7",
                            "\x01MSGID: 2:5020/100.7 0000000" + std::to_string(n),
                            "\x01"
                            "FLAGS DIR KFS"};
            msg->Body = {{"Line with SoftCR \x8D and \xE0 and box \xC4\xB3"}, {""}, {"--- Tavro"}};
            msg->Tail = {"SEEN-BY: 5020/1 2", "\x01PATH: 5020/1"};
            ASSERT_TRUE(msg->Save());
        }
    }
    const auto original = MsgFiles(Source);
    const std::string squish = Temp.File("squish/Area.SQD"), back = Temp.File("back");
    TCliResult r = Invoke({"copy", Source, squish});
    ASSERT_EQ(r.Status, 0) << r.Err;
    r = Invoke({"copy", squish, back});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(MsgFiles(back), original);

    // What the Squish base holds reads as the original does.
    TCliResult fromMsg = Invoke({"dump", Source, "--raw"});
    TCliResult fromSquish = Invoke({"dump", squish, "--raw"});
    ASSERT_EQ(fromSquish.Status, 0) << fromSquish.Err;
    EXPECT_EQ(MessagesWithoutIds(fromSquish.Out), MessagesWithoutIds(fromMsg.Out));
}

TEST_F(CopyTest, CarriesJamMessagesThroughSquishAndMsg) {
    const std::string jam = Temp.File("jam/area.jhr");
    std::filesystem::create_directories(Temp.File("jam"));
    {
        TJamBase base(jam, "RU.TEST", "");
        ASSERT_TRUE(base.CreateIfMissing());
        base.CodePages = TCodePagePair::Identity();
        base.DoNotIgnoreSoftCR = true;
        base.Rescan();
        for (int n = 1; n <= 3; ++n) {
            auto msg = base.NewMsg();
            msg->FromName = "\x88\xA2\xA0\xAD \x8F\xA5\xE2\xE0\xAE\xA2"; // CP866
            msg->ToName = "All";
            msg->Subject = "Subject \xE0\x8D " + std::to_string(n);
            msg->FromAddr = TAddress(2, 5020, 100, 7);
            msg->ToAddr = TAddress(2, 5030, 200);
            msg->DateWritten = EncodeDateTime(2024, 1, 5 + n, 10, 3, 2 * n);
            msg->DateArrived = EncodeDateTime(2024, 2, 5 + n, 11, 4, 6);
            msg->Attr = n == 1 ? atLoc | atPvt : atSnt | atKS;
            msg->Kludges = {"\x01MSGID: 2:5020/100.7 0000000" + std::to_string(n),
                            "\x01REPLY: 2:5030/200 12345678", "\x01PID: Tavro",
                            "\x01"
                            "CHRS: CP866 2",
                            "\x01"
                            "FLAGS DIR"};
            msg->Body = {{"Line with SoftCR \x8D and \xE0 and box \xC4\xB3"}, {""}, {"--- Tavro"}};
            msg->Tail = {"SEEN-BY: 5020/1 2", "\x01PATH: 5020/1"};
            ASSERT_TRUE(msg->Save());
        }
    }
    auto messages = [](const std::string& base) {
        TCliResult dump = Invoke({"dump", base, "--raw"});
        EXPECT_EQ(dump.Status, 0) << dump.Err;
        return MessagesWithoutIds(dump.Out);
    };
    const std::string original = messages(jam);
    for (const std::string& via : {Temp.File("via.sqd"), Temp.File("via-msg")}) {
        SCOPED_TRACE(via);
        const std::string back = Temp.File("back-" + std::filesystem::path(via).filename().string() + ".jhr");
        ASSERT_EQ(Invoke({"copy", jam, via}).Status, 0);
        EXPECT_EQ(messages(via).substr(0, 200), original.substr(0, 200));
        TCliResult r = Invoke({"copy", via, back});
        ASSERT_EQ(r.Status, 0) << r.Err;
        EXPECT_EQ(r.Out, "copied 3 messages\n");
        EXPECT_EQ(messages(back), original);
    }
}

TEST_F(CopyTest, AMoveWhoseDeletesFailStopsAfterTheBatchWithEveryOriginalKept) {
    WriteArea(Source, 20);
    const auto before = MsgFiles(Source);
    const std::string target = Temp.File("target");
    // The source's files cannot be removed or renamed; writing elsewhere works.
    SetFileChangeHook([prefix = Source + "/"](TFileChange change, const std::string& name) {
        return change != TFileChange::Write && name.starts_with(prefix) ? 13 /* EACCES */ : 0;
    });
    TCliResult r = Invoke({"copy", Source, target, "--move"});
    SetFileChangeHook({});
    EXPECT_EQ(r.Status, ExitFailure);
    EXPECT_EQ(r.Out, "");
    EXPECT_NE(r.Err.find("tavro-cli copy: message 2 was copied but could not be deleted from the source; "
                         "moved 0 messages\n"),
              std::string::npos)
        << r.Err;
    // The first batch is in the target, every original still in the source.
    EXPECT_EQ(MsgFiles(Source), before);
    const auto copied = MsgFiles(target);
    ASSERT_EQ(copied.size(), 16u);
    EXPECT_EQ(copied.at("17.msg"), before.at("17.msg"));
}
