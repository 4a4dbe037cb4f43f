#pragma once

#include "BufStream.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tavro {

// The writes of one change to a base's files, with every byte they overwrite kept aside, so
// that a change failing part-way (a full disk, an I/O error) puts the files back exactly as
// they were. Appended bytes need no copy: the files are cut back to the sizes they had when
// the change began.
class TFileTransaction {
public:
    TFileTransaction() = default;
    // Undoes whatever was not committed.
    ~TFileTransaction();
    TFileTransaction(const TFileTransaction&) = delete;
    TFileTransaction& operator=(const TFileTransaction&) = delete;

    // Takes part in the change; its size now is the size it gets back. The stream must stay
    // open until the transaction ends.
    void Track(TBufStream& file);
    // Writes `count` bytes at `offset`, keeping what they overwrite first.
    void Write(TBufStream& file, int64_t offset, const void* data, int64_t count);
    // Cuts or extends the file, keeping what a cut removes.
    void SetSize(TBufStream& file, int64_t size);
    // The change is complete: nothing is undone any more.
    void Commit();
    // Rewrites what was overwritten, newest first, and cuts every file back to its size.
    // Errors are swallowed: there is nothing left to try.
    void Rollback() noexcept;

private:
    struct TSaved {
        TBufStream* File;
        int64_t Offset;
        std::string Bytes;
    };
    struct TTracked {
        TBufStream* File;
        int64_t Size;
    };

    const TTracked& Find(TBufStream& file) const;
    void Save(TBufStream& file, int64_t from, int64_t to);

    std::vector<TTracked> Files;
    std::vector<TSaved> Saved;
    bool Done = false;
};

} // namespace tavro
