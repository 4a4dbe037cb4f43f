#pragma once

#include <string>
#include <string_view>

namespace tavro::test {

// A fresh directory under the system temp dir, removed with everything in it.
class TTempDir {
public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    const std::string& Path() const { return Path_; }
    // Path() + "/" + name.
    std::string File(std::string_view name) const;

private:
    std::string Path_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, std::string_view data);
bool FileExists(const std::string& path);

} // namespace tavro::test
