#pragma once

#include "Command.h"

#include <sstream>
#include <string>
#include <vector>

namespace tavro::test {

struct TCliResult {
    int Status;
    std::string Out, Err;
};

// Runs tavro-cli in-process with the given arguments.
inline TCliResult Invoke(std::vector<std::string> args) {
    std::ostringstream out, err;
    int status = cli::RunCli(args, out, err);
    return {status, out.str(), err.str()};
}

} // namespace tavro::test
