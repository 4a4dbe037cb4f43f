#include "Command.h"

namespace tavro::cli {

int RunSysInfo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunDump(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunCopy(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunShow(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunList(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunAreas(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunUsers(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunNodelist(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunImport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunPost(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunDemo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

const std::vector<TCommand>& Commands() {
    static const std::vector<TCommand> commands = {
        {"dump",
         "dump PATH [--type T] [--user N [--user-name NAME]] [--ids LIST]\n"
         "       [--start POS] [--count N] [--keep-softcr | --raw]",
         "print the messages of a message base as JSON", RunDump},
        {"list",
         "list PATH [--type T] [--threads] [--sort no|from|to|subj|date] [--user N [--user-name NAME]]",
         "print the message list as the reader shows it, one tab-separated row per message", RunList},
        {"copy", "copy SRC DST [--ids LIST] [--move] [--type T] [--to-type T]",
         "copy or move messages into another message base, creating it when missing", RunCopy},
        {"show", "show PATH POSITION [--type T] [--kludges] [--width N] [--color] [--keep-softcr]",
         "print one message as the reader shows it, coloured with --color (POSITION counts from 0)", RunShow},
        {"post",
         "post (--area TAG | PATH [--type T] --kind netmail|echomail|bad --tag TAG) [--home DIR]\n"
         "       --from NAME [--from-addr ADDR] --to NAME [--to-addr ADDR] --subject TEXT\n"
         "       [--attr \"Pvt K/S ...\"] [--reply-to ID] [--origin TEXT] [--utf8] [--file FILE|-]",
         "write one message (UTF-8 text from FILE or standard input) as the program sends it; prints its id",
         RunPost},
        {"areas", "areas [--user N] [--home DIR]",
         "list the configured areas; with --user, each one's message count and unread state", RunAreas},
        {"import", "import [--type squish|fastecho|fmail|areasbbs|hpt] [FILE] [--home DIR]",
         "bring the area list in line with the tosser's configuration; prints what changed", RunImport},
        {"users", "users [--home DIR]", "list the users with their ids and area trees", RunUsers},
        {"nodelist",
         "nodelist compile [--dir DIR] [--mask MASK]... [--home DIR]\n"
         "       nodelist find ADDRESS | --name NAME [--dir DIR] [--home DIR]",
         "compile the nodelists into an index; find a node by address or sysop name", RunNodelist},
        {"demo", "demo DIR",
         "write a demo home (a user, areas with threaded mail, a nodelist) into a new or empty DIR", RunDemo},
        {"sysinfo", "sysinfo", "print the version and the system information a bug report carries",
         RunSysInfo},
    };
    return commands;
}

} // namespace tavro::cli
