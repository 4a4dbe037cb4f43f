#include "BaseOpen.h"
#include "Command.h"
#include "ConfigOpen.h"

#include "config/Config.h"

namespace tavro::cli {

namespace {

// Folders end in "/"; areas show their area name, which a tree caption may hide.
void PrintTree(const std::vector<std::unique_ptr<TTreeInfo>>& nodes, int depth, std::ostream& out) {
    for (const auto& node : nodes) {
        out << std::string(size_t(depth) * 2, ' ');
        if (node->IsFolder()) {
            out << OutputText(node->Name) << "/\n";
            PrintTree(node->Children, depth + 1, out);
        } else {
            out << OutputText(node->Echo->Name) << "\n";
        }
    }
}

int Users(const std::vector<std::string>& args, std::ostream& out) {
    TArguments arguments(args, {"--home"}, {});
    if (!arguments.Positional.empty())
        ThrowUsage("takes no arguments but --home DIR");
    TConfig config;
    LoadConfigAndUsers(config, ConfigHome(arguments));
    for (const auto& user : config.Users) {
        out << user->UserId << "\t" << OutputText(user->Name) << "\n";
        PrintTree(user->AreaTree, 1, out);
    }
    return 0;
}

} // namespace

int RunUsers(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return RunReportingErrors("users", err, [&] { return Users(args, out); });
}

} // namespace tavro::cli
