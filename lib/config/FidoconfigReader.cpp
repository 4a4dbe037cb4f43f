#include "FidoconfigReader.h"

#include "AreaImport.h"
#include "CfgStream.h"

#include "core/FileUtils.h"
#include "core/StrUtils.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <initializer_list>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tavro {

namespace {

// Real configurations nest a few levels and include a few dozen files; anything far beyond
// is a loop through distinct names or a crafted file.
constexpr size_t MaxIncludeDepth = 32;
constexpr int MaxFilesRead = 1000;
// A line as read, joined or after its variables are put in; "set A=[A][A]" doubles with
// every line.
constexpr size_t MaxLineBytes = 64 * 1024;
// All files together, includes counted each time they are read.
constexpr uint64_t MaxBytesRead = uint64_t(64) << 20;
// Variables may add as much text as the files hold and this much more.
constexpr uint64_t AddedBytesAllowance = uint64_t(1) << 20;

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

std::string AbsoluteDirectory(const std::string& fileName) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(fileName, error);
    return DirectoryPart(error ? fileName : absolute.lexically_normal().string());
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

bool IsOneOf(std::string_view word, std::initializer_list<std::string_view> words) {
    return std::any_of(words.begin(), words.end(),
                       [word](std::string_view w) { return EqualsNoCase(word, w); });
}

// Where a line ending in " \" is continued: the position of the backslash, or npos.
size_t ContinuationAt(std::string_view line) {
    const std::string_view text = TrimView(line);
    if (text.size() < 2 || text.back() != '\\' || !IsBlank(text[text.size() - 2]))
        return std::string_view::npos;
    return static_cast<size_t>(text.data() - line.data()) + text.size() - 1;
}

} // namespace

// The lines of a file, split at CR, LF or CR LF, read through a buffer.
class TFidoconfigReader::TLineFile {
public:
    enum class TRead { Line, End, TooLong, Failed };

    explicit TLineFile(uint64_t& bytesRead) : BytesRead(bytesRead) {}
    TLineFile(const TLineFile&) = delete;
    TLineFile& operator=(const TLineFile&) = delete;
    ~TLineFile() {
        if (Fd >= 0)
            ::close(Fd);
    }

    // Regular files only: a device or a pipe could block the read forever.
    bool Open(const std::string& fileName) {
        Fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        struct stat st;
        return Fd >= 0 && ::fstat(Fd, &st) == 0 && S_ISREG(st.st_mode);
    }

    TRead Next(std::string& line) {
        line.clear();
        bool any = false;
        for (;;) {
            if (Pos == End) {
                const ssize_t n = Fill();
                if (n < 0)
                    return TRead::Failed;
                if (n == 0)
                    return any ? TRead::Line : TRead::End;
            }
            if (AfterCr && Buffer[Pos] == '\n') {
                AfterCr = false;
                ++Pos;
                continue;
            }
            AfterCr = false;
            size_t stop = Pos;
            while (stop < End && Buffer[stop] != '\r' && Buffer[stop] != '\n')
                ++stop;
            if (line.size() + (stop - Pos) > MaxLineBytes)
                return TRead::TooLong;
            line.append(Buffer + Pos, stop - Pos);
            any = true;
            Pos = stop;
            if (stop < End) {
                AfterCr = Buffer[stop] == '\r';
                ++Pos;
                ++Number_;
                return TRead::Line;
            }
        }
    }

    // The line number of the line read last.
    size_t Number() const { return Number_; }

private:
    ssize_t Fill() {
        ssize_t n;
        do
            n = ::read(Fd, Buffer, sizeof Buffer);
        while (n < 0 && errno == EINTR);
        Pos = 0;
        End = n > 0 ? static_cast<size_t>(n) : 0;
        if (n > 0)
            BytesRead += static_cast<uint64_t>(n);
        return n;
    }

    uint64_t& BytesRead;
    int Fd = -1;
    char Buffer[16384];
    size_t Pos = 0;
    size_t End = 0;
    bool AfterCr = false;
    size_t Number_ = 0;
};

std::string_view StripFidoconfigComment(std::string_view line, char commentChar) {
    size_t first = 0;
    while (first < line.size() && IsBlank(line[first]))
        ++first;
    bool quoted = false;
    for (size_t i = first; i < line.size(); ++i) {
        const char c = line[i];
        const bool afterBlank = i == 0 || IsBlank(line[i - 1]);
        if (quoted) {
            quoted = c != '"';
        } else if (c == commentChar &&
                   (i == first || (afterBlank && (i + 1 == line.size() || IsBlank(line[i + 1]))))) {
            return line.substr(0, i);
        } else if (c == '"' && afterBlank) {
            quoted = true;
        }
    }
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
    Variables = {{"OS", "UNIX"}, {"MODULE", "hpt"}, {"CONFIGDIR", AbsoluteDirectory(fileName)}};
    Unset.clear();
    Reading = {CanonicalName(fileName)};
    File.clear();
    Line = 0;
    CommentChar = '#';
    FilesRead = 0;
    BytesRead = BytesAdded = 0;
    if (!ReadFile(fileName))
        throw EConfigError("cannot read \"" + fileName + "\"");
    Reading.clear();
}

bool TFidoconfigReader::ReadFile(const std::string& fileName) {
    TLineFile file(BytesRead);
    if (!file.Open(fileName))
        return false;
    ++FilesRead;
    const std::string outerFile = std::exchange(File, fileName);
    const size_t outerLine = Line;
    std::vector<TBranch> branches;
    std::string line;
    while (NextLogicalLine(file, line))
        HandleLine(TrimView(line), branches);
    if (!branches.empty())
        Warn("\"" + fileName + "\" ends inside a condition that has no \"endif\"");
    File = outerFile;
    Line = outerLine;
    return true;
}

bool TFidoconfigReader::NextLine(TLineFile& file, std::string& line) {
    const TLineFile::TRead result = file.Next(line);
    if (result == TLineFile::TRead::Failed)
        Fail("reading failed");
    if (result == TLineFile::TRead::TooLong)
        Fail("the line is longer than 64 KB");
    if (BytesRead > MaxBytesRead)
        Fail("the configuration grows over 64 MB with what it includes");
    if (result != TLineFile::TRead::Line)
        return false;
    line.erase(StripFidoconfigComment(line, CommentChar).size());
    return true;
}

bool TFidoconfigReader::NextLogicalLine(TLineFile& file, std::string& line) {
    Line = file.Number() + 1;
    if (!NextLine(file, line))
        return false;
    std::string next;
    for (size_t at = ContinuationAt(line); at != std::string::npos; at = ContinuationAt(line)) {
        line.erase(at);
        if (!NextLine(file, next))
            break;
        line += next;
        if (line.size() > MaxLineBytes)
            Fail("the line is longer than 64 KB with the lines that continue it");
    }
    return true;
}

void TFidoconfigReader::HandleLine(std::string_view line, std::vector<TBranch>& branches) {
    if (line.empty())
        return;
    if (HandleCondition(branches, FirstWordOf(line), TextFromWord(line, 1)))
        return;
    if (!branches.empty() && !branches.back().Active)
        return;
    const std::string text = Substitute(line);
    const std::string_view keyword = FirstWordOf(text);
    if (EqualsNoCase(keyword, "set"))
        Set(TextFromWord(text, 1));
    else if (EqualsNoCase(keyword, "Include"))
        Include(TextFromWord(text, 1));
    else if (EqualsNoCase(keyword, "CommentChar"))
        SetCommentChar(TextFromWord(text, 1));
    else if (!keyword.empty())
        Handler(TrimView(text));
}

bool TFidoconfigReader::HandleCondition(std::vector<TBranch>& branches, std::string_view keyword,
                                        std::string_view rest) {
    const bool active = branches.empty() || branches.back().Active;
    if (IsOneOf(keyword, {"if", "ifdef", "ifndef"})) {
        const bool take = active && Evaluate(keyword, rest);
        branches.push_back({active, take, take});
        return true;
    }
    const bool elseIf = IsOneOf(keyword, {"elseif", "elif"});
    if (elseIf || EqualsNoCase(keyword, "else")) {
        if (branches.empty()) {
            Warn(Where() + ": \"" + std::string(keyword) + "\" without \"if\" is ignored");
            return true;
        }
        TBranch& branch = branches.back();
        // A condition after a taken branch is not evaluated: its variables need not exist.
        branch.Active = branch.ParentActive && !branch.Taken && (!elseIf || Evaluate("if", rest));
        branch.Taken = branch.Taken || branch.Active;
        return true;
    }
    if (EqualsNoCase(keyword, "endif")) {
        if (branches.empty())
            Warn(Where() + ": \"endif\" without \"if\" is ignored");
        else
            branches.pop_back();
        return true;
    }
    return false;
}

bool TFidoconfigReader::Evaluate(std::string_view keyword, std::string_view rest) {
    std::string value;
    if (EqualsNoCase(keyword, "ifdef"))
        return Lookup(FirstWordOf(rest), value);
    if (EqualsNoCase(keyword, "ifndef"))
        return !Lookup(FirstWordOf(rest), value);
    return EvaluateExpression(Substitute(rest));
}

bool TFidoconfigReader::EvaluateExpression(std::string_view expression) {
    bool negated = false;
    for (expression = TrimView(expression);; expression = TextFromWord(expression, 1)) {
        const std::string_view first = FirstWordOf(expression);
        if (!EqualsNoCase(first, "not") || first.size() == expression.size())
            break;
        negated = !negated;
    }
    return EvaluateValue(expression) != negated;
}

bool TFidoconfigReader::EvaluateValue(std::string_view expression) {
    bool result = false;
    if (Compare(expression, result))
        return result;
    // Without a comparison the text itself is the value.
    const std::string value = Unquote(expression);
    if (IsOneOf(value, {"1", "yes", "true", "on"}))
        return true;
    if (!IsOneOf(value, {"", "0", "no", "false", "off"}))
        Warn(Where() + ": the condition \"" + std::string(expression) + "\" is neither a comparison nor " +
             "yes or no; taken as false");
    return false;
}

std::string TFidoconfigReader::Substitute(std::string_view text) {
    std::string result;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t open = text.find('[', pos);
        const size_t close = open == std::string_view::npos ? open : text.find(']', open + 1);
        if (close == std::string_view::npos) {
            result += text.substr(pos);
            break;
        }
        const std::string_view name = text.substr(open + 1, close - open - 1);
        if (name.empty() || name.find('[') != std::string_view::npos) {
            result.append(text.substr(pos, open + 1 - pos));
            pos = open + 1;
            continue;
        }
        std::string value;
        if (!Lookup(name, value) && Unset.insert(UpperCaseAscii(name)).second)
            Warn(Where() + ": [" + std::string(name) + "] is not set and reads as empty");
        result.append(text.substr(pos, open - pos)).append(value);
        pos = close + 1;
        if (result.size() > MaxLineBytes)
            Fail("the line grows over 64 KB through its variables");
    }
    if (result.size() > text.size()) {
        BytesAdded += result.size() - text.size();
        if (BytesAdded > BytesRead + AddedBytesAllowance)
            Fail("variables add more text than the configuration holds");
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

void TFidoconfigReader::SetCommentChar(std::string_view rest) {
    const std::string value = Unquote(rest);
    if (value.size() == 1 && !IsBlank(value[0]))
        CommentChar = value[0];
    else
        Warn(Where() + ": \"CommentChar\" needs one character; \"" + std::string(rest) + "\" is ignored");
}

void TFidoconfigReader::Include(std::string_view rest) {
    rest = TrimView(rest);
    const std::string name = rest.starts_with('"') ? Unquote(rest.substr(0, rest.find('"', 1) + 1))
                                                   : std::string(FirstWordOf(rest));
    if (name.empty())
        Fail("\"Include\" names no file");
    std::string path = NormalizeSeparators(name);
    if (path.front() != '/')
        path = DirectoryPart(File) + "/" + path;
    path = ResolveCase(path);
    if (!FileExists(path))
        Fail("cannot read the included file \"" + path + "\"");
    const std::string canonical = CanonicalName(path);
    if (std::find(Reading.begin(), Reading.end(), canonical) != Reading.end()) {
        Warn(Where() + ": \"" + path + "\" is being read already and is not included again");
        return;
    }
    if (Reading.size() >= MaxIncludeDepth || FilesRead >= MaxFilesRead)
        Fail("includes files too deeply or too many times");
    Reading.push_back(canonical);
    if (!ReadFile(path))
        Fail("cannot read the included file \"" + path + "\"");
    Reading.pop_back();
}

void TFidoconfigReader::Warn(const std::string& text) const {
    if (Warning)
        Warning(text);
}

void TFidoconfigReader::Fail(const std::string& text) const {
    throw EConfigError(Where() + ": " + text);
}

std::string TFidoconfigReader::Where() const {
    return "\"" + File + "\" line " + std::to_string(Line);
}

} // namespace tavro
