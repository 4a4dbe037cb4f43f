#include "Command.h"

#include "core/SysInfo.h"
#include "core/UserInterface.h"

namespace tavro::cli {

namespace {

// Error boxes of the core become lines on standard error; questions get no answer.
class TStreamInterface final : public TUserInterface {
public:
    explicit TStreamInterface(std::ostream& err) : Err(err) { SetUserInterface(this); }
    ~TStreamInterface() override { SetUserInterface(nullptr); }
    void ShowError(const std::string& text) override { Err << "tavro-cli: " << text << "\n"; }
    TMsgDlgButton Ask(const std::string& text, TMsgDlgType, const std::vector<TMsgDlgButton>&) override {
        Err << "tavro-cli: " << text << " (answered Cancel)\n";
        return mbCancel;
    }

private:
    std::ostream& Err;
};

void PrintHelp(std::ostream& out) {
    out << "Usage: tavro-cli COMMAND [ARGUMENTS]\n"
           "       tavro-cli --help | --version\n"
           "\n"
           "Tavro's command-line companion: looks into FTN message bases and the program's\n"
           "configuration without the desktop program.\n"
           "\n"
           "Commands:\n";
    for (const TCommand& command : Commands())
        out << "  " << command.Usage << "\n      " << command.Summary << "\n";
    out << "\n"
           "Options:\n"
           "  -h, --help     show this help and exit\n"
           "  -V, --version  print the version and exit\n"
           "\n"
           "Configuration lives in $TAVRO_HOME, else $XDG_CONFIG_HOME/tavro (~/.config/tavro).\n";
}

} // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        PrintHelp(err);
        return 2;
    }
    const std::string& first = args.front();
    if (first == "-h" || first == "--help" || first == "help") {
        PrintHelp(out);
        return 0;
    }
    if (first == "-V" || first == "--version") {
        TSystemInfo info;
        CollectSystemInfo(info);
        out << VersionText(info) << "\n";
        return 0;
    }
    TStreamInterface ui(err);
    for (const TCommand& command : Commands())
        if (first == command.Name)
            return command.Run({args.begin() + 1, args.end()}, out, err);
    err << "tavro-cli: unknown command \"" << first << "\"; see tavro-cli --help\n";
    return 2;
}

} // namespace tavro::cli
