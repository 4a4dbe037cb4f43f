#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace tavro::fuzz {

const std::string& ScratchDir();

namespace detail {

// In memory (/dev/shm) where there is one: saving syncs files to disk, which would make the
// targets crawl.
inline std::string MakeScratchDir() {
    for (const char* base : {"/dev/shm", "/tmp"}) {
        std::string pattern = std::string(base) + "/tavro-fuzz-XXXXXX";
        if (mkdtemp(pattern.data()))
            return pattern;
    }
    std::perror("mkdtemp");
    std::abort();
}

inline void RemoveScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(ScratchDir(), ignored);
}

} // namespace detail

// A directory of this run for the files a target writes, removed with them at exit.
inline const std::string& ScratchDir() {
    static const std::string dir = detail::MakeScratchDir();
    // Registered once the path exists, so it runs before the path is destroyed.
    static const bool removedAtExit = (std::atexit(detail::RemoveScratchDir), true);
    (void)removedAtExit;
    return dir;
}

} // namespace tavro::fuzz
