#pragma once

#include "core/Base.h"

#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tavro::cli {

// What the commands that work on message bases share: their errors, their options, the
// --ids list and opening a base from a path.

constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

// A command's error: one line for standard error and the exit status.
class ECommandError : public std::runtime_error {
public:
    ECommandError(const std::string& message, int status) : std::runtime_error(message), Status(status) {}
    int Status;
};

[[noreturn]] void ThrowUsage(const std::string& message);
[[noreturn]] void ThrowFailure(const std::string& message);

// Runs a command's body; whatever it throws becomes "tavro-cli NAME: message" on `err` and
// the matching exit status.
int RunReportingErrors(std::string_view name, std::ostream& err, const std::function<int()>& body);

// The arguments of one command: "--name value", "--name=value" or a flag; "--" ends the
// options. Unknown options, a missing value and an option given twice are usage errors.
class TArguments {
public:
    TArguments(const std::vector<std::string>& args, std::initializer_list<std::string_view> valued,
               std::initializer_list<std::string_view> flags);

    std::vector<std::string> Positional;

    bool Has(std::string_view option) const { return Options.contains(std::string(option)); }
    // Null when the option is absent.
    const std::string* Value(std::string_view option) const;
    // The option's value as a number within [min, max]; `fallback` when absent.
    int Number(std::string_view option, int min, int max, int fallback) const;

private:
    std::map<std::string, std::string> Options;
};

// The ids of an --ids list such as "2,5-9". A single id names a message that must exist; a
// range takes the messages it finds, since deletions leave gaps.
class TIdList {
public:
    explicit TIdList(std::string_view text);

    bool Contains(TMsgId id) const;
    const std::vector<TMsgId>& Singles() const { return Singles_; }
    // Fails naming the first single id that is not among `present` (sorted).
    void CheckPresent(const std::vector<TMsgId>& present) const;

private:
    std::vector<std::pair<TMsgId, TMsgId>> Ranges; // sorted, not overlapping
    std::vector<TMsgId> Singles_;
};

// "msg", "squish" or "jam"; anything else is a usage error.
TBaseType ParseBaseType(std::string_view name);
const char* BaseTypeName(TBaseType type);
// An existing directory is a *.MSG base, a name ending in ".sqd" Squish and ".jhr" JAM, in
// any letter case. False when the path tells nothing.
bool BaseTypeFromPath(const std::string& path, TBaseType& type);
// The type from an explicit --type value, else from the path; a usage error when neither
// tells.
TBaseType ChooseBaseType(const std::string& path, const std::string* typeOption);
// Whether the directory (*.MSG) or the header file (Squish, JAM) exists.
bool BaseExists(TBaseType type, const std::string& path);
// The type of a base that must exist: a misnamed --type is a usage error, a missing base a
// failure.
TBaseType ExistingBaseType(const std::string& path, const std::string* typeOption);

// Opens the base through the factory with these text settings and rescans it; fails when
// no class stores the type. Creates nothing.
TBaseRef OpenBase(TBaseType type, const std::string& path, const TCodePagePair& pages, bool keepSoftCR);

// The list of all ids in storage order.
std::vector<TMsgId> AllIds(TCustomBase& base);

} // namespace tavro::cli
