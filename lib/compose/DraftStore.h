#pragma once

#include "Draft.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tavro {

// The drafts of a configuration directory are the files "Drafts/<name>.draft" there. Each
// has a lock file "<name>.draft.lock" beside it that its composer holds with flock(2): the
// draft itself is replaced on every save, the lock file never is, and the lock goes with the
// process that holds it, so the drafts of a crashed or killed program are free again.
class TDraftFile {
public:
    // The folder of the drafts in the configuration directory `dir`.
    static std::string Folder(const std::string& dir);

    // A new draft with a unique name in the configuration directory `dir`, locked; nothing is
    // written until Save. Makes the folder when missing; throws EFileError.
    static std::unique_ptr<TDraftFile> Create(const std::string& dir);
    // Takes over a draft left by a crash, for a restored composer. Null when another program
    // holds it, or when the draft is gone meanwhile (another program restored and closed it).
    // Throws EFileError when its lock file cannot be made.
    static std::unique_ptr<TDraftFile> Adopt(const std::string& path);

    // Releases the lock and keeps the draft; a draft never saved leaves nothing.
    ~TDraftFile();
    TDraftFile(const TDraftFile&) = delete;
    TDraftFile& operator=(const TDraftFile&) = delete;

    // Replaces the draft so that a crash at any moment leaves either the old or the new one:
    // a synced temporary in the same folder renamed over it. Throws EFileError (the old draft
    // intact), or EDraftError for a draft over the limits.
    void Save(const TDraft& draft);
    // Deletes the draft and its lock file; the object is spent then. Throws EFileError when
    // the draft cannot be deleted, which is then still held.
    void Remove();
    const std::string& Path() const { return Path_; }

private:
    TDraftFile(std::string path, int lockFd);

    std::string Path_;
    int LockFd = -1;
};

struct TFoundDraft {
    std::string Path;
    TDraft Draft;
};

struct TDraftScan {
    std::vector<TFoundDraft> Drafts;
    std::vector<std::string> Damaged; // "path: reason"
};

// The drafts of user `userId` in the configuration directory `dir` that no composer holds,
// oldest first (in the order they were created). Damaged drafts of any user are listed in
// Damaged and left as they are. Leftovers of a crash that are not drafts (a lock file without
// its draft, a temporary of an unfinished save) are deleted. Throws EFileError when the
// folder exists but cannot be listed.
TDraftScan FindLeftDrafts(const std::string& dir, int32_t userId);

} // namespace tavro
