#pragma once

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace tavro::bench {

// CI runs every benchmark once in a reduced size: TAVRO_BENCH_SMOKE=1.
inline int Scaled(int full) {
    const char* smoke = std::getenv("TAVRO_BENCH_SMOKE");
    return smoke && *smoke == '1' ? std::max(1, full / 100) : full;
}

// A scratch directory removed at exit of the scope.
class TScratchDir {
public:
    TScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tavro-bench-XXXXXX").string();
        Path = mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(Path, ec);
    }
    std::string Path;
};

} // namespace tavro::bench
