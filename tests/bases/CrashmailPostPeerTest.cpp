// `tavro-cli post` against Debian's crashmail: what the command writes into an area the
// tosser serves must go out with the tosser's scan as written, and posts running beside a toss
// must each land once or not at all. A Squish base, which crashmail does not serve, is checked
// against its layout typed here.

#include "bases/JamBase.h"
#include "bases/JamFormat.h"
#include "core/Address.h"
#include "core/CodePage.h"
#include "core/SysInfo.h"

#include "BaseHelpers.h"
#include "Crashmail.h"
#include "FtnPacket.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <iostream>
#include <iterator>
#include <list>
#include <map>
#include <optional>
#include <regex>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <tuple>
#include <unistd.h>

#ifndef TAVRO_CLI_PATH
#error "tests/CMakeLists.txt passes this test the path of tavro-cli"
#endif

extern char** environ;

namespace tavro::test {
// Names the storage in the test list.
static void PrintTo(TCrashmailStorage storage, std::ostream* out) {
    *out << (storage == TCrashmailStorage::Jam ? "JAM" : "*.MSG");
}
} // namespace tavro::test

namespace tavro {
#if defined(__SANITIZE_ADDRESS__)
constexpr bool SanitizedBuild = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool SanitizedBuild = true;
#else
constexpr bool SanitizedBuild = false;
#endif
#else
constexpr bool SanitizedBuild = false;
#endif

namespace {

using test::TCrashmailStorage;
using test::TPacketMsg;

constexpr const char* EchoTag = "TEST.POST";
const TAddress Uplink(2, 5020, 1);
const TAddress Ours(2, 5020, 9999);

// The letters "р" and "Н" are left out of the Cyrillic texts: the bases store them as their
// Latin look-alikes.
using test::Display;
using test::Oem;

std::string Version() {
    return VersionText(SystemInfo());
}

// How a run of tavro-cli ended: its exit status, or -1 when it did not exit by itself.
struct TCliResult {
    int Exit = -1;
    std::string Out;
    std::string Err;
};

std::string Describe(const TCliResult& result) {
    return "exit " + std::to_string(result.Exit) + ", printed \"" + result.Out + "\", said \"" + result.Err +
           "\"";
}

struct TCliProcess {
    pid_t Pid = 0;
    std::string OutFile;
    std::string ErrFile;
    std::chrono::steady_clock::time_point Started;
};

// Starts tavro-cli with `args` and standard input from the file `input`; what it prints goes
// to files named after `stem`. Pid stays 0 when it cannot be started.
TCliProcess StartCli(std::vector<std::string> args, const std::string& stem, const std::string& input) {
    TCliProcess process{0, stem + ".out", stem + ".err", std::chrono::steady_clock::now()};
    args.insert(args.begin(), TAVRO_CLI_PATH);
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, process.OutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, process.ErrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    if (posix_spawn(&process.Pid, args.front().c_str(), &actions, nullptr, argv.data(), environ) != 0)
        process.Pid = 0;
    posix_spawn_file_actions_destroy(&actions);
    return process;
}

// Whether the run has ended, `result` then saying how. A hang guard only: a post takes
// milliseconds, and one waiting for a locked base gives up within a second.
bool Ended(const TCliProcess& process, TCliResult& result) {
    if (process.Pid == 0) {
        result = {-1, "", "could not be started"};
        return true;
    }
    int status = 0;
    if (::waitpid(process.Pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() - process.Started < std::chrono::seconds(15))
            return false;
        ::kill(process.Pid, SIGKILL);
        ::waitpid(process.Pid, &status, 0);
        result = {-1, "", "did not finish"};
        return true;
    }
    result.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.Out = test::ReadFile(process.OutFile);
    result.Err = test::ReadFile(process.ErrFile);
    if (WIFSIGNALED(status))
        result.Err += "[killed by signal " + std::to_string(WTERMSIG(status)) + "]";
    return true;
}

TCliResult Wait(const TCliProcess& process) {
    TCliResult result;
    while (!Ended(process, result))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return result;
}

// The one id a successful post prints.
::testing::AssertionResult PostedId(const TCliResult& result, TMsgId& id) {
    if (result.Exit != 0 || !result.Err.empty())
        return ::testing::AssertionFailure() << Describe(result);
    char* end = nullptr;
    const unsigned long value = std::strtoul(result.Out.c_str(), &end, 10);
    if (value == 0 || value > 0xFFFFFFFFul || std::string_view(end) != "\n")
        return ::testing::AssertionFailure() << "not one id: " << Describe(result);
    id = static_cast<TMsgId>(value);
    return ::testing::AssertionSuccess();
}

// The FTS date texts of the seconds from `first` to `last`: one of them is what a message
// written in that time carries.
std::vector<std::string> FtsDates(time_t first, time_t last) {
    std::vector<std::string> dates;
    for (time_t second = first; second <= last; ++second) {
        std::tm parts{};
        ::localtime_r(&second, &parts);
        char text[32];
        std::strftime(text, sizeof text, "%d %b %y  %H:%M:%S", &parts);
        dates.emplace_back(text);
    }
    return dates;
}

long UtcOffsetMinutes(time_t when) {
    std::tm parts{};
    ::localtime_r(&when, &parts);
    return parts.tm_gmtoff / 60;
}

// The TZUTC value: hours and minutes, signed only west of UTC.
std::string Tzutc(time_t when) {
    const int minutes = static_cast<int>(UtcOffsetMinutes(when));
    const int magnitude = std::abs(minutes);
    char text[16];
    std::snprintf(text, sizeof text, "%s%02d%02d", minutes < 0 ? "-" : "", magnitude / 60 % 100,
                  magnitude % 60);
    return text;
}

bool IsKludge(const std::string& line) {
    return !line.empty() && line[0] == '\x01';
}

// The kludge lines of a packet text, wherever they stand.
std::vector<std::string> Kludges(const std::vector<std::string>& lines) {
    std::vector<std::string> kludges;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(kludges), IsKludge);
    return kludges;
}

// The value of the kludge `name` ("MSGID:", "INTL") among `lines`; empty when it is missing.
std::string KludgeValue(const std::vector<std::string>& lines, const std::string& name) {
    for (const std::string& line : lines)
        if (line.starts_with("\x01" + name + " "))
            return line.substr(name.size() + 2);
    return {};
}

bool Contains(const std::vector<std::string>& lines, const std::vector<std::string>& run) {
    return std::search(lines.begin(), lines.end(), run.begin(), run.end()) != lines.end();
}

uint32_t Get32(const std::string& data, size_t at) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i)
        value |= uint32_t(uint8_t(data.at(at + i))) << (8 * i);
    return value;
}

uint16_t Get16(const std::string& data, size_t at) {
    return static_cast<uint16_t>(uint8_t(data.at(at)) | uint8_t(data.at(at + 1)) << 8);
}

// A zero-padded text field.
std::string FieldText(const std::string& data, size_t at, size_t width) {
    const std::string field = data.substr(at, width);
    return field.substr(0, field.find('\0'));
}

bool EveryByteBelow0x80(const std::string& data, size_t at) {
    for (size_t i = 0; i < 4; ++i)
        if (uint8_t(data.at(at + i)) >= 0x80)
            return false;
    return true;
}

// Debian's amd64 crashmail reads each byte of a JAM number sign-extended, whoever wrote the
// base: a header offset or a length holding a byte of 0x80 or more stops it reading the
// message. The posted names, subjects and texts are padded to keep clear of that; this tells
// when a change of what the program adds to a message undoes the padding.
::testing::AssertionResult CrashmailReadsJamNumbers(const std::string& header) {
    const std::string jhr = test::ReadFile(header);
    const std::string jdx =
        test::ReadFile(test::TCrashmail::OnDisk(header.substr(0, header.size() - 2) + "dx"));
    for (size_t record = 0; (record + 1) * JamIndexRecordSize <= jdx.size(); ++record) {
        const size_t at = record * JamIndexRecordSize + 4;
        if (!EveryByteBelow0x80(jdx, at))
            return ::testing::AssertionFailure()
                   << "message " << record + 1 << " stands at " << Get32(jdx, at)
                   << ": pad the names or subject of the message before it";
        const size_t offset = Get32(jdx, at);
        if (offset + JamMsgHeaderSize > jhr.size())
            return ::testing::AssertionFailure() << "index record " << record << " points past the headers";
        for (size_t field : {jhSubfieldLen, jhTxtOffset, jhTxtLen})
            if (!EveryByteBelow0x80(jhr, offset + field))
                return ::testing::AssertionFailure()
                       << "the header field at " << field << " of message " << record + 1 << " is "
                       << Get32(jhr, offset + field) << ": pad the names, subject or text";
    }
    return ::testing::AssertionSuccess();
}

class PostedBaseTest : public ::testing::Test {
protected:
    std::string Home() const { return Temp.File("home"); }

    // Runs `tavro-cli post` with `args` and this test's home; standard input reads `input`.
    TCliResult Post(std::vector<std::string> args, const std::string& input = "/dev/null") {
        args.insert(args.begin(), "post");
        args.insert(args.end(), {"--home", Home()});
        return Wait(StartCli(std::move(args), Temp.File("post" + std::to_string(Runs++)), input));
    }

    // The file of a message text, UTF-8 lines ended by LF.
    std::string TextFile(const std::vector<std::string>& lines) {
        const std::string path = Temp.File("text" + std::to_string(Runs++) + ".txt");
        std::string text;
        for (const std::string& line : lines)
            text += line + "\n";
        test::WriteFile(path, text);
        return path;
    }

    test::TTempDir Temp;
    int Runs = 0;
};

class CrashmailPostPeerTest : public PostedBaseTest {
protected:
    void SetUp() override {
        if (test::TCrashmail::FindProgram().empty())
            GTEST_SKIP() << test::TCrashmail::MissingHint();
    }

    void TearDown() override {
        if (HasFailure() && Crashmail && !Crashmail->Output().empty())
            std::cerr << "crashmail said:\n" << Crashmail->Output() << "\n";
    }

    ::testing::AssertionResult Prepare(TCrashmailStorage storage) {
        Crashmail.emplace(Temp.Path(), test::TCrashmailSetup{Ours, Uplink, EchoTag, storage});
        return Crashmail->Prepare();
    }

    std::optional<test::TCrashmail> Crashmail;
};

class CrashmailPostEchomailTest : public CrashmailPostPeerTest,
                                  public ::testing::WithParamInterface<TCrashmailStorage> {};

// The names and the subject are long, and the texts padded, for crashmail's JAM reading (see
// CrashmailReadsJamNumbers); the answer's subject still fits the 72 bytes of a *.MSG header.
constexpr const char* Poster = "Tavro Command Line Post Tester";
constexpr const char* Addressee = "Иван Ильич Кузнецов";
constexpr const char* Subject = "Снова о базах JAM: что пишет tavro-cli post, то и уходит в пакет";
constexpr const char* Padding = "Padding that keeps the text where the tosser reads its length right.";
// "Тестовое сообщение" in CP866, typed out rather than converted by the library.
constexpr const char* TestMessageCp866 =
    "\x92\xa5\xe1\xe2\xae\xa2\xae\xa5 \xe1\xae\xae\xa1\xe9\xa5\xad\xa8\xa5";

// An echomail and its answer, posted with the base path, go out with crashmail's scan: the
// header, the kludges in the program's order, the text in the OEM code page, the tearline and
// the origin with our address.
TEST_P(CrashmailPostEchomailTest, PostedEchomailAndAnswerAreExportedAsWritten) {
    ASSERT_TRUE(Prepare(GetParam()));
    const bool jam = GetParam() == TCrashmailStorage::Jam;
    const std::string path = jam ? Crashmail->EchoArea() + ".jhr" : Crashmail->EchoArea();
    const auto post = [&](std::vector<std::string> args, const std::string& input) {
        args.insert(args.begin(),
                    {path, "--type", jam ? "jam" : "msg", "--kind", "echomail", "--tag", EchoTag, "--from",
                     Poster, "--from-addr", Ours.ToStr(), "--origin", "Tavro test"});
        return Post(std::move(args), input);
    };
    const std::vector<std::string> firstText = {
        "Hello from tavro-cli post", "Тестовое сообщение", "", Padding, Padding, Padding};
    const std::vector<std::string> answerText = {"Answer from tavro-cli post", Padding, Padding, Padding};
    const std::string reSubject = std::string("Re: ") + Subject;

    const time_t before = std::time(nullptr);
    TMsgId first = 0, answer = 0;
    // The first text comes through standard input, the answer's from a file.
    ASSERT_TRUE(PostedId(post({"--to", Addressee, "--subject", Subject}, TextFile(firstText)), first));
    ASSERT_TRUE(PostedId(post({"--to", Poster, "--subject", reSubject, "--reply-to", std::to_string(first),
                               "--file", TextFile(answerText)},
                              "/dev/null"),
                         answer));
    const time_t after = std::time(nullptr);
    EXPECT_GT(answer, first);

    // crashmail's JAM reading drops the kludges stored in FTS kludge subfields (CHRS, TZUTC):
    // their subfield id 2000 holds a byte of 0x80 or more. Those two are checked in the base.
    // Its dates read right only without such a byte.
    std::vector<TStringList> stored;
    bool datesReadRight = true;
    if (jam) {
        TJamBase base(path, EchoTag, "");
        base.Rescan();
        ASSERT_EQ(base.GetCount(), 2);
        const char* toNames[] = {Addressee, Poster};
        const std::string subjects[] = {Subject, reSubject};
        for (int position = 0; position < 2; ++position) {
            TMsgHandle msg = base.GetMsg(position);
            ASSERT_NE(msg, nullptr);
            EXPECT_EQ(msg->FromName, Poster);
            EXPECT_EQ(msg->ToName, Display(toNames[position]));
            EXPECT_EQ(msg->Subject, Display(subjects[position].c_str()));
            stored.push_back(msg->GetKludges());
        }
        EXPECT_EQ(base.GetMsg(1)->ReplyTo, first);
        ASSERT_TRUE(CrashmailReadsJamNumbers(path));
        const std::string jhr = test::ReadFile(path);
        const std::string jdx = test::ReadFile(test::TCrashmail::OnDisk(Crashmail->EchoArea() + ".jdx"));
        for (size_t at = 4; at + 4 <= jdx.size(); at += JamIndexRecordSize)
            datesReadRight = datesReadRight && EveryByteBelow0x80(jhr, Get32(jdx, at) + jhDateWritten);
    }
    ASSERT_TRUE(Crashmail->Run({"SCAN"}));

    const std::vector<TPacketMsg> sent = Crashmail->TakeUplinkMail();
    ASSERT_EQ(sent.size(), 2u);
    const auto find = [&](const std::string& subject) {
        return std::find_if(sent.begin(), sent.end(),
                            [&](const TPacketMsg& msg) { return msg.Subject == subject; });
    };
    const auto firstSent = find(Oem(Subject));
    const auto answerSent = find(Oem(reSubject.c_str()));
    const auto subjects = [&] {
        std::vector<std::string> all;
        for (const TPacketMsg& msg : sent)
            all.push_back(msg.Subject);
        return testing::PrintToString(all);
    };
    ASSERT_NE(firstSent, sent.end()) << subjects();
    ASSERT_NE(answerSent, sent.end()) << subjects();

    const std::vector<std::string> dates = FtsDates(before, after);
    const std::string tzutc = Tzutc(before);
    const std::regex msgIdForm(Ours.ToStr() + " [0-9a-f]{8}");
    std::string firstMsgId;
    for (const auto& [msg, toName, text, isAnswer] :
         {std::tuple{firstSent, Oem(Addressee), firstText, false},
          std::tuple{answerSent, Oem(Poster), answerText, true}}) {
        SCOPED_TRACE(msg->Subject);
        EXPECT_EQ(msg->FromName, Poster);
        EXPECT_EQ(msg->ToName, toName);
        EXPECT_EQ(msg->OrigNet, Ours.Net);
        EXPECT_EQ(msg->OrigNode, Ours.Node);
        EXPECT_EQ(msg->DestNet, Uplink.Net);
        EXPECT_EQ(msg->DestNode, Uplink.Node);
        if (datesReadRight) {
            EXPECT_NE(std::find(dates.begin(), dates.end(), msg->DateTime), dates.end())
                << msg->DateTime << " is not within " << testing::PrintToString(dates);
        }

        const std::vector<std::string> lines = test::TextLines(msg->Text);
        ASSERT_GT(lines.size(), 1u);
        EXPECT_EQ(lines[0], std::string("AREA:") + EchoTag);
        const std::string msgId = KludgeValue(lines, "MSGID:");
        EXPECT_TRUE(std::regex_match(msgId, msgIdForm)) << msgId;
        std::vector<std::string> kludges = {"\x01MSGID: " + msgId};
        if (isAnswer) {
            EXPECT_NE(msgId, firstMsgId);
            kludges.push_back("\x01REPLY: " + firstMsgId);
        } else {
            firstMsgId = msgId;
        }
        kludges.insert(kludges.end(), {"\001CHRS: CP866 2", "\x01PID: " + Version(), "\x01TZUTC: " + tzutc});
        if (jam) {
            EXPECT_EQ(stored.at(isAnswer ? 1 : 0), kludges);
            std::erase_if(kludges, [](const std::string& line) {
                return line.starts_with("\001CHRS:") || line.starts_with("\x01TZUTC:");
            });
        }
        // The kludges stand together after AREA, the text after them; the tosser's SEEN-BY and
        // PATH close it.
        const auto textStart = std::find_if_not(lines.begin() + 1, lines.end(), IsKludge);
        EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, textStart), kludges);
        std::vector<std::string> expected = text;
        if (!isAnswer)
            expected[1] = TestMessageCp866;
        expected.insert(expected.end(),
                        {"--- " + Version(), " * Origin: Tavro test (" + Ours.ToStr() + ")",
                         "SEEN-BY: " + std::to_string(Uplink.Net) + "/" + std::to_string(Uplink.Node) + " " +
                             std::to_string(Ours.Node),
                         "\x01PATH: " + std::to_string(Ours.Net) + "/" + std::to_string(Ours.Node)});
        EXPECT_EQ(std::vector<std::string>(textStart, lines.end()), expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Storage, CrashmailPostEchomailTest,
                         ::testing::Values(TCrashmailStorage::Jam, TCrashmailStorage::Msg),
                         [](const ::testing::TestParamInfo<TCrashmailStorage>& info) {
                             return info.param == TCrashmailStorage::Jam ? "Jam" : "Msg";
                         });

// Netmail from a point of ours goes out through the uplink as the node's: the point in FMPT,
// the zones in INTL, a destination point in TOPT, the kludge flags in FLAGS.
TEST_F(CrashmailPostPeerTest, NetmailFromAPointIsRoutedThroughTheUplink) {
    ASSERT_TRUE(Prepare(TCrashmailStorage::Msg));
    struct TNetmail {
        std::string To;
        std::string ToName;
        std::string Subject;
        std::string Intl;
        std::string Topt; // empty: no TOPT
    };
    const TNetmail netmails[] = {
        {"2:463/68", "Near Sysop", "To a node of the zone", "2:463/68 2:5020/9999", ""},
        {"1:250/9999.3", "Far Point", "To a point in another zone", "1:250/9999 2:5020/9999", "3"},
    };
    const TAddress point(Ours.Zone, Ours.Net, Ours.Node, 5);
    const auto body = [](const TNetmail& netmail) {
        return std::vector<std::string>{"Hello " + netmail.ToName, "Личное сообщение"};
    };
    const time_t before = std::time(nullptr);
    for (const TNetmail& netmail : netmails) {
        TMsgId id = 0;
        // Tossers export only netmail marked local.
        std::vector<std::string> args = {Crashmail->NetmailArea()};
        args.insert(args.end(), {"--type", "msg", "--kind", "netmail", "--tag", "NETMAIL", "--attr",
                                 "Pvt Loc DIR", "--origin", "Tavro test"});
        args.insert(args.end(), {"--from", "Point User", "--from-addr", point.ToStr(), "--to", netmail.ToName,
                                 "--to-addr", netmail.To, "--subject", netmail.Subject});
        args.insert(args.end(), {"--file", TextFile(body(netmail))});
        ASSERT_TRUE(PostedId(Post(std::move(args)), id));
    }
    const time_t after = std::time(nullptr);
    ASSERT_TRUE(Crashmail->Run({"SCAN"}));

    const std::vector<TPacketMsg> sent = Crashmail->TakeUplinkMail();
    EXPECT_EQ(sent.size(), std::size(netmails));
    const std::vector<std::string> dates = FtsDates(before, after);
    const std::regex msgIdForm(point.ToStr() + " [0-9a-f]{8}");
    for (const TNetmail& netmail : netmails) {
        SCOPED_TRACE(netmail.Subject);
        const auto found = std::find_if(
            sent.begin(), sent.end(), [&](const TPacketMsg& msg) { return msg.Subject == netmail.Subject; });
        ASSERT_NE(found, sent.end()) << "not exported";
        TAddress to;
        to.Parse(netmail.To);
        EXPECT_EQ(found->FromName, "Point User");
        EXPECT_EQ(found->ToName, netmail.ToName);
        EXPECT_EQ(found->OrigNet, Ours.Net);
        EXPECT_EQ(found->OrigNode, Ours.Node);
        EXPECT_EQ(found->DestNet, to.Net);
        EXPECT_EQ(found->DestNode, to.Node);
        EXPECT_EQ(found->Attr & 0x0001, 0x0001) << "private";
        EXPECT_NE(std::find(dates.begin(), dates.end(), found->DateTime), dates.end()) << found->DateTime;

        const std::vector<std::string> lines = test::TextLines(found->Text);
        const std::vector<std::string> kludges = Kludges(lines);
        const auto count = [&](const std::string& prefix) {
            return std::count_if(kludges.begin(), kludges.end(),
                                 [&](const std::string& line) { return line.starts_with(prefix); });
        };
        EXPECT_EQ(count("\x01INTL"), 1) << testing::PrintToString(kludges);
        EXPECT_EQ(KludgeValue(kludges, "INTL"), netmail.Intl);
        EXPECT_EQ(count("\001FMPT"), 1);
        EXPECT_EQ(KludgeValue(kludges, "FMPT"), "5");
        EXPECT_EQ(count("\x01TOPT"), netmail.Topt.empty() ? 0 : 1);
        EXPECT_EQ(KludgeValue(kludges, "TOPT"), netmail.Topt);
        EXPECT_EQ(count("\001FLAGS"), 1);
        EXPECT_EQ(KludgeValue(kludges, "FLAGS"), "DIR") << "Loc is the Local attribute, not the Locked flag";
        EXPECT_TRUE(std::regex_match(KludgeValue(kludges, "MSGID:"), msgIdForm))
            << testing::PrintToString(kludges);
        EXPECT_EQ(KludgeValue(kludges, "CHRS:"), "CP866 2");
        EXPECT_EQ(KludgeValue(kludges, "PID:"), Version());
        EXPECT_EQ(KludgeValue(kludges, "TZUTC:"), Tzutc(before));
        const std::vector<std::string> text = {
            "Hello " + netmail.ToName, "\x8b\xa8\xe7\xad\xae\xa5 \xe1\xae\xae\xa1\xe9\xa5\xad\xa8\xa5",
            "--- " + Version(), " * Origin: Tavro test (" + point.ToStr() + ")"};
        EXPECT_TRUE(Contains(lines, text)) << testing::PrintToString(lines);
    }
}

// The literal layout of a Squish message: frame header, 238-byte message header, control
// information with the kludges, then the text, as a Squish tosser reads it.
TEST_F(PostedBaseTest, SquishMessageAndAnswerStoredAsLaidOut) {
    const std::string sqd = Temp.File("area.sqd");
    const auto post = [&](std::vector<std::string> args) {
        args.insert(args.begin(),
                    {sqd, "--type", "squish", "--kind", "echomail", "--tag", "TEST.SQUISH", "--from",
                     "Tavro User", "--from-addr", Ours.ToStr(), "--to", "All", "--origin", "Tavro test"});
        return Post(std::move(args));
    };
    const time_t before = std::time(nullptr);
    TMsgId first = 0, answer = 0;
    ASSERT_TRUE(PostedId(
        post({"--subject", "Тестовое сообщение", "--file", TextFile({"First text", "Тестовое сообщение"})}),
        first));
    ASSERT_TRUE(PostedId(post({"--subject", "Re: Test", "--reply-to", std::to_string(first), "--attr",
                               "K/S Cra", "--file", TextFile({"Answer text"})}),
                         answer));
    const time_t after = std::time(nullptr);

    const std::string data = test::ReadFile(sqd);
    ASSERT_GE(data.size(), 256u);
    EXPECT_EQ(Get16(data, 0), 256u);
    EXPECT_EQ(Get32(data, 4), 2u) << "messages";
    EXPECT_EQ(Get32(data, 8), 2u) << "highest message";
    EXPECT_EQ(Get32(data, 20), answer + 1) << "next UMSGID";
    EXPECT_EQ(Get32(data, 104), 256u) << "first frame";
    const uint32_t second = Get32(data, 108);
    EXPECT_EQ(Get32(data, 120), data.size()) << "end of the frames";
    const std::string index = test::ReadFile(Temp.File("area.sqi"));
    ASSERT_EQ(index.size(), 24u);
    EXPECT_EQ(Get32(index, 0), 256u);
    EXPECT_EQ(Get32(index, 4), first);
    EXPECT_EQ(Get32(index, 12), second);
    EXPECT_EQ(Get32(index, 16), answer);

    const std::vector<std::string> dates = FtsDates(before, after);
    struct TExpected {
        const char* Name;
        uint32_t Frame, Next, Prev, Attr;
        std::string Subject;
        uint32_t ReplyTo;
        std::string Text;
    };
    const std::string tail = "--- " + Version() + "\r * Origin: Tavro test (" + Ours.ToStr() + ")\r";
    const TExpected messages[] = {
        {"first", 256, second, 0, 0x0101, TestMessageCp866, 0,
         std::string("First text\r") + TestMessageCp866 + "\r" + tail},
        {"answer", second, 0, 256, 0x0082, "Re: Test", first, "Answer text\r" + tail},
    };
    std::string firstMsgId;
    for (const TExpected& expected : messages) {
        SCOPED_TRACE(expected.Name);
        const size_t frame = expected.Frame;
        ASSERT_LE(frame + 28 + 238, data.size());
        EXPECT_EQ(Get32(data, frame), 0xAFAE4453u);
        EXPECT_EQ(Get32(data, frame + 4), expected.Next);
        EXPECT_EQ(Get32(data, frame + 8), expected.Prev);
        const uint32_t length = Get32(data, frame + 16), control = Get32(data, frame + 20);
        EXPECT_EQ(Get16(data, frame + 24), 0u) << "a message frame";
        ASSERT_LE(frame + 28 + length, data.size());
        ASSERT_LE(238 + control, length);

        const size_t h = frame + 28;
        EXPECT_EQ(Get32(data, h), expected.Attr);
        EXPECT_EQ(FieldText(data, h + 4, 36), "Tavro User");
        EXPECT_EQ(FieldText(data, h + 40, 36), "All");
        EXPECT_EQ(FieldText(data, h + 76, 72), expected.Subject);
        const uint16_t from[] = {Ours.Zone, Ours.Net, Ours.Node, Ours.Point};
        for (size_t i = 0; i < 4; ++i)
            EXPECT_EQ(Get16(data, h + 148 + 2 * i), from[i]) << i;
        // The DOS date written, the date in the low word: the same second as the date text, to
        // the two seconds DOS counts in.
        const uint32_t dos = Get32(data, h + 164);
        std::tm parts{};
        parts.tm_year = int(dos >> 9 & 0x7F) + 80;
        parts.tm_mon = int(dos >> 5 & 0x0F) - 1;
        parts.tm_mday = int(dos & 0x1F);
        parts.tm_hour = int(dos >> 27);
        parts.tm_min = int(dos >> 21 & 0x3F);
        parts.tm_sec = int(dos >> 16 & 0x1F) * 2;
        parts.tm_isdst = -1;
        const time_t written = std::mktime(&parts);
        EXPECT_GE(written, before - 1);
        EXPECT_LE(written, after);
        EXPECT_EQ(static_cast<int16_t>(Get16(data, h + 172)), UtcOffsetMinutes(before))
            << "minutes east of UTC";
        EXPECT_EQ(Get32(data, h + 174), expected.ReplyTo);
        const std::string date = FieldText(data, h + 218, 20);
        EXPECT_NE(std::find(dates.begin(), dates.end(), date), dates.end()) << date;

        const std::string info = data.substr(h + 238, control);
        const size_t msgIdEnd = info.find('\x01', 1);
        ASSERT_NE(msgIdEnd, std::string::npos) << info;
        const std::string msgId = info.substr(0, msgIdEnd);
        EXPECT_TRUE(std::regex_match(msgId, std::regex("\x01MSGID: " + Ours.ToStr() + " [0-9a-f]{8}")))
            << msgId;
        std::string kludges = msgId;
        if (expected.ReplyTo != 0)
            kludges += "\x01REPLY: " + firstMsgId.substr(8);
        else
            firstMsgId = msgId;
        kludges += "\001CHRS: CP866 2\x01PID: " + Version() + "\x01TZUTC: " + Tzutc(before) + '\0';
        EXPECT_EQ(info, kludges);
        EXPECT_EQ(data.substr(h + 238 + control, length - 238 - control), expected.Text + '\0');
    }
}

std::string PostSubject(int n) {
    return "Post " + std::to_string(n);
}

// Tossed echomail of the uplink: packet `k` of `count` messages.
test::TPacket TossedPacket(int k, int count) {
    test::TPacket packet;
    packet.Orig = Uplink;
    packet.Dest = Ours;
    for (int m = 0; m < count; ++m) {
        TPacketMsg msg;
        msg.OrigNet = Uplink.Net;
        msg.OrigNode = Uplink.Node;
        msg.DestNet = Ours.Net;
        msg.DestNode = Ours.Node;
        msg.FromName = "Uplink Sysop";
        msg.ToName = "All";
        msg.Subject = "Tossed " + std::to_string(k) + "." + std::to_string(m);
        msg.DateTime = "05 Jan 24  10:03:00";
        char msgId[16];
        std::snprintf(msgId, sizeof msgId, "%08x", 0x0badf000 + k * 256 + m);
        msg.Text = test::JoinLines({std::string("AREA:") + EchoTag,
                                    "\x01MSGID: 2:5020/1 " + std::string(msgId), "Tossed text", "--- Test",
                                    " * Origin: Test (2:5020/1)", "SEEN-BY: 5020/1", "\x01PATH: 5020/1"});
        packet.Msgs.push_back(std::move(msg));
    }
    return packet;
}

// Posts, a few at a time, into the JAM base that crashmail tosses packets into meanwhile. Each
// post that succeeds is there once, with the id it printed; one that gives up when the base
// stays locked leaves nothing; the tossed mail is all there.
TEST_F(CrashmailPostPeerTest, PostsBesideTossesLandOnceOrNotAtAll) {
    ASSERT_TRUE(Prepare(TCrashmailStorage::Jam));
    const std::string header = Crashmail->EchoArea() + ".jhr";
    // The sanitizer build runs each post several times slower: fewer of them there.
    constexpr int Posts = SanitizedBuild ? 120 : 500, Parallel = 4, Tosses = 4, PerToss = 20;
    std::vector<std::string> common = {"post", header};
    common.insert(common.end(), {"--type", "jam", "--kind", "echomail", "--tag", EchoTag, "--home", Home(),
                                 "--from", "Poster", "--from-addr", Ours.ToStr(), "--to", "All", "--origin",
                                 "Tavro test", "--file", TextFile({"Posted beside a toss"})});

    // The tosses spread over the run, each once a share of the posts has ended.
    std::atomic<int> ended{0};
    std::vector<std::string> tossFailures;
    std::thread tosser([&] {
        for (int k = 0; k < Tosses; ++k) {
            while (ended < (k + 1) * Posts / (Tosses + 1))
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (::testing::AssertionResult tossed = Crashmail->Toss(TossedPacket(k, PerToss)); !tossed)
                tossFailures.push_back(tossed.message());
        }
    });
    std::vector<TCliResult> results(Posts);
    std::list<std::pair<int, TCliProcess>> running;
    for (int next = 0; next < Posts || !running.empty();) {
        if (next < Posts && running.size() < Parallel) {
            std::vector<std::string> args = common;
            args.insert(args.end(), {"--subject", PostSubject(next)});
            running.emplace_back(
                next, StartCli(std::move(args), Temp.File("post" + std::to_string(next)), "/dev/null"));
            ++next;
            continue;
        }
        const size_t before = running.size();
        running.remove_if([&](const auto& run) {
            const bool done = Ended(run.second, results[run.first]);
            ended += done;
            return done;
        });
        if (running.size() == before)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    tosser.join();
    EXPECT_TRUE(tossFailures.empty()) << testing::PrintToString(tossFailures);

    TJamBase base(header, EchoTag, "");
    base.Rescan();
    std::map<std::string, std::vector<int>> positions;
    std::map<std::string, int> msgIds;
    for (int position = 0; position < base.GetCount(); ++position) {
        TMsgHandle msg = base.GetMsg(position);
        ASSERT_NE(msg, nullptr) << position;
        positions[msg->Subject].push_back(position);
        ++msgIds[msg->GetKludge("MSGID:")];
        const std::vector<std::string> text = test::BodyTexts(*msg);
        ASSERT_FALSE(text.empty()) << msg->Subject;
        EXPECT_EQ(text[0], msg->Subject.starts_with("Post ") ? "Posted beside a toss" : "Tossed text")
            << msg->Subject;
    }
    int refused = 0;
    std::string firstRefusal;
    for (int n = 0; n < Posts; ++n) {
        const TCliResult& result = results[n];
        const auto found = positions.find(PostSubject(n));
        if (result.Exit == 1) {
            ++refused;
            if (firstRefusal.empty())
                firstRefusal = result.Err;
            EXPECT_EQ(found, positions.end()) << PostSubject(n) << " failed, yet wrote: " << Describe(result);
            continue;
        }
        TMsgId id = 0;
        if (!PostedId(result, id)) {
            ADD_FAILURE() << PostSubject(n) << ": " << Describe(result);
            continue;
        }
        if (found == positions.end()) {
            ADD_FAILURE() << PostSubject(n) << " printed " << id << " but is not in the base";
            continue;
        }
        EXPECT_EQ(found->second.size(), 1u) << PostSubject(n) << " is in the base more than once";
        EXPECT_EQ(base.GetMsgId(found->second[0]), id) << PostSubject(n);
    }
    for (int k = 0; k < Tosses; ++k)
        for (int m = 0; m < PerToss; ++m) {
            const std::string subject = "Tossed " + std::to_string(k) + "." + std::to_string(m);
            const auto found = positions.find(subject);
            EXPECT_TRUE(found != positions.end() && found->second.size() == 1) << subject;
        }
    EXPECT_EQ(base.GetCount(), Posts - refused + Tosses * PerToss);
    for (const auto& [msgId, count] : msgIds)
        EXPECT_EQ(count, 1) << "MSGID " << msgId << " given out more than once";
    if (refused > 0)
        std::cout << refused << " of " << Posts
                  << " posts gave up on the locked base; the first said: " << firstRefusal;
}

} // namespace
} // namespace tavro
