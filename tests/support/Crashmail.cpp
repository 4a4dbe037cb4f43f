#include "Crashmail.h"

#include "TempDir.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace tavro::test {

namespace {

namespace fs = std::filesystem;

constexpr const char* EchoDir = "echo";
constexpr const char* BadDir = "bad";
constexpr const char* NetmailDir = "netmail";
constexpr const char* NetmailTag = "NETMAIL";
constexpr const char* BadTag = "BAD";

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

} // namespace

TCrashmail::TCrashmail(std::string dir, TCrashmailSetup setup)
    : Dir(std::move(dir)), Setup(std::move(setup)) {}

std::string TCrashmail::FindProgram() {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        std::string candidate = dirs.substr(start, end - start) + "/crashmail";
        if (end > start && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

const char* TCrashmail::MissingHint() {
    return "The crashmail tosser is not installed. scripts/install-deps.sh installs it, or run "
           "\"apt-get install --no-install-recommends crashmail\".";
}

::testing::AssertionResult TCrashmail::Prepare() {
    Program = FindProgram();
    if (Program.empty())
        return ::testing::AssertionFailure() << MissingHint();
    for (const char* dir : {"in", "out", "tmp", "pkt", EchoDir, BadDir, NetmailDir})
        fs::create_directory(File(dir));
    WriteConfig();
    return ::testing::AssertionSuccess();
}

std::string TCrashmail::File(std::string_view name) const {
    return Dir + "/" + std::string(name);
}

std::string TCrashmail::AreaPath(std::string_view dir, std::string_view tag) const {
    if (Setup.Storage == TCrashmailStorage::Msg)
        return File(dir);
    // As crashmail's "%a" names them: the tag is the base name.
    return File(dir) + "/" + std::string(tag);
}

std::string TCrashmail::EchoArea() const {
    return AreaPath(EchoDir, Setup.EchoTag);
}

std::string TCrashmail::NetmailArea() const {
    return AreaPath(NetmailDir, NetmailTag);
}

std::string TCrashmail::OnDisk(const std::string& path) {
    const fs::path wanted(path);
    const std::string name = Lower(wanted.filename().string());
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(wanted.parent_path(), ec))
        if (Lower(entry.path().filename().string()) == name)
            return entry.path().string();
    return {};
}

std::string TCrashmail::AreaLine(std::string_view keyword, std::string_view tag, std::string_view dir) const {
    const char* storage = Setup.Storage == TCrashmailStorage::Msg ? "MSG" : "JAM";
    return std::string(keyword) + " " + Quoted(tag) + " " + Setup.Ours.ToStrFull() + " " + storage + " " +
           Quoted(AreaPath(dir, tag)) + "\n";
}

// Every path inside Dir, so a run reads and writes nothing else. High-water marks on and
// SEEN-BY imported ask most of a reader; without a packer for the uplink its packets go out
// bare. JAM areas ask for reply links; the quick kind, which trusts the CRCs alone, stays off.
// A point or a small node sends all netmail through its uplink.
void TCrashmail::WriteConfig() {
    std::ostringstream config;
    config << "SYSOP \"Test Sysop\"\n"
           << "LOGFILE " << Quoted(File("crashmail.log")) << "\n"
           << "LOGLEVEL 3\n"
           << "DUPEFILE " << Quoted(File("dupes")) << " 200\n"
           << "DUPEMODE BAD\n"
           << "STATSFILE " << Quoted(File("stats")) << "\n"
           << "DEFAULTZONE " << Setup.Ours.Zone << "\n"
           << "INBOUND " << Quoted(File("in")) << "\n"
           << "OUTBOUND " << Quoted(File("out")) << "\n"
           << "TEMPDIR " << Quoted(File("tmp")) << "\n"
           << "CREATEPKTDIR " << Quoted(File("pkt")) << "\n"
           << "PACKETDIR " << Quoted(File("out")) << "\n"
           << "IMPORTSEENBY\n"
           << "MSG_HIGHWATER\n";
    if (Setup.Storage == TCrashmailStorage::Jam)
        config << "JAM_HIGHWATER\n"
               << "JAM_LINK\n";
    config << "AKA " << Setup.Ours.ToStrFull() << "\n"
           << "NODE " << Setup.Uplink.ToStrFull() << " \"\" \"\"\n"
           << AreaLine("NETMAIL", NetmailTag, NetmailDir) << AreaLine("AREA", BadTag, BadDir)
           << AreaLine("AREA", Setup.EchoTag, EchoDir) << "EXPORT " << Setup.Uplink.ToStrFull() << "\n"
           << "ROUTE \"*:*/*.*\" " << Quoted(Setup.Uplink.ToStrFull()) << " " << Setup.Ours.ToStrFull()
           << "\n";
    WriteFile(File("crashmail.prefs"), config.str());
}

::testing::AssertionResult TCrashmail::Run(std::vector<std::string> args) {
    if (Program.empty())
        return ::testing::AssertionFailure() << MissingHint();
    args.insert(args.begin(), {Program, "SETTINGS", File("crashmail.prefs")});
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    const std::string outputFile = File("crashmail.out");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, Dir.c_str());
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, Program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return ::testing::AssertionFailure() << "cannot start " << Program << ": error " << spawned;

    // A hang guard only; a run takes milliseconds.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            Output_ = ReadFile(outputFile);
            return ::testing::AssertionFailure() << "crashmail " << args.back() << " did not finish";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Output_ = ReadFile(outputFile);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return ::testing::AssertionFailure() << "crashmail " << args.back() << " failed, status " << status;
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult TCrashmail::Toss(const TPacket& packet) {
    WriteFile(File("in/0000abcd.pkt"), WritePacket(packet));
    return Run({"TOSS"});
}

std::vector<TPacket> TCrashmail::TakeOutboundMail() {
    std::vector<TPacket> packets;
    const auto take = [&](const std::string& path) {
        TPacket packet;
        EXPECT_EQ(ReadPacket(ReadFile(path), packet), "") << path;
        packets.push_back(std::move(packet));
        fs::remove(path);
    };
    const auto list = [&] {
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(File("out")))
            files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        return files;
    };
    // A flow file's name is the node's with the flavour before "lo"; the packets it lists lie
    // in the outbound too, so they go first.
    for (const fs::path& file : list()) {
        const std::string ext = Lower(file.extension().string());
        if (ext.size() != 4 || !ext.ends_with("lo"))
            continue;
        std::istringstream flow(ReadFile(file.string()));
        for (std::string line; std::getline(flow, line);) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            // A leading "^", "#" or "~" says what the mailer does with the file.
            if (!line.empty() && (line[0] == '^' || line[0] == '#' || line[0] == '~'))
                line.erase(0, 1);
            if (line.empty())
                continue;
            if (!line.ends_with(".pkt")) {
                ADD_FAILURE() << "the flow file lists a file that is not a bare packet: " << line;
                continue;
            }
            take(line);
        }
        fs::remove(file);
    }
    // Netmail packets carry the flavour in the extension: ".out", ".cut", ".hut", ".dut".
    for (const fs::path& file : list()) {
        const std::string ext = Lower(file.extension().string());
        if (ext.size() == 4 && ext.ends_with("ut"))
            take(file.string());
        else
            ADD_FAILURE() << "left in the outbound: " << file.filename().string();
    }
    return packets;
}

std::vector<TPacketMsg> TCrashmail::TakeUplinkMail() {
    std::vector<TPacketMsg> msgs;
    for (const TPacket& packet : TakeOutboundMail()) {
        EXPECT_TRUE(SameAddress(packet.Dest, Setup.Uplink)) << packet.Dest.ToStr();
        EXPECT_TRUE(SameAddress(packet.Orig, Setup.Ours)) << packet.Orig.ToStr();
        msgs.insert(msgs.end(), packet.Msgs.begin(), packet.Msgs.end());
    }
    return msgs;
}

namespace {

struct TJsonMember;

// A parsed JSON value: a string or a literal in Text, or the items of an array or object.
struct TJsonValue {
    enum class TKind { Literal, String, Array, Object };
    TKind Kind = TKind::Literal;
    std::string Text;
    std::vector<TJsonMember> Members; // an array's have no names
};

// Not a std::pair: libstdc++'s pair cannot hold a type that is still incomplete under clang.
struct TJsonMember {
    std::string Key;
    TJsonValue Value;
};

// Reads JSON as the dump writes it; throws std::runtime_error on anything else.
class TJsonReader {
public:
    explicit TJsonReader(std::string_view text) : Text(text) {}

    TJsonValue Document() {
        TJsonValue value = Value(0);
        SkipBlanks();
        if (Pos != Text.size())
            Fail("text after the document");
        return value;
    }

private:
    [[noreturn]] void Fail(const std::string& what) const {
        throw std::runtime_error(what + " at offset " + std::to_string(Pos));
    }

    void SkipBlanks() {
        while (Pos < Text.size() &&
               (Text[Pos] == ' ' || Text[Pos] == '\n' || Text[Pos] == '\r' || Text[Pos] == '\t'))
            ++Pos;
    }

    bool Take(char c) {
        SkipBlanks();
        if (Pos < Text.size() && Text[Pos] == c) {
            ++Pos;
            return true;
        }
        return false;
    }

    void Expect(char c) {
        if (!Take(c))
            Fail(std::string("'") + c + "' expected");
    }

    TJsonValue Value(int depth) {
        if (depth > 16)
            Fail("nested too deep");
        SkipBlanks();
        if (Pos >= Text.size())
            Fail("value expected");
        TJsonValue value;
        if (Take('{')) {
            value.Kind = TJsonValue::TKind::Object;
            if (Take('}'))
                return value;
            do {
                SkipBlanks();
                std::string key = String();
                Expect(':');
                value.Members.push_back({std::move(key), Value(depth + 1)});
            } while (Take(','));
            Expect('}');
        } else if (Take('[')) {
            value.Kind = TJsonValue::TKind::Array;
            if (Take(']'))
                return value;
            do
                value.Members.push_back({std::string(), Value(depth + 1)});
            while (Take(','));
            Expect(']');
        } else if (Text[Pos] == '"') {
            value.Kind = TJsonValue::TKind::String;
            value.Text = String();
        } else {
            const size_t start = Pos;
            while (Pos < Text.size() && (std::isalnum(static_cast<unsigned char>(Text[Pos])) ||
                                         Text[Pos] == '-' || Text[Pos] == '+' || Text[Pos] == '.'))
                ++Pos;
            if (Pos == start)
                Fail("value expected");
            value.Text = Text.substr(start, Pos - start);
        }
        return value;
    }

    unsigned Hex4() {
        if (Text.size() - Pos < 4)
            Fail("\\u cut short");
        unsigned code = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = Text[Pos++];
            code <<= 4;
            if (c >= '0' && c <= '9')
                code |= unsigned(c - '0');
            else if (c >= 'a' && c <= 'f')
                code |= unsigned(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                code |= unsigned(c - 'A' + 10);
            else
                Fail("bad \\u digit");
        }
        return code;
    }

    static void AppendUtf8(std::string& out, unsigned code) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | code >> 6);
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | code >> 12);
            out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | code >> 18);
            out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    std::string String() {
        if (Pos >= Text.size() || Text[Pos] != '"')
            Fail("string expected");
        ++Pos;
        std::string out;
        for (;;) {
            if (Pos >= Text.size())
                Fail("string not closed");
            const char c = Text[Pos++];
            if (c == '"')
                return out;
            if (static_cast<unsigned char>(c) < 0x20)
                Fail("raw control character in a string");
            if (c != '\\') {
                out += c;
                continue;
            }
            if (Pos >= Text.size())
                Fail("escape cut short");
            const char e = Text[Pos++];
            switch (e) {
            case '"':
            case '\\':
            case '/':
                out += e;
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                unsigned code = Hex4();
                if (code >= 0xD800 && code < 0xDC00 && Text.substr(Pos, 2) == "\\u") {
                    Pos += 2;
                    const unsigned low = Hex4();
                    if (low < 0xDC00 || low > 0xDFFF)
                        Fail("broken surrogate pair");
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                }
                AppendUtf8(out, code);
                break;
            }
            default:
                Fail(std::string("unknown escape \\") + e);
            }
        }
    }

    std::string_view Text;
    size_t Pos = 0;
};

bool IsScalar(const TJsonValue& value) {
    return value.Kind == TJsonValue::TKind::Literal || value.Kind == TJsonValue::TKind::String;
}

TDumpedMsg ToDumpedMsg(const TJsonValue& object) {
    if (object.Kind != TJsonValue::TKind::Object)
        throw std::runtime_error("a message is not an object");
    TDumpedMsg msg;
    for (const auto& [key, value] : object.Members) {
        if (msg.Values.contains(key) || msg.Lists.contains(key))
            throw std::runtime_error("a message has \"" + key + "\" twice");
        if (IsScalar(value)) {
            msg.Values[key] = value.Text;
            continue;
        }
        if (value.Kind != TJsonValue::TKind::Array)
            throw std::runtime_error("a message's \"" + key + "\" is an object");
        std::vector<std::string>& list = msg.Lists[key];
        for (const auto& item : value.Members) {
            if (!IsScalar(item.Value))
                throw std::runtime_error("a message's \"" + key + "\" holds more than strings and numbers");
            list.push_back(item.Value.Text);
        }
    }
    return msg;
}

} // namespace

std::string TDumpedMsg::Value(const std::string& key) const {
    const auto found = Values.find(key);
    return found != Values.end() ? found->second : "<no \"" + key + "\">";
}

std::vector<std::string> TDumpedMsg::List(const std::string& key) const {
    const auto found = Lists.find(key);
    return found != Lists.end() ? found->second : std::vector<std::string>{"<no \"" + key + "\">"};
}

std::string TDump::Value(const std::string& key) const {
    const auto found = Values.find(key);
    return found != Values.end() ? found->second : "<no \"" + key + "\">";
}

std::string ParseDump(std::string_view json, TDump& dump) {
    dump = {};
    try {
        const TJsonValue document = TJsonReader(json).Document();
        if (document.Kind != TJsonValue::TKind::Object)
            return "the dump is not an object";
        bool sawMessages = false;
        for (const auto& [key, value] : document.Members) {
            if (key == "messages") {
                if (sawMessages || value.Kind != TJsonValue::TKind::Array)
                    return "\"messages\" is not one array";
                sawMessages = true;
                for (const auto& item : value.Members)
                    dump.Messages.push_back(ToDumpedMsg(item.Value));
            } else if (!IsScalar(value) || !dump.Values.emplace(key, value.Text).second) {
                return "the dump's \"" + key + "\" is not one plain value";
            }
        }
        if (!sawMessages)
            return "the dump has no \"messages\"";
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return {};
}

::testing::AssertionResult DumpBase(const std::string& cli, const std::string& path, TDump& dump) {
    // The paths are the test's own, under the temp dir; no quote to escape.
    const std::string command = "'" + cli + "' dump '" + path + "' --user 0";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return ::testing::AssertionFailure() << "cannot run " << command;
    std::string json;
    char chunk[4096];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
        json.append(chunk, n);
    const int status = ::pclose(pipe);
    if (status != 0)
        return ::testing::AssertionFailure() << command << " failed, status " << status << ":\n" << json;
    if (std::string error = ParseDump(json, dump); !error.empty())
        return ::testing::AssertionFailure() << "the dump does not parse: " << error << "\n" << json;
    return ::testing::AssertionSuccess();
}

} // namespace tavro::test
