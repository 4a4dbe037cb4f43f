#pragma once

#include "core/FileChangeHook.h"

#include <map>
#include <string>

namespace tavro::test {

// Fails the k-th file change the library makes from now on (counting from 1) with `code`,
// or ends the process just before it (the file system keeps what was done so far, as after
// a crash or a kill). Only that one change is touched: what follows, a rollback included,
// goes ahead. Removed with the object.
class TFileChangeFault {
public:
    enum class TAction { Fail, Exit };
    // The exit status of a process ended by the fault.
    static constexpr int ExitCode = 86;

    explicit TFileChangeFault(int k, TAction action = TAction::Fail, int code = 5 /* EIO */);
    ~TFileChangeFault();
    TFileChangeFault(const TFileChangeFault&) = delete;
    TFileChangeFault& operator=(const TFileChangeFault&) = delete;

    // Whether the k-th change came.
    bool Hit() const { return Seen >= K; }
    int Changes() const { return Seen; }

private:
    int K;
    int Seen = 0;
};

// Every regular file under `dir` (relative name to contents), to tell that a failed change
// left the files exactly as they were.
std::map<std::string, std::string> Snapshot(const std::string& dir);

} // namespace tavro::test
