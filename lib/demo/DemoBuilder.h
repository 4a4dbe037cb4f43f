#pragma once

#include "core/DateTime.h"

#include <cstddef>
#include <string>
#include <vector>

namespace tavro {

class TConfig;
class TEcho;
struct TDemoArea;
struct TDemoLetter;

struct TDemoSummary {
    size_t Areas = 0;
    size_t Messages = 0;
    size_t NodelistEntries = 0;
};

// Writes a complete configuration home for looking around the program: the configuration
// files as the program saves them (areas, one user with an area tree, an address book), the
// areas' bases with threaded conversations and the user's read marks, and a compiled
// nodelist. Everything but the dates is the same on every run; the letters are dated in the
// months before the day it runs.
class TDemoBuilder {
public:
    explicit TDemoBuilder(const std::string& home);

    // The home as an absolute path, as the configuration names it.
    const std::string& Home() const { return Home_; }

    // Makes the home, with its parents, when missing. Throws std::runtime_error (one line)
    // for a home that exists and is not an empty directory, or when a write fails; a failure
    // part-way removes what was written, so the home is as it was.
    TDemoSummary Build();

private:
    void Prepare();
    TDemoSummary WriteAll();
    size_t WriteArea(TConfig& config, TEcho& echo, const TDemoArea& area);
    std::vector<TDemoLetter> LettersOf(const TDemoArea& area) const;
    size_t WriteNodelist(const TConfig& config);
    void Undo() noexcept;

    std::string Home_;
    // The outermost directory this run made; empty when the home was there.
    std::string Created;
    TDateTime Day = 0;
    std::string Version;
};

} // namespace tavro
