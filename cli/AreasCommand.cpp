#include "BaseOpen.h"
#include "Command.h"
#include "ConfigOpen.h"

#include "config/Config.h"
#include "reader/AreaState.h"

namespace tavro::cli {

namespace {

// The columns, tab-separated after a header line; MESSAGES and UNREAD only with --user.
constexpr const char* Columns = "NAME\tKIND\tFORMAT\tAKA\tPATH";
constexpr const char* UserColumns = "\tMESSAGES\tUNREAD";

std::string KindName(uint8_t echoType) {
    switch (echoType) {
    case etNetmail:
        return "Netmail";
    case etEchomail:
        return "Echomail";
    case etBadmail:
        return "Corrupted mail";
    }
    return "unknown " + std::to_string(echoType);
}

std::string FormatName(uint8_t baseType) {
    switch (baseType) {
    case btMsg:
        return "MSG";
    case btSquish:
        return "Squish";
    case btJam:
        return "JAM";
    }
    return "unknown " + std::to_string(baseType);
}

const TUser* UserWithId(const TConfig& config, int id) {
    for (const auto& user : config.Users)
        if (user->UserId == id)
            return user.get();
    return nullptr;
}

// The message count and unread state for the user, as the reader lists the area.
std::string BaseColumns(TEcho& echo, int userId, const std::string& userName) {
    const TAreaState state = InspectArea(echo, userId, userName);
    // One base at a time, however many areas there are.
    echo.CloseBase();
    switch (state.Kind) {
    case TAreaState::Missing:
        return "missing\tmissing";
    case TAreaState::Locked:
        return "locked\tlocked";
    case TAreaState::Ready:
        break;
    }
    return std::to_string(state.Count) + (state.Unread ? "\tyes" : "\tno");
}

int Areas(const std::vector<std::string>& args, std::ostream& out) {
    TArguments arguments(args, {"--user", "--home"}, {});
    if (!arguments.Positional.empty())
        ThrowUsage("takes no PATH; give --home DIR for another configuration");
    const int userId = arguments.Number("--user", 0, 255, -1);
    TConfig config;
    LoadConfigAndUsers(config, ConfigHome(arguments));
    std::string userName;
    if (const TUser* user = userId >= 0 ? UserWithId(config, userId) : nullptr)
        userName = user->Name;

    out << Columns << (userId >= 0 ? UserColumns : "") << "\n";
    for (const auto& echo : config.Echoes) {
        out << OutputText(echo->Name) << "\t" << KindName(echo->EchoType) << "\t"
            << FormatName(echo->BaseType) << "\t" << echo->Address.ToStr5D() << "\t"
            << OutputPath(echo->Path);
        if (userId >= 0)
            out << "\t" << BaseColumns(*echo, userId, userName);
        out << "\n";
    }
    return 0;
}

} // namespace

int RunAreas(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return RunReportingErrors("areas", err, [&] { return Areas(args, out); });
}

} // namespace tavro::cli
