#include "MsgTransfer.h"

#include <exception>
#include <memory>

namespace tavro {

TMsgTransfer::TMsgTransfer(TCustomBase& source, TCustomBase& target, bool move, TCopiedIds* copied)
    : Source(source), Target(target), Move(move), Copied(copied) {}

bool TMsgTransfer::Step(TMsgId id) {
    if (Move && Copied && Copied->contains(id)) {
        Pending.push_back(id);
        return true;
    }
    LastError_ = CopyOne(id);
    if (!LastError_.empty())
        return false;
    (Move ? Pending : Done).push_back(id);
    return true;
}

std::string TMsgTransfer::CopyOne(TMsgId id) {
    try {
        TMsgHandle message = Source.GetMsg(Source.IndexOfId(id));
        if (message == nullptr)
            return "it is no longer in the source";
        std::unique_ptr<TCustomMsg> copy = Target.NewMsg();
        copy->Assign(message.get());
        if (!copy->Save())
            return "the target refused it";
    } catch (const std::exception& e) {
        return e.what();
    }
    return {};
}

bool TMsgTransfer::GoneFromSource(TMsgId id) {
    try {
        return Source.IndexOfId(id) < 0;
    } catch (const std::exception&) {
        return false;
    }
}

TTransferBatch TMsgTransfer::Flush() {
    Target.Close();
    TTransferBatch batch;
    for (TMsgId id : Pending) {
        if (Source.DeleteMsg(id) || GoneFromSource(id)) {
            Done.push_back(id);
            if (Copied)
                Copied->erase(id);
        } else {
            batch.CopiedNotDeleted.push_back(id);
            if (Copied)
                Copied->insert(id);
        }
    }
    Pending.clear();
    Source.Close();
    batch.Done = std::move(Done);
    Done.clear();
    return batch;
}

} // namespace tavro
