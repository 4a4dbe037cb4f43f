#pragma once

#include <functional>
#include <string>

namespace tavro {

// The ways the file layer changes what is on disk.
enum class TFileChange { Write, Truncate, Link, Unlink, Rename };

// Asked before every such change with the file's name; answering an errno value makes the
// change fail with it, as a full disk or a refusing file system would. Tests use it to stop
// a base's change at each of its steps; the program never sets one.
using TFileChangeHook = std::function<int(TFileChange change, const std::string& fileName)>;

// Installs `hook` (an empty one removes it).
void SetFileChangeHook(TFileChangeHook hook);

// The errno value the hook answers for this change; 0 when it may go ahead.
int RefusedFileChange(TFileChange change, const std::string& fileName);

} // namespace tavro
