#include "CliRun.h"

#include "bases/JamFormat.h"
#include "bases/SquishFormat.h"
#include "config/AddressBookFile.h"
#include "config/Config.h"
#include "config/ConfigFile.h"
#include "config/UsersFile.h"
#include "core/CodePage.h"
#include "core/DateTime.h"
#include "core/Endian.h"
#include "core/FileChangeHook.h"
#include "nodelist/Nodelist.h"
#include "reader/OwnNames.h"

#include "Crashmail.h"
#include "FileFaults.h"
#include "TempDir.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sys/stat.h>

using namespace tavro;
using tavro::test::Invoke;
using tavro::test::ReadFile;
using tavro::test::TCliResult;
using tavro::test::TDump;
using tavro::test::TDumpedMsg;
using tavro::test::TTempDir;

namespace fs = std::filesystem;

namespace {

struct TAreaCase {
    const char* Tag;
    const char* Kind;
    const char* Format;
    const char* Path; // under the home
    int Count;
    bool Linked; // the base stores reply links
    bool Unread; // the user has unread mail there
};

const TAreaCase Areas[] = {
    {"NETMAIL", "Netmail", "MSG", "mail/netmail/", 11, false, true},
    {"BADMAIL", "Corrupted mail", "MSG", "mail/bad/", 2, false, true},
    {"SU.GENERAL", "Echomail", "JAM", "mail/echo/su.general.jhr", 300, true, true},
    {"RU.LINUX", "Echomail", "Squish", "mail/echo/ru.linux.sqd", 120, false, true},
    {"RU.FTN.DEVELOP", "Echomail", "JAM", "mail/echo/ru.ftn.develop.jhr", 60, true, true},
    {"N5020.LOCAL", "Echomail", "JAM", "mail/echo/n5020.local.jhr", 40, true, false},
};

constexpr const char* UserName = "Andrey Volkov";
constexpr const char* UserAddress = "2:5020/1234.5";

bool IsEchomail(const TAreaCase& area) {
    return std::string(area.Kind) == "Echomail";
}

// The text after a kludge's name in a dumped message; empty when it has none.
std::string KludgeOf(const TDumpedMsg& msg, const std::string& name) {
    for (const std::string& line : msg.List("kludges"))
        if (line.starts_with("\x01" + name + ": "))
            return line.substr(name.size() + 3);
    return {};
}

bool AnyLine(const std::vector<std::string>& lines, const std::function<bool(const std::string&)>& test) {
    return std::any_of(lines.begin(), lines.end(), test);
}

TDump DumpOf(const std::string& path) {
    const TCliResult r = Invoke({"dump", path, "--user", "0"});
    EXPECT_EQ(r.Status, 0) << path << ": " << r.Err;
    TDump dump;
    EXPECT_EQ(test::ParseDump(r.Out, dump), "") << path;
    return dump;
}

// One demo home, written once, for the tests that only read it.
struct TSharedDemo {
    TTempDir Dir;
    std::string Home = Dir.File("home");
    TCliResult Result = Invoke({"demo", Home});
    std::map<std::string, TDump> Dumps;

    std::string PathOf(const TAreaCase& area) const { return Home + "/" + area.Path; }
    const TDump& Dump(const TAreaCase& area) {
        auto found = Dumps.find(area.Tag);
        if (found == Dumps.end())
            found = Dumps.emplace(area.Tag, DumpOf(PathOf(area))).first;
        return found->second;
    }
};

TSharedDemo& Demo() {
    static TSharedDemo demo;
    return demo;
}

class DemoHomeTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(Demo().Result.Status, 0) << Demo().Result.Err; }
    const std::string& Home() const { return Demo().Home; }
};

void LoadAll(TConfig& config, const std::string& home) {
    LoadConfig(config, ConfigFileName(home));
    LoadUsers(config, UsersFileName(home));
    LoadAddressBook(config, AddressBookFileName(home));
}

void CollectAreas(const std::vector<std::unique_ptr<TTreeInfo>>& nodes, int depth, std::vector<TEcho*>& areas,
                  int& deepest) {
    for (const auto& node : nodes) {
        if (node->IsFolder()) {
            CollectAreas(node->Children, depth + 1, areas, deepest);
        } else {
            areas.push_back(node->Echo);
            deepest = std::max(deepest, depth);
        }
    }
}

std::string Sibling(const std::string& path, const char* extension) {
    return path.substr(0, path.size() - 3) + extension;
}

const uint8_t* Bytes(const std::string& data, size_t offset) {
    return reinterpret_cast<const uint8_t*>(data.data() + offset);
}

struct TJamInfo {
    uint32_t Number, ReplyTo, Reply1st, ReplyNext;
    std::string MsgId, Reply;
};

// One message header of a JAM base, checked against the index and the text file: signature,
// number, subfields that add up, the CRCs other programs search by and a text inside .JDT.
TJamInfo CheckJamHeader(const std::string& headers, size_t textSize, const TJamIndexRecord& record,
                        uint32_t number) {
    TJamInfo info{};
    const uint32_t at = record.HeaderOffset;
    if (uint64_t(at) + JamMsgHeaderSize > headers.size()) {
        ADD_FAILURE() << "message " << number << " lies outside the header file";
        return info;
    }
    const uint8_t* h = Bytes(headers, at);
    EXPECT_EQ(headers.substr(at, 4), JamSignature) << number;
    const uint32_t subfieldLength = GetLE32(h + jhSubfieldLen);
    EXPECT_LE(uint64_t(at) + JamMsgHeaderSize + subfieldLength, headers.size()) << number;
    info = {GetLE32(h + jhMsgNum),
            GetLE32(h + jhReplyTo),
            GetLE32(h + jhReply1st),
            GetLE32(h + jhReplyNext),
            {},
            {}};
    EXPECT_EQ(info.Number, number);
    std::string to;
    EXPECT_TRUE(ParseJamSubfields(std::string_view(headers).substr(at + JamMsgHeaderSize, subfieldLength),
                                  [&](const TJamSubfield& field) {
                                      if (field.Id == jsMsgId)
                                          info.MsgId = field.Data;
                                      else if (field.Id == jsReplyId)
                                          info.Reply = field.Data;
                                      else if (field.Id == jsReceiverName)
                                          to = field.Data;
                                  }))
        << number;
    EXPECT_FALSE(info.MsgId.empty()) << number;
    EXPECT_EQ(GetLE32(h + jhMsgIdCrc), JamCrc(info.MsgId)) << number;
    if (!info.Reply.empty()) {
        EXPECT_EQ(GetLE32(h + jhReplyCrc), JamCrc(info.Reply)) << number;
    }
    EXPECT_EQ(record.ToCrc, JamCrc(to)) << number;
    EXPECT_LE(uint64_t(GetLE32(h + jhTxtOffset)) + GetLE32(h + jhTxtLen), textSize) << number;
    return info;
}

// The reply links: each names the message whose MSGID its REPLY names, and a parent's chain
// of answers (first answer, then each one's next) lists exactly the messages that answer it.
void CheckJamLinks(const std::vector<TJamInfo>& msgs) {
    std::map<uint32_t, const TJamInfo*> byNumber;
    for (const TJamInfo& msg : msgs)
        byNumber[msg.Number] = &msg;
    for (const TJamInfo& msg : msgs) {
        if (msg.ReplyTo == 0)
            continue;
        ASSERT_TRUE(byNumber.contains(msg.ReplyTo)) << msg.Number;
        EXPECT_EQ(byNumber[msg.ReplyTo]->MsgId, msg.Reply) << msg.Number;
    }
    for (const TJamInfo& parent : msgs) {
        std::vector<uint32_t> chain, answers;
        for (uint32_t n = parent.Reply1st; n != 0 && chain.size() <= msgs.size();
             n = byNumber[n]->ReplyNext) {
            ASSERT_TRUE(byNumber.contains(n)) << parent.Number;
            chain.push_back(n);
        }
        for (const TJamInfo& msg : msgs)
            if (msg.ReplyTo == parent.Number)
                answers.push_back(msg.Number);
        EXPECT_EQ(chain, answers) << parent.Number;
    }
}

void ExpectJamBaseIsSound(const std::string& jhr, size_t count) {
    const std::string headers = ReadFile(jhr);
    const std::string text = ReadFile(Sibling(jhr, "jdt"));
    ASSERT_GE(headers.size(), JamBaseHeaderSize) << jhr;
    const TJamBaseHeader base = TJamBaseHeader::Decode(Bytes(headers, 0));
    EXPECT_TRUE(base.HasSignature()) << jhr;
    EXPECT_EQ(base.ActiveMsgs, count) << jhr;
    const std::vector<TJamIndexRecord> index = DecodeJamIndex(ReadFile(Sibling(jhr, "jdx")));
    ASSERT_EQ(index.size(), count) << jhr;
    std::vector<TJamInfo> msgs;
    for (size_t i = 0; i < count; ++i)
        msgs.push_back(
            CheckJamHeader(headers, text.size(), index[i], base.BaseMsgNum + static_cast<uint32_t>(i)));
    CheckJamLinks(msgs);
}

// The frame chain from the first frame: each frame signed, linked both ways, inside the
// file, its parts inside the frame; the free chain empty.
std::vector<uint32_t> SquishFrames(const std::string& data, const TSqBaseHeader& header, size_t count) {
    std::vector<uint32_t> frames;
    uint32_t previous = 0;
    for (uint32_t at = header.BeginFrame; at != 0 && frames.size() <= count;) {
        if (uint64_t(at) + SqFrameHeaderSize > data.size()) {
            ADD_FAILURE() << "a frame lies outside the data file";
            break;
        }
        const TSqFrameHeader frame = TSqFrameHeader::Decode(Bytes(data, at));
        EXPECT_EQ(frame.Id, SqFrameSignature) << at;
        EXPECT_EQ(frame.FrameType, SqFrameMessage) << at;
        EXPECT_EQ(frame.Prev, previous) << at;
        EXPECT_LE(uint64_t(at) + SqFrameHeaderSize + frame.FrameLength, data.size()) << at;
        EXPECT_LE(frame.MsgLength, frame.FrameLength) << at;
        EXPECT_LE(uint64_t(frame.CtrlLength) + SqMsgHeaderSize, frame.MsgLength) << at;
        frames.push_back(at);
        previous = at;
        at = frame.Next;
    }
    EXPECT_EQ(header.FreeFrame, 0u);
    return frames;
}

void ExpectSquishBaseIsSound(const std::string& sqd, size_t count) {
    const std::string data = ReadFile(sqd);
    ASSERT_GE(data.size(), SqBaseHeaderSize) << sqd;
    const TSqBaseHeader header = TSqBaseHeader::Decode(Bytes(data, 0));
    EXPECT_EQ(header.NumMsg, count);
    EXPECT_EQ(header.EndFrame, data.size());
    const std::vector<uint32_t> frames = SquishFrames(data, header, count);
    ASSERT_EQ(frames.size(), count);
    EXPECT_EQ(header.LastFrame, frames.back());
    const std::vector<TSqIndexRecord> index = DecodeSqIndex(ReadFile(Sibling(sqd, "sqi")), count);
    ASSERT_EQ(index.size(), count);
    uint32_t lastId = 0;
    for (size_t k = 0; k < count; ++k) {
        const uint8_t* msg = Bytes(data, frames[k] + SqFrameHeaderSize);
        const std::string_view to(reinterpret_cast<const char*>(msg + smTo), 36);
        EXPECT_EQ(index[k].Offset, frames[k]) << k;
        EXPECT_GT(index[k].UmsgId, lastId) << k;
        EXPECT_LT(index[k].UmsgId, header.Uid) << k;
        EXPECT_EQ(index[k].Hash, SquishHash(to.substr(0, to.find('\0')))) << k;
        lastId = index[k].UmsgId;
    }
}

// Numbered files from 2.msg on, none in 1.msg where tossers keep their high-water mark.
void ExpectMsgDirectoryIsSound(const std::string& dir, size_t count) {
    EXPECT_FALSE(fs::exists(dir + "/1.msg"));
    for (size_t n = 2; n < count + 2; ++n) {
        const std::string file = dir + "/" + std::to_string(n) + ".msg";
        ASSERT_TRUE(fs::exists(file)) << file;
        EXPECT_GT(fs::file_size(file), 190u) << file;
    }
    EXPECT_FALSE(fs::exists(dir + "/" + std::to_string(count + 2) + ".msg"));
}

} // namespace

TEST(DemoCommand, MisuseIsExitTwoAndWritesNothing) {
    TTempDir dir;
    const std::string home = dir.File("home");
    const std::vector<std::vector<std::string>> cases = {
        {"demo"}, {"demo", home, dir.File("other")}, {"demo", "--bogus", home}, {"demo", ""}};
    for (const auto& args : cases) {
        const TCliResult r = Invoke(args);
        EXPECT_EQ(r.Status, 2) << args.size();
        EXPECT_TRUE(r.Err.starts_with("tavro-cli demo: ")) << r.Err;
        EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 1) << r.Err;
        EXPECT_FALSE(fs::exists(home));
        EXPECT_EQ(r.Out, "");
    }
}

// A directory with anything in it, the demo's own or not, and a file in DIR's place are
// refused with one line, and not a byte changes.
TEST(DemoCommand, RefusesWhatIsNotANewOrEmptyDirectory) {
    TTempDir dir;
    const std::string demo = dir.File("demo"), other = dir.File("other"), file = dir.File("file");
    ASSERT_EQ(Invoke({"demo", demo}).Status, 0);
    fs::create_directories(other);
    test::WriteFile(other + "/notes.txt", "mine");
    test::WriteFile(file, "a file");
    const auto before = test::Snapshot(dir.Path());
    for (const std::string& target : {demo, other, file}) {
        const TCliResult r = Invoke({"demo", target});
        EXPECT_EQ(r.Status, 1) << target;
        EXPECT_TRUE(r.Err.starts_with("tavro-cli demo: " + target)) << r.Err;
        EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 1) << r.Err;
    }
    EXPECT_EQ(test::Snapshot(dir.Path()), before);
}

// An empty directory is filled; a missing one is made with its parents, for the user alone;
// a relative path becomes absolute in the configuration.
TEST(DemoCommand, WritesIntoAnEmptyOrMissingDirectory) {
    TTempDir dir;
    const std::string empty = dir.File("empty"), deep = dir.File("a/b/home");
    fs::create_directories(empty);
    for (const std::string& home : {empty, deep}) {
        const TCliResult r = Invoke({"demo", home});
        EXPECT_EQ(r.Status, 0) << r.Err;
        EXPECT_EQ(r.Err, "");
        EXPECT_TRUE(r.Out.starts_with("wrote a demo home to " + home + ": 6 areas, 533 messages, ")) << r.Out;
        TConfig config;
        LoadConfig(config, ConfigFileName(home));
        ASSERT_EQ(config.Echoes.size(), 6u) << home;
        EXPECT_EQ(config.Echoes.front()->Path, home + "/mail/netmail/");
    }
    struct stat st {};
    ASSERT_EQ(::stat(deep.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0077, 0u);

    const fs::path previous = fs::current_path();
    fs::current_path(dir.Path());
    const TCliResult r = Invoke({"demo", "relative/home"});
    fs::current_path(previous);
    ASSERT_EQ(r.Status, 0) << r.Err;
    TConfig config;
    LoadConfig(config, ConfigFileName(dir.File("relative/home")));
    ASSERT_FALSE(config.Echoes.empty());
    EXPECT_EQ(config.Echoes.front()->Path, dir.File("relative/home/mail/netmail/"));
}

// A write that fails anywhere, in a base, the nodelist index or the configuration files,
// fails the command and takes back everything: a made home is gone with its parents, an
// empty one is empty again.
TEST(DemoCommand, AFailedWriteLeavesTheDirectoryAsItWas) {
    TTempDir dir;
    int changes = 0;
    {
        test::TFileChangeFault counter(INT_MAX);
        ASSERT_EQ(Invoke({"demo", dir.File("count")}).Status, 0);
        changes = counter.Changes();
    }
    ASSERT_GT(changes, 100);
    const std::string empty = dir.File("empty");
    fs::create_directories(empty);
    for (int k : {1, changes / 3, changes / 2, changes - 5, changes - 1, changes}) {
        const bool intoEmpty = k % 2 == 0;
        const std::string home = intoEmpty ? empty : dir.File("made/home");
        test::TFileChangeFault fault(k);
        const TCliResult r = Invoke({"demo", home});
        EXPECT_TRUE(fault.Hit()) << k;
        EXPECT_EQ(r.Status, 1) << k;
        EXPECT_NE(r.Err.find("tavro-cli demo: "), std::string::npos) << k << r.Err;
        if (intoEmpty) {
            EXPECT_TRUE(fs::is_empty(empty)) << k;
        } else {
            EXPECT_FALSE(fs::exists(dir.File("made"))) << k;
        }
    }
}

// The bases take no note when their read marks or last-read pointers cannot be saved; the
// demo does, since it would otherwise start with everything unread.
TEST(DemoCommand, ReadMarksThatCannotBeSavedFailTheCommand) {
    TTempDir dir;
    for (const char* file : {"/readings", "/lastread", ".sqr", ".sql", ".jrd", ".jlr"}) {
        SetFileChangeHook([file](TFileChange, const std::string& name) {
            return name.find(file) != std::string::npos ? EIO : 0;
        });
        const TCliResult r = Invoke({"demo", dir.File("home")});
        SetFileChangeHook({});
        EXPECT_EQ(r.Status, 1) << file;
        EXPECT_NE(r.Err.find("read marks"), std::string::npos) << file << r.Err;
        EXPECT_FALSE(fs::exists(dir.File("home"))) << file;
    }
}

// The texts, threads, read marks and dates are the same on every run of the same day.
TEST(DemoCommand, WritesTheSameDemoOnEveryRun) {
    TTempDir dir;
    const double day = std::floor(Now());
    ASSERT_EQ(Invoke({"demo", dir.File("one")}).Status, 0);
    ASSERT_EQ(Invoke({"demo", dir.File("two")}).Status, 0);
    if (std::floor(Now()) != day)
        GTEST_SKIP() << "the day changed between the runs";
    for (const TAreaCase& area : Areas) {
        const TCliResult one = Invoke({"dump", dir.File("one/") + area.Path, "--user", "0"});
        const TCliResult two = Invoke({"dump", dir.File("two/") + area.Path, "--user", "0"});
        ASSERT_EQ(one.Status, 0) << one.Err;
        // The dumps name their paths; all else must agree.
        EXPECT_EQ(one.Out.substr(one.Out.find("\"count\"")), two.Out.substr(two.Out.find("\"count\"")))
            << area.Tag;
    }
}

TEST_F(DemoHomeTest, LoadsWithTheLibrarysLoaders) {
    TConfig config;
    ASSERT_NO_THROW(LoadAll(config, Home()));
    ASSERT_EQ(config.Echoes.size(), std::size(Areas));
    for (size_t i = 0; i < config.Echoes.size(); ++i) {
        EXPECT_EQ(config.Echoes[i]->Name, Areas[i].Tag);
        EXPECT_EQ(config.Echoes[i]->Path, Home() + "/" + Areas[i].Path);
        EXPECT_EQ(config.Echoes[i]->Address.ToStr(), UserAddress);
        EXPECT_FALSE(config.Echoes[i]->Origin.empty());
    }
    ASSERT_EQ(config.Users.size(), 1u);
    const TUser& user = *config.Users.front();
    EXPECT_EQ(user.Name, UserName);
    EXPECT_EQ(user.UserId, 0);
    const TCodePage& display = *TCodePagePair::Default().Display();
    EXPECT_EQ(user.RealName, display.FromUtf8("Андрей Волков"));
    EXPECT_FALSE(user.HighlightNames.empty());
    EXPECT_FALSE(config.ABUsers.empty());
    EXPECT_FALSE(config.ABGroups.empty());
    EXPECT_FALSE(config.Settings.Origins.empty());
    EXPECT_EQ(config.Settings.NdlDir, Home() + "/nodelist");
    EXPECT_FALSE(config.Settings.NdlMasks.empty());
}

// Every area once, in folders two levels deep and at the top level.
TEST_F(DemoHomeTest, TheUsersTreeHoldsEveryAreaOnce) {
    TConfig config;
    LoadAll(config, Home());
    ASSERT_EQ(config.Users.size(), 1u);
    std::vector<TEcho*> inTree;
    int deepest = 0;
    CollectAreas(config.Users.front()->AreaTree, 0, inTree, deepest);
    std::vector<TEcho*> configured;
    for (const auto& echo : config.Echoes)
        configured.push_back(echo.get());
    std::sort(inTree.begin(), inTree.end());
    std::sort(configured.begin(), configured.end());
    EXPECT_EQ(inTree, configured);
    EXPECT_EQ(deepest, 2);
    const auto& top = config.Users.front()->AreaTree;
    EXPECT_TRUE(std::any_of(top.begin(), top.end(), [](const auto& node) { return !node->IsFolder(); }));
}

TEST_F(DemoHomeTest, AreasListsEachAreaWithItsCountAndUnreadMail) {
    std::string expected = "NAME\tKIND\tFORMAT\tAKA\tPATH\tMESSAGES\tUNREAD\n";
    for (const TAreaCase& area : Areas)
        expected += std::string(area.Tag) + "\t" + area.Kind + "\t" + area.Format + "\t" + UserAddress +
                    "\t" + Home() + "/" + area.Path + "\t" + std::to_string(area.Count) + "\t" +
                    (area.Unread ? "yes" : "no") + "\n";
    const TCliResult r = Invoke({"areas", "--home", Home(), "--user", "0"});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Err, "");
    EXPECT_EQ(r.Out, expected);
}

// Every REPLY names a MSGID of its area. Linked areas store each reply's parent and the
// parent's answers; the unlinked one stores none and is threaded by the kludges alone. The
// echo areas hold real conversations: most letters answer another, some several levels down.
TEST_F(DemoHomeTest, RepliesAnswerMessagesOfTheirArea) {
    for (const TAreaCase& area : Areas) {
        const TDump& dump = Demo().Dump(area);
        ASSERT_EQ(dump.Messages.size(), size_t(area.Count)) << area.Tag;
        std::map<std::string, size_t> byMsgId;
        for (size_t i = 0; i < dump.Messages.size(); ++i)
            EXPECT_TRUE(byMsgId.emplace(KludgeOf(dump.Messages[i], "MSGID"), i).second) << area.Tag << i;
        std::vector<int> depth(dump.Messages.size(), 0);
        size_t replies = 0;
        for (size_t i = 0; i < dump.Messages.size(); ++i) {
            const TDumpedMsg& msg = dump.Messages[i];
            const std::string reply = KludgeOf(msg, "REPLY");
            if (reply.empty()) {
                EXPECT_EQ(msg.Value("reply_to"), "0") << area.Tag << i;
                continue;
            }
            ++replies;
            const auto parent = byMsgId.find(reply);
            ASSERT_NE(parent, byMsgId.end()) << area.Tag << " " << reply;
            ASSERT_LT(parent->second, i) << area.Tag;
            depth[i] = depth[parent->second] + 1;
            const TDumpedMsg& answered = dump.Messages[parent->second];
            const std::vector<std::string> answers = answered.List("replies");
            const bool listed = std::find(answers.begin(), answers.end(), msg.Value("id")) != answers.end();
            EXPECT_EQ(msg.Value("reply_to"), area.Linked ? answered.Value("id") : "0") << area.Tag << i;
            EXPECT_EQ(listed, area.Linked) << area.Tag << i;
        }
        if (IsEchomail(area)) {
            EXPECT_GT(replies * 4, dump.Messages.size() * 3) << area.Tag;
            EXPECT_GE(*std::max_element(depth.begin(), depth.end()), 4) << area.Tag;
        }
    }
}

// The user's last-read pointer stands on the last message before the first unread one; the
// user's own letters are read.
TEST_F(DemoHomeTest, LastReadAndReadMarksForTheUser) {
    for (const TAreaCase& area : Areas) {
        const TDump& dump = Demo().Dump(area);
        size_t firstUnread = dump.Messages.size();
        for (size_t i = 0; i < dump.Messages.size(); ++i) {
            if (dump.Messages[i].Value("read") == "false" && firstUnread == dump.Messages.size())
                firstUnread = i;
            if (dump.Messages[i].Value("from") == UserName) {
                EXPECT_EQ(dump.Messages[i].Value("read"), "true") << area.Tag << i;
            }
        }
        EXPECT_EQ(firstUnread < dump.Messages.size(), area.Unread) << area.Tag;
        ASSERT_GT(firstUnread, 0u) << area.Tag;
        EXPECT_EQ(dump.Value("lastread"), dump.Messages[firstUnread - 1].Value("id")) << area.Tag;
    }
}

// Answers to the user's letters come under each of the user's names, every one of which the
// reader takes for the user's own, as the bases store it.
TEST_F(DemoHomeTest, AnswersToTheUserComeUnderTheUsersNames) {
    TConfig config;
    LoadAll(config, Home());
    ASSERT_EQ(config.Users.size(), 1u);
    const TOwnNames own(*config.Users.front());
    const TCodePage& display = *TCodePagePair::Default().Display();
    std::set<std::string> names;
    for (const TAreaCase& area : Areas) {
        if (!IsEchomail(area))
            continue;
        const TDump& dump = Demo().Dump(area);
        std::set<std::string> fromUser;
        for (const TDumpedMsg& msg : dump.Messages) {
            if (msg.Value("from") == UserName)
                fromUser.insert(KludgeOf(msg, "MSGID"));
            if (!fromUser.contains(KludgeOf(msg, "REPLY")))
                continue;
            names.insert(msg.Value("to"));
            EXPECT_TRUE(own.IsOwnName(display.FromUtf8(msg.Value("to"))))
                << area.Tag << " " << msg.Value("to");
        }
    }
    EXPECT_GE(names.size(), 3u);
}

// What the reader has to show in echomail: the kludges, quotes of several levels, tearline,
// origin with the writer's address, SEEN-BY and PATH, links of every kind, Cyrillic text,
// letters to the user under each name, dates over the recent months.
TEST_F(DemoHomeTest, EchomailCarriesWhatTheReaderShows) {
    std::string allText;
    std::set<std::string> sets;
    for (const TAreaCase& area : Areas) {
        if (!IsEchomail(area))
            continue;
        const TDump& dump = Demo().Dump(area);
        for (const TDumpedMsg& msg : dump.Messages) {
            const bool own = msg.Value("from") == UserName;
            // Some editors store their letters in KOI8-R or UTF-8.
            sets.insert(KludgeOf(msg, "CHRS"));
            EXPECT_FALSE(KludgeOf(msg, "PID").empty());
            EXPECT_EQ(KludgeOf(msg, "TZUTC").empty(), own);
            const std::vector<std::string> body = msg.List("body");
            ASSERT_GE(body.size(), 2u);
            EXPECT_TRUE(body[body.size() - 2].starts_with("--- ")) << body[body.size() - 2];
            EXPECT_EQ(body.back().substr(body.back().rfind(" (")), " (" + msg.Value("from_addr") + ")");
            EXPECT_TRUE(body.back().starts_with(" * Origin: "));
            const std::vector<std::string> tail = msg.List("tail");
            EXPECT_EQ(tail.size(), own ? 0u : 2u);
            if (!own) {
                EXPECT_TRUE(tail[0].starts_with("SEEN-BY: "));
                EXPECT_TRUE(tail[1].starts_with("\x01PATH: "));
            }
            for (const std::string& line : body)
                allText += line + "\n";
            EXPECT_LT(msg.Value("date_written"), FormatIsoDateTime(Now()));
            EXPECT_GT(msg.Value("date_written"), FormatIsoDateTime(Now() - 200));
        }
    }
    for (const char* wanted :
         {"\n AV> ", ">> ", ">>> ", "https://", " www.", "@example.", "2:5020/52", "всем"})
        EXPECT_NE(allText.find(wanted), std::string::npos) << wanted;
    EXPECT_EQ(sets, (std::set<std::string>{"CP866 2", "KOI8-R 2", "UTF-8 4"}));
    const TDump& general = Demo().Dump(Areas[2]);
    EXPECT_LT(general.Messages.front().Value("date_written"), FormatIsoDateTime(Now() - 90));
    EXPECT_GT(general.Messages.back().Value("date_written"), FormatIsoDateTime(Now() - 7));
}

// Netmail to and from the user with the zone and point kludges, replies naming their letter.
TEST_F(DemoHomeTest, NetmailGoesBetweenTheUserAndOthers) {
    const TDump& dump = Demo().Dump(Areas[0]);
    size_t fromUser = 0, toUser = 0;
    for (const TDumpedMsg& msg : dump.Messages) {
        const bool own = msg.Value("from_addr") == UserAddress;
        fromUser += own;
        toUser += msg.Value("to_addr") == UserAddress;
        EXPECT_FALSE(KludgeOf(msg, "MSGID").empty());
        EXPECT_TRUE(
            AnyLine(msg.List("kludges"), [](const std::string& k) { return k.starts_with("\x01INTL "); }));
        const char* point = own ? "\x01"
                                  "FMPT 5"
                                : "\x01TOPT 5";
        if (own || msg.Value("to_addr") == UserAddress) {
            EXPECT_TRUE(AnyLine(msg.List("kludges"), [&](const std::string& k) { return k == point; }));
        }
        EXPECT_NE(msg.Value("attributes").find("Pvt"), std::string::npos);
    }
    EXPECT_GE(fromUser, 3u);
    EXPECT_GE(toUser, 5u);
}

// Stored in CP866, as the CHRS kludges say: the OEM bytes of a Cyrillic word are in the
// files, the display page's are not.
TEST_F(DemoHomeTest, TextIsStoredInTheOemCodePage) {
    const std::string word = "всем";
    const std::string oem = TCodePage::Get("CP866")->FromUtf8(word);
    const std::string display = TCodePage::Get("Windows-1251")->FromUtf8(word);
    for (const std::string& file : {Home() + "/mail/echo/su.general.jdt", Home() + "/mail/echo/ru.linux.sqd",
                                    Home() + "/mail/bad/2.msg"}) {
        const std::string data = ReadFile(file);
        EXPECT_NE(data.find(oem), std::string::npos) << file;
        EXPECT_EQ(data.find(display), std::string::npos) << file;
    }
}

TEST_F(DemoHomeTest, BasesPassTheirFormatsChecks) {
    for (const TAreaCase& area : Areas) {
        SCOPED_TRACE(area.Tag);
        const std::string path = Demo().PathOf(area);
        const std::string format = area.Format;
        if (format == "JAM")
            ExpectJamBaseIsSound(path, size_t(area.Count));
        else if (format == "Squish")
            ExpectSquishBaseIsSound(path, size_t(area.Count));
        else
            ExpectMsgDirectoryIsSound(path, size_t(area.Count));
    }
}

// Compiled already: every address a letter comes from is found, points included.
TEST_F(DemoHomeTest, TheNodelistIndexFindsTheWriters) {
    TConfig config;
    LoadConfig(config, ConfigFileName(Home()));
    TNodelistIndex index(config.Settings.NdlDir, Home());
    index.LoadNodelistIndex();
    ASSERT_FALSE(index.Entries().empty());
    EXPECT_FALSE(index.NodelistsChanged());
    std::set<std::string> writers;
    for (const TAreaCase& area : Areas)
        for (const TDumpedMsg& msg : Demo().Dump(area).Messages)
            writers.insert(msg.Value("from_addr"));
    EXPECT_GE(writers.size(), 10u);
    for (const std::string& writer : writers) {
        TAddress address;
        address.Parse(writer);
        EXPECT_NE(index.FindNodeByAddress(address.Zone, address.Net, address.Node, address.Point), nullptr)
            << writer;
    }
    const TCliResult r = Invoke({"nodelist", "find", UserAddress, "--home", Home()});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_NE(r.Out.find(UserName), std::string::npos) << r.Out;
}
