#include "Command.h"

namespace tavro::cli {

int RunSysInfo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

const std::vector<TCommand>& Commands() {
    static const std::vector<TCommand> commands = {
        {"sysinfo", "sysinfo", "print the version and the system information a bug report carries",
         RunSysInfo},
    };
    return commands;
}

} // namespace tavro::cli
