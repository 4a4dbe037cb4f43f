#include "FileTransaction.h"

#include <algorithm>
#include <stdexcept>

namespace tavro {

TFileTransaction::~TFileTransaction() {
    if (!Done)
        Rollback();
}

void TFileTransaction::Track(TBufStream& file) {
    Files.push_back({&file, file.Size()});
}

const TFileTransaction::TTracked& TFileTransaction::Find(TBufStream& file) const {
    for (const TTracked& tracked : Files)
        if (tracked.File == &file)
            return tracked;
    throw std::logic_error("a file written outside its transaction");
}

// Keeps the bytes [from, to) that lie inside the file's size at the start: the rest is
// cut off by the rollback anyway.
void TFileTransaction::Save(TBufStream& file, int64_t from, int64_t to) {
    to = std::min(to, Find(file).Size);
    if (from >= to)
        return;
    std::string bytes(static_cast<size_t>(to - from), '\0');
    file.Seek(from, TSeekOrigin::Begin);
    bytes.resize(static_cast<size_t>(file.Read(bytes.data(), to - from)));
    Saved.push_back({&file, from, std::move(bytes)});
}

void TFileTransaction::Write(TBufStream& file, int64_t offset, const void* data, int64_t count) {
    Save(file, offset, offset + count);
    file.Seek(offset, TSeekOrigin::Begin);
    file.WriteBuffer(data, count);
}

void TFileTransaction::SetSize(TBufStream& file, int64_t size) {
    file.Flush();
    Save(file, size, file.Size());
    file.SetSize(size);
}

void TFileTransaction::Commit() {
    Done = true;
    Saved.clear();
}

void TFileTransaction::Rollback() noexcept {
    Done = true;
    // Bytes that failed to reach the disk must not follow the restored ones.
    for (const TTracked& tracked : Files)
        tracked.File->DiscardBuffer();
    for (auto it = Saved.rbegin(); it != Saved.rend(); ++it) {
        try {
            it->File->Seek(it->Offset, TSeekOrigin::Begin);
            it->File->WriteBuffer(it->Bytes.data(), static_cast<int64_t>(it->Bytes.size()));
            it->File->Flush();
        } catch (...) {
            it->File->DiscardBuffer();
        }
    }
    for (const TTracked& tracked : Files) {
        try {
            // A file the change never grew or cut keeps its times too.
            if (tracked.File->Size() != tracked.Size)
                tracked.File->SetSize(tracked.Size);
        } catch (...) {
            tracked.File->DiscardBuffer();
        }
    }
    Saved.clear();
}

} // namespace tavro
