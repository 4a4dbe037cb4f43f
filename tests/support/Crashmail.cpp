#include "Crashmail.h"

#include "TempDir.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sstream>
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

// The stem of a node's flow files in the BSO outbound: net and node in hex.
std::string FlowStem(const TAddress& node) {
    char stem[9];
    std::snprintf(stem, sizeof stem, "%04x%04x", node.Net, node.Node);
    return stem;
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
           << AreaLine("AREA", Setup.EchoTag, EchoDir) << "EXPORT " << Setup.Uplink.ToStrFull() << "\n";
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

std::vector<TPacketMsg> TCrashmail::TakeUplinkMail() {
    const std::string stem = FlowStem(Setup.Uplink);
    std::vector<fs::path> flows;
    for (const auto& entry : fs::directory_iterator(File("out"))) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(stem) && name.ends_with("lo"))
            flows.push_back(entry.path());
    }
    std::vector<TPacketMsg> msgs;
    for (const fs::path& flowFile : flows) {
        std::istringstream flow(ReadFile(flowFile.string()));
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
            TPacket packet;
            EXPECT_EQ(ReadPacket(ReadFile(line), packet), "") << line;
            EXPECT_TRUE(SameAddress(packet.Dest, Setup.Uplink)) << packet.Dest.ToStr();
            EXPECT_TRUE(SameAddress(packet.Orig, Setup.Ours)) << packet.Orig.ToStr();
            msgs.insert(msgs.end(), packet.Msgs.begin(), packet.Msgs.end());
            fs::remove(line);
        }
        fs::remove(flowFile);
    }
    return msgs;
}

} // namespace tavro::test
