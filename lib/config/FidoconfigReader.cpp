#include "FidoconfigReader.h"

#include "AreaImport.h"
#include "CfgStream.h"

#include "core/FileUtils.h"
#include "core/StrUtils.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace tavro {

namespace {

// Real configurations nest a few levels and include a few dozen files; anything far beyond
// is a loop through distinct names or a crafted file.
constexpr size_t MaxIncludeDepth = 32;
constexpr int MaxFilesRead = 1000;
// A line after its variables are put in; "set A=[A][A]" doubles with every line.
constexpr size_t MaxLineBytes = 64 * 1024;

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

std::string_view FirstWordOf(std::string_view text) {
    size_t start = 0;
    while (start < text.size() && IsBlank(text[start]))
        ++start;
    size_t end = start;
    while (end < text.size() && !IsBlank(text[end]))
        ++end;
    return text.substr(start, end - start);
}

std::string Unquote(std::string_view text) {
    text = TrimView(text);
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        text = text.substr(1, text.size() - 2);
    return std::string(text);
}

// The file as the system knows it, so that two names of one file are seen as one.
std::string CanonicalName(const std::string& fileName) {
    char buffer[PATH_MAX];
    return ::realpath(fileName.c_str(), buffer) ? std::string(buffer) : fileName;
}

std::string DirectoryPart(const std::string& fileName) {
    const size_t slash = fileName.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : fileName.substr(0, slash);
}

// "A==B", "A!=B" compare ignoring case; "A=~MASK", "A!~MASK" match a wildcard mask.
bool Compare(std::string_view expression, bool& result) {
    for (std::string_view op : {"==", "!=", "=~", "!~"}) {
        const size_t at = expression.find(op);
        if (at == std::string_view::npos)
            continue;
        const std::string left = Unquote(expression.substr(0, at));
        const std::string right = Unquote(expression.substr(at + 2));
        const bool match = op[1] == '=' ? EqualsNoCase(left, right) : MatchMask(left, right);
        result = op[0] == '=' ? match : !match;
        return true;
    }
    return false;
}

} // namespace

std::string_view StripFidoconfigComment(std::string_view line) {
    for (size_t i = 0; i < line.size(); ++i)
        if (line[i] == '#' && (i == 0 || IsBlank(line[i - 1])))
            return line.substr(0, i);
    return line;
}

bool TFidoconfigReader::Lookup(std::string_view name, std::string& value) const {
    if (name.empty())
        return false;
    if (auto it = Variables.find(UpperCaseAscii(name)); it != Variables.end()) {
        value = it->second;
        return true;
    }
    for (const std::string& envName : {std::string(name), UpperCaseAscii(name)}) {
        if (const char* env = std::getenv(envName.c_str())) {
            value = env;
            return true;
        }
    }
    return false;
}

void TFidoconfigReader::Read(const std::string& fileName) {
    Reading.clear();
    FilesRead = 0;
    Reading.push_back(CanonicalName(fileName));
    ReadFile(fileName);
    Reading.pop_back();
}

void TFidoconfigReader::ReadFile(const std::string& fileName) {
    ++FilesRead;
    std::vector<TBranch> branches;
    for (const std::string& raw : ReadConfigLines(fileName)) {
        const std::string_view line = TrimView(StripFidoconfigComment(raw));
        if (line.empty())
            continue;
        if (HandleCondition(branches, FirstWordOf(line), TextFromWord(line, 1), fileName))
            continue;
        if (!branches.empty() && !branches.back().Active)
            continue;
        const std::string text = Substitute(line, fileName);
        const std::string_view keyword = FirstWordOf(text);
        if (EqualsNoCase(keyword, "set"))
            Set(TextFromWord(text, 1));
        else if (EqualsNoCase(keyword, "Include"))
            Include(FirstWordOf(TextFromWord(text, 1)), fileName);
        else
            Handler(TrimView(text));
    }
}

bool TFidoconfigReader::HandleCondition(std::vector<TBranch>& branches, std::string_view keyword,
                                        std::string_view rest, const std::string& fileName) {
    const bool active = branches.empty() || branches.back().Active;
    if (EqualsNoCase(keyword, "if") || EqualsNoCase(keyword, "ifdef") || EqualsNoCase(keyword, "ifndef")) {
        const bool take = active && Evaluate(keyword, rest, fileName);
        branches.push_back({active, take, take});
        return true;
    }
    const bool elseIf = EqualsNoCase(keyword, "elseif");
    if (elseIf || EqualsNoCase(keyword, "else")) {
        if (branches.empty())
            return true; // a stray one changes nothing
        TBranch& branch = branches.back();
        branch.Active = branch.ParentActive && !branch.Taken && (!elseIf || Evaluate("if", rest, fileName));
        branch.Taken = branch.Taken || branch.Active;
        return true;
    }
    if (EqualsNoCase(keyword, "endif")) {
        if (!branches.empty())
            branches.pop_back();
        return true;
    }
    return false;
}

bool TFidoconfigReader::Evaluate(std::string_view keyword, std::string_view rest,
                                 const std::string& fileName) {
    std::string value;
    if (EqualsNoCase(keyword, "ifdef"))
        return Lookup(FirstWordOf(rest), value);
    if (EqualsNoCase(keyword, "ifndef"))
        return !Lookup(FirstWordOf(rest), value);
    bool unknown = false;
    const std::string expression = Substitute(rest, fileName, &unknown);
    bool result = true;
    if (unknown || !Compare(expression, result))
        return true;
    return result;
}

std::string TFidoconfigReader::Substitute(std::string_view text, const std::string& fileName,
                                          bool* unknown) const {
    std::string result;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t open = text.find('[', pos);
        const size_t close = open == std::string_view::npos ? open : text.find(']', open + 1);
        if (close == std::string_view::npos) {
            result += text.substr(pos);
            break;
        }
        std::string value;
        const std::string_view name = text.substr(open + 1, close - open - 1);
        if (name.find('[') == std::string_view::npos && Lookup(name, value)) {
            result.append(text.substr(pos, open - pos)).append(value);
            pos = close + 1;
        } else {
            if (unknown)
                *unknown = true;
            result.append(text.substr(pos, open + 1 - pos));
            pos = open + 1;
        }
        if (result.size() > MaxLineBytes)
            throw EConfigError("a line of \"" + fileName + "\" grows over 64 KB through its variables");
    }
    return result;
}

void TFidoconfigReader::Set(std::string_view rest) {
    const size_t equals = rest.find('=');
    const std::string name = UpperCaseAscii(TrimView(rest.substr(0, equals)));
    if (name.empty())
        return;
    const std::string value =
        equals == std::string_view::npos ? std::string() : Unquote(rest.substr(equals + 1));
    if (value.empty())
        Variables.erase(name);
    else
        Variables[name] = value;
}

void TFidoconfigReader::Include(std::string_view name, const std::string& includingFile) {
    if (name.empty())
        return;
    std::string path = NormalizeSeparators(name);
    if (path.front() != '/')
        path = DirectoryPart(includingFile) + "/" + path;
    path = ResolveCase(path);
    // Devices and pipes are no configuration and could block the read forever.
    if (!FileExists(path))
        return;
    const std::string canonical = CanonicalName(path);
    if (std::find(Reading.begin(), Reading.end(), canonical) != Reading.end())
        return;
    if (Reading.size() >= MaxIncludeDepth || FilesRead >= MaxFilesRead)
        throw EConfigError("\"" + includingFile + "\" includes files too deeply or too many times");
    Reading.push_back(canonical);
    ReadFile(path);
    Reading.pop_back();
}

} // namespace tavro
