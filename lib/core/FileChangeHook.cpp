#include "FileChangeHook.h"

namespace tavro {

namespace {

TFileChangeHook& Hook() {
    static TFileChangeHook hook;
    return hook;
}

} // namespace

void SetFileChangeHook(TFileChangeHook hook) {
    Hook() = std::move(hook);
}

int RefusedFileChange(TFileChange change, const std::string& fileName) {
    const TFileChangeHook& hook = Hook();
    return hook ? hook(change, fileName) : 0;
}

} // namespace tavro
