#include "FileFaults.h"

#include "TempDir.h"

#include <filesystem>
#include <unistd.h>

namespace tavro::test {

TFileChangeFault::TFileChangeFault(int k, TAction action, int code) : K(k) {
    SetFileChangeHook([this, action, code](TFileChange, const std::string&) {
        if (++Seen != K)
            return 0;
        if (action == TAction::Exit)
            ::_exit(ExitCode);
        return code;
    });
}

TFileChangeFault::~TFileChangeFault() {
    SetFileChangeHook({});
}

std::map<std::string, std::string> Snapshot(const std::string& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
        if (entry.is_regular_file())
            files[std::filesystem::relative(entry.path(), dir).string()] = ReadFile(entry.path().string());
    return files;
}

} // namespace tavro::test
