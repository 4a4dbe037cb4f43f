#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tavro::cli {

// One subcommand of tavro-cli. Run gets the arguments after the command's name and returns
// the exit status; errors go to `err` as one line.
struct TCommand {
    const char* Name;
    const char* Usage;   // "dump PATH [--user N] ..."
    const char* Summary; // one line for the help text
    int (*Run)(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
};

// Every subcommand, in the order the help lists them.
const std::vector<TCommand>& Commands();

// The whole program, for main and for tests.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace tavro::cli
