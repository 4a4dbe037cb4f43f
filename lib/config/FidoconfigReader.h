#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tavro {

// Reads a fidoconfig text configuration (HPT and the tools around it) as those tools see
// it: comments dropped, lines ending in " \" joined with the next, "Include" files read in
// place, variables put in for "[NAME]" (an unset one is empty), and only the taken branches
// of "if"/"ifdef"/"ifndef" blocks kept. Each remaining line reaches the handler trimmed.
// Files are read a line at a time: memory follows the longest line, not the files.
class TFidoconfigReader {
public:
    using THandler = std::function<void(std::string_view line)>;
    // What the reader went past without stopping, with the file and the line.
    using TWarning = std::function<void(const std::string& text)>;

    explicit TFidoconfigReader(THandler handler, TWarning warning = {})
        : Handler(std::move(handler)), Warning(std::move(warning)) {}

    // Throws EConfigError naming the file and the line when a file cannot be read (an
    // included one too), includes run too deep or too many, a line is too long, or the
    // files or their variables grow beyond any configuration. An include cycle is read once.
    void Read(const std::string& fileName);

    // A variable set in the configuration or predefined (OS, module, configdir; names
    // ignore case), else the environment's.
    bool Lookup(std::string_view name, std::string& value) const;

private:
    struct TBranch {
        bool ParentActive;
        bool Active;
        bool Taken;
    };
    class TLineFile;

    // False when the file cannot be opened.
    bool ReadFile(const std::string& fileName);
    // The next line without its comment; false at the end of the file.
    bool NextLine(TLineFile& file, std::string& line);
    // The next line with the lines that continue it.
    bool NextLogicalLine(TLineFile& file, std::string& line);
    void HandleLine(std::string_view line, std::vector<TBranch>& branches);
    bool HandleCondition(std::vector<TBranch>& branches, std::string_view keyword, std::string_view rest);
    bool Evaluate(std::string_view keyword, std::string_view rest);
    // "not" before an expression negates it.
    bool EvaluateExpression(std::string_view expression);
    // A comparison, or yes or no.
    bool EvaluateValue(std::string_view expression);
    std::string Substitute(std::string_view text);
    void Set(std::string_view rest);
    void SetCommentChar(std::string_view rest);
    void Include(std::string_view rest);
    void Warn(const std::string& text) const;
    [[noreturn]] void Fail(const std::string& text) const;
    // "\"file\" line N", where the reader is.
    std::string Where() const;

    THandler Handler;
    TWarning Warning;
    std::map<std::string, std::string> Variables; // upper-case names
    std::set<std::string> Unset;                  // upper-case names already warned about
    std::vector<std::string> Reading;             // the files being read, innermost last
    std::string File;
    size_t Line = 0;
    char CommentChar = '#';
    int FilesRead = 0;
    uint64_t BytesRead = 0;
    uint64_t BytesAdded = 0; // by variables
};

// The text of a fidoconfig line before its comment: `commentChar` first on the line, or
// with a blank before it and a blank or the line's end after it, outside a quoted word.
std::string_view StripFidoconfigComment(std::string_view line, char commentChar = '#');

} // namespace tavro
