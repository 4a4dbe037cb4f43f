#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tavro {

// Reads a fidoconfig text configuration (HPT and the tools around it) as those tools see
// it: "#" comments dropped, "Include" files read in place, "set" variables and the
// environment put in for "[NAME]", and only the taken branches of "if"/"ifdef"/"ifndef"
// blocks kept. Each remaining line reaches the handler trimmed.
class TFidoconfigReader {
public:
    using THandler = std::function<void(std::string_view line)>;
    explicit TFidoconfigReader(THandler handler) : Handler(std::move(handler)) {}

    // Throws EConfigError when the file cannot be read, includes run too deep or too many,
    // or variables make a line too long. An included file that is missing is skipped, and a
    // file that is already being read is not read again (an include cycle).
    void Read(const std::string& fileName);

    // A variable set in the configuration (names ignore case), else the environment's.
    bool Lookup(std::string_view name, std::string& value) const;

private:
    struct TBranch {
        bool ParentActive;
        bool Active;
        bool Taken;
    };

    void ReadFile(const std::string& fileName);
    bool HandleCondition(std::vector<TBranch>& branches, std::string_view keyword, std::string_view rest,
                         const std::string& fileName);
    // False only for a condition that can be told false; "[NAME]" that names nothing, or an
    // expression without a comparison, count as true.
    bool Evaluate(std::string_view keyword, std::string_view rest, const std::string& fileName);
    // `unknown` is set when a "[NAME]" names no variable; such text stays as written.
    std::string Substitute(std::string_view text, const std::string& fileName, bool* unknown = nullptr) const;
    void Set(std::string_view rest);
    void Include(std::string_view name, const std::string& includingFile);

    THandler Handler;
    std::map<std::string, std::string> Variables; // upper-case names
    std::vector<std::string> Reading;             // the files being read, innermost last
    int FilesRead = 0;
};

// The text of a fidoconfig line before its comment: "#" at its start or after a blank.
std::string_view StripFidoconfigComment(std::string_view line);

} // namespace tavro
