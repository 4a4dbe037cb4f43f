#pragma once

#include <memory>
#include <string>

namespace tavro {

class TBufStream;

// The locks that keep writers of one configuration directory apart, on the file
// "tavro.lock" there. A running program holds the run lock shared for as long as it runs;
// a command that rewrites the configuration behind its back (the tosser import) needs it
// exclusively. Every save holds the save lock while it reads what is on disk, merges and
// writes.
class TConfigLock {
public:
    enum class TKind { Running, Importing, Saving };

    // Takes the lock, waiting briefly for a save; null when another program holds it.
    // Throws EConfigError when the lock file cannot be made.
    static std::unique_ptr<TConfigLock> Take(const std::string& dir, TKind kind);
    ~TConfigLock();
    TConfigLock(const TConfigLock&) = delete;
    TConfigLock& operator=(const TConfigLock&) = delete;

private:
    explicit TConfigLock(std::unique_ptr<TBufStream> file);
    std::unique_ptr<TBufStream> File;
};

} // namespace tavro
