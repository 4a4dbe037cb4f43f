#include "BaseOpen.h"

#include "bases/BaseFactory.h"
#include "core/FileUtils.h"
#include "core/StrUtils.h"

#include <algorithm>
#include <charconv>

namespace tavro::cli {

namespace {

bool ParseId(std::string_view text, TMsgId& id) {
    text = TrimView(text);
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, id);
    return !text.empty() && ec == std::errc() && ptr == end;
}

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

} // namespace

void ThrowUsage(const std::string& message) {
    throw ECommandError(message, ExitUsage);
}

void ThrowFailure(const std::string& message) {
    throw ECommandError(message, ExitFailure);
}

int RunReportingErrors(std::string_view name, std::ostream& err, const std::function<int()>& body) {
    int status = ExitFailure;
    std::string message;
    try {
        return body();
    } catch (const ECommandError& e) {
        status = e.Status;
        message = e.what();
    } catch (const std::exception& e) {
        message = e.what();
    }
    // One line whatever the message holds, for scripts that read the last line.
    std::replace_if(
        message.begin(), message.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    err << "tavro-cli " << name << ": " << message << "\n";
    return status;
}

TArguments::TArguments(const std::vector<std::string>& args, std::initializer_list<std::string_view> valued,
                       std::initializer_list<std::string_view> flags) {
    const auto known = [](std::initializer_list<std::string_view> list, std::string_view name) {
        return std::find(list.begin(), list.end(), name) != list.end();
    };
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            Positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const size_t equals = arg.find('=');
        std::string name = arg.substr(0, equals);
        std::string value;
        if (known(valued, name)) {
            if (equals != std::string::npos)
                value = arg.substr(equals + 1);
            else if (i + 1 < args.size())
                value = args[++i];
            else
                ThrowUsage(name + " needs a value");
        } else if (!known(flags, name) || equals != std::string::npos) {
            ThrowUsage("unknown option \"" + arg + "\"");
        }
        if (!Options.emplace(name, value).second)
            ThrowUsage(name + " given twice");
    }
}

const std::string* TArguments::Value(std::string_view option) const {
    auto it = Options.find(std::string(option));
    return it == Options.end() ? nullptr : &it->second;
}

int TArguments::Number(std::string_view option, int min, int max, int fallback) const {
    const std::string* text = Value(option);
    if (text == nullptr)
        return fallback;
    int32_t value = 0;
    if (!StrToInt(*text, value) || value < min || value > max)
        ThrowUsage(std::string(option) + " wants a number from " + std::to_string(min) + " to " +
                   std::to_string(max) + ", not \"" + *text + "\"");
    return value;
}

TIdList::TIdList(std::string_view text) {
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        const std::string_view item =
            text.substr(start, comma == std::string_view::npos ? comma : comma - start);
        const size_t dash = item.find('-');
        TMsgId first = 0, last = 0;
        bool ok = dash == std::string_view::npos
                      ? ParseId(item, first) && ParseId(item, last)
                      : ParseId(item.substr(0, dash), first) && ParseId(item.substr(dash + 1), last);
        if (!ok)
            ThrowUsage("--ids: \"" + std::string(item) + "\" is neither an id nor a range like 5-9");
        if (first > last)
            ThrowUsage("--ids: the range \"" + std::string(item) + "\" runs backwards");
        if (dash == std::string_view::npos)
            Singles_.push_back(first);
        Ranges.emplace_back(first, last);
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    // Merged, so that a lookup is one binary search however the list was written.
    std::sort(Ranges.begin(), Ranges.end());
    std::vector<std::pair<TMsgId, TMsgId>> merged;
    for (const auto& range : Ranges) {
        if (!merged.empty() &&
            (merged.back().second == UINT32_MAX || range.first <= merged.back().second + 1))
            merged.back().second = std::max(merged.back().second, range.second);
        else
            merged.push_back(range);
    }
    Ranges = std::move(merged);
}

bool TIdList::Contains(TMsgId id) const {
    auto it = std::upper_bound(Ranges.begin(), Ranges.end(), id,
                               [](TMsgId value, const auto& range) { return value < range.first; });
    return it != Ranges.begin() && id <= std::prev(it)->second;
}

void TIdList::CheckPresent(const std::vector<TMsgId>& present) const {
    std::vector<TMsgId> sorted = present;
    std::sort(sorted.begin(), sorted.end());
    for (TMsgId id : Singles_)
        if (!std::binary_search(sorted.begin(), sorted.end(), id))
            ThrowFailure("no message with id " + std::to_string(id));
}

TBaseType ParseBaseType(std::string_view name) {
    for (TBaseType type : {btMsg, btSquish, btJam})
        if (name == BaseTypeName(type))
            return type;
    ThrowUsage("unknown base type \"" + std::string(name) + "\"; use msg, squish or jam");
}

const char* BaseTypeName(TBaseType type) {
    switch (type) {
    case btMsg:
        return "msg";
    case btSquish:
        return "squish";
    case btJam:
        return "jam";
    }
    return "?";
}

bool BaseTypeFromPath(const std::string& path, TBaseType& type) {
    if (DirectoryExists(ResolveCase(path)))
        type = btMsg;
    else if (EndsWithNoCase(path, ".sqd"))
        type = btSquish;
    else if (EndsWithNoCase(path, ".jhr"))
        type = btJam;
    else
        return false;
    return true;
}

TBaseType ChooseBaseType(const std::string& path, const std::string* typeOption) {
    if (typeOption != nullptr)
        return ParseBaseType(*typeOption);
    TBaseType type;
    if (!BaseTypeFromPath(path, type))
        ThrowUsage("cannot tell the base type of \"" + path + "\"; give --type msg, squish or jam");
    return type;
}

bool BaseExists(TBaseType type, const std::string& path) {
    const std::string resolved = ResolveCase(path);
    return type == btMsg ? DirectoryExists(resolved) : FileExists(resolved);
}

TBaseType ExistingBaseType(const std::string& path, const std::string* typeOption) {
    if (typeOption != nullptr)
        ParseBaseType(*typeOption);
    const std::string resolved = ResolveCase(path);
    if (!FileExists(resolved) && !DirectoryExists(resolved))
        ThrowFailure("no such base: \"" + path + "\"");
    const TBaseType type = ChooseBaseType(path, typeOption);
    if (!BaseExists(type, path))
        ThrowFailure("\"" + path + "\" is not a " + BaseTypeName(type) + " base");
    return type;
}

TBaseRef OpenBase(TBaseType type, const std::string& path, const TCodePagePair& pages, bool keepSoftCR) {
    TBaseRef base = NewBase(type, ResolveCase(path), "", "");
    if (!base)
        ThrowFailure(std::string("no storage for this base type yet (") + BaseTypeName(type) + ")");
    base->CodePages = pages;
    base->DoNotIgnoreSoftCR = keepSoftCR;
    if (base->IsChanged())
        base->Rescan();
    return base;
}

std::vector<TMsgId> AllIds(TCustomBase& base) {
    std::vector<TMsgId> ids;
    const int count = base.GetCount();
    ids.reserve(static_cast<size_t>(std::max(count, 0)));
    for (int position = 0; position < count; ++position)
        ids.push_back(base.GetMsgId(position));
    return ids;
}

} // namespace tavro::cli
