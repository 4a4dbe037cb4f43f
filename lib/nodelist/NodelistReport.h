#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tavro {

// What a compilation made of one nodelist file. Texts are in the display code page; the
// path is as found on disk.
struct TNodelistFileReport {
    std::string Path;
    size_t Entries = 0;
    // A failed file gives no entries; `Line` (from 1) is where it failed, 0 when the file
    // could not be read at all.
    bool Failed = false;
    int64_t Line = 0;
    std::string Reason;
    // What the user should know of a compiled file (a zone taken from the configuration).
    std::vector<std::string> Notes;
};

// A mask that gave no file, and why.
struct TNodelistMaskReport {
    std::string Mask;
    std::string Reason;
};

// What a compilation did, plain data for the command line and the setup dialog to show.
struct TNodelistCompileReport {
    // Every file found, in compile order (failed ones too: they are listed, so that the
    // change that mends them is noticed).
    std::vector<TNodelistFileReport> Files;
    std::vector<TNodelistMaskReport> Masks;
    bool Cancelled = false;
    // Why the index files were not written; empty when they were or needed not be.
    std::string WriteError;
    // False when the new index came out as the old one, which was left untouched.
    bool Rewritten = false;

    // The index files now hold this compilation.
    bool Ok() const { return !Cancelled && WriteError.empty(); }
    size_t CompiledFiles() const;
    size_t FailedFiles() const;
    size_t Entries() const;
};

} // namespace tavro
