#pragma once

#include "FtnPacket.h"

#include "core/Address.h"
#include "core/CodePage.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tavro::test {

// UTF-8 test text in the active OEM and display code pages.
inline std::string Oem(const char* utf8) {
    return ActiveCodePages().Oem()->FromUtf8(utf8);
}
inline std::string Display(const char* utf8) {
    return ActiveCodePages().Display()->FromUtf8(utf8);
}

// How crashmail stores its areas: a directory of *.MSG files, or a JAM base.
enum class TCrashmailStorage { Msg, Jam };

// The system a run plays: our node, the uplink it exchanges echomail with and one echo area.
struct TCrashmailSetup {
    TAddress Ours;
    TAddress Uplink;
    std::string EchoTag;
    TCrashmailStorage Storage = TCrashmailStorage::Msg;
};

// Debian's crashmail tosser, run as a peer with a configuration that keeps every path inside
// `dir`. The areas live there: "echo", "bad" and "netmail" are the *.MSG directories, or the
// directories that hold a JAM base named after the area. Netmail to anywhere else is routed
// through the uplink.
class TCrashmail {
public:
    TCrashmail(std::string dir, TCrashmailSetup setup);

    // The installed program, or empty.
    static std::string FindProgram();
    // What a test says when the program is missing.
    static const char* MissingHint();

    // Creates the directories and writes the configuration; a failure when the program is
    // not installed.
    ::testing::AssertionResult Prepare();

    // The echo area as crashmail names it in its configuration: the *.MSG directory, or the
    // JAM base's path without extension.
    std::string EchoArea() const;
    std::string NetmailArea() const;
    // The file that exists under `path` with the case of its name ignored, so a JAM base's
    // ".jhr" is found whatever case the tosser gave it; empty when there is none.
    static std::string OnDisk(const std::string& path);
    std::string File(std::string_view name) const;
    const std::string& Output() const { return Output_; }

    // Runs crashmail with the arguments after its configuration; its output lands in Output.
    ::testing::AssertionResult Run(std::vector<std::string> args);
    // Puts the packet into the inbound and tosses it.
    ::testing::AssertionResult Toss(const TPacket& packet);

    // Every packet in the outbound: those flow files list, and the netmail packets crashmail
    // names after the node (".out" and the other flavours). All of it is then removed, as a
    // mailer does once it has sent it; a file that is neither fails the test, as mail it
    // would miss.
    std::vector<TPacket> TakeOutboundMail();
    // The messages of TakeOutboundMail, each packet checked to go from us to the uplink.
    std::vector<TPacketMsg> TakeUplinkMail();

private:
    std::string AreaLine(std::string_view keyword, std::string_view tag, std::string_view dir) const;
    std::string AreaPath(std::string_view dir, std::string_view tag) const;
    void WriteConfig();

    std::string Dir;
    TCrashmailSetup Setup;
    std::string Program;
    std::string Output_;
};

// What `tavro-cli dump` printed of one message. Strings are decoded to UTF-8; numbers,
// booleans and null keep their JSON text ("2", "false").
struct TDumpedMsg {
    std::map<std::string, std::string> Values;
    std::map<std::string, std::vector<std::string>> Lists;

    // The member's value; for a missing member a text no dump prints, so that comparing it
    // fails and names the member.
    std::string Value(const std::string& key) const;
    std::vector<std::string> List(const std::string& key) const;
};

// A whole dump: the members about the base, and the messages in the order printed.
struct TDump {
    std::map<std::string, std::string> Values;
    std::vector<TDumpedMsg> Messages;

    std::string Value(const std::string& key) const;
};

// Parses the output of `tavro-cli dump`; the empty string on success, else what is wrong.
std::string ParseDump(std::string_view json, TDump& dump);

// Runs `cli dump PATH --user 0` and parses what it prints.
::testing::AssertionResult DumpBase(const std::string& cli, const std::string& path, TDump& dump);

} // namespace tavro::test
