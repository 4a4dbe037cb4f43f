#include "TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tavro::test {

TTempDir::TTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tavro-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    Path_ = pattern;
}

TTempDir::~TTempDir() {
    std::error_code ec;
    std::filesystem::remove_all(Path_, ec);
}

std::string TTempDir::File(std::string_view name) const {
    return Path_ + "/" + std::string(name);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const std::string& path, std::string_view data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

bool FileExists(const std::string& path) {
    return std::filesystem::exists(path);
}

} // namespace tavro::test
