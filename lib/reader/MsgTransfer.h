#pragma once

#include "core/Base.h"

#include <cstddef>
#include <set>
#include <string>
#include <vector>

namespace tavro {

// Ids whose copy is in the target but which could not be deleted from the source. The reader
// keeps them for the source area while it runs, so a later move only retries their deletion
// and never copies them again.
using TCopiedIds = std::set<TMsgId>;

// What one Flush finished.
struct TTransferBatch {
    // Copied, or moved and deleted from the source.
    std::vector<TMsgId> Done;
    // Moved into the target but still in the source (now in the copied ids).
    std::vector<TMsgId> CopiedNotDeleted;
};

// Copies or moves messages one id at a time. A moved message leaves the source only after
// the target's Close has made its copy durable, so an interrupted move leaves duplicates
// rather than losses.
class TMsgTransfer {
public:
    // Callers flush after this many steps: closing both bases writes their last-read pointers
    // and read marks and lets their message caches go.
    static constexpr size_t CloseBatch = 16;

    TMsgTransfer(TCustomBase& source, TCustomBase& target, bool move, TCopiedIds* copied = nullptr);

    // Copies the message with this id; a move deletes it at the next Flush. A move of an id
    // among the copied ones only has its deletion retried. False when the message could not
    // be read or written; nothing is left half-done.
    bool Step(TMsgId id);
    // Closes both bases and, for a move, deletes the sources whose copies are now durable.
    TTransferBatch Flush();
    // Why the last Step failed.
    std::string LastError() const { return LastError_; }

private:
    // Empty on success, else why it failed.
    std::string CopyOne(TMsgId id);
    // The source no longer lists the id (another program deleted it meanwhile).
    bool GoneFromSource(TMsgId id);

    TCustomBase& Source;
    TCustomBase& Target;
    bool Move;
    TCopiedIds* Copied;
    std::vector<TMsgId> Done;
    // Moved ones waiting for their deletion.
    std::vector<TMsgId> Pending;
    std::string LastError_;
};

} // namespace tavro
