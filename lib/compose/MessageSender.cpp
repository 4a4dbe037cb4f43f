#include "MessageSender.h"

#include "Kludges.h"
#include "MsgIdSerial.h"
#include "MsgSplit.h"

#include "config/Echo.h"
#include "core/BufStream.h"
#include "core/Charset.h"

namespace tavro {

void AddOriginLine(TCustomMsg& msg, const TSendRules& rules) {
    if (rules.EditMode || rules.Area == nullptr || (rules.Area->Flags & efAddOrigin) == 0)
        return;
    msg.GetBody().emplace_back(OriginLine(rules.OriginText, rules.Area->Address, msg.FromAddr));
}

void BuildKludges(TCustomMsg& msg, const TSendRules& rules, uint32_t serial) {
    TKludgeFields fields;
    fields.Echomail = rules.Area != nullptr && rules.Area->EchoType == etEchomail;
    fields.From = msg.FromAddr;
    fields.To = msg.ToAddr;
    fields.Serial = serial;
    fields.Reply = rules.Reply;
    fields.Attr = msg.GetAttr();
    fields.RealName = rules.RealName;
    fields.OemCodePage = rules.OemCodePage;
    if (rules.Charset)
        fields.Chrs = rules.Charset->KludgeText().substr(6); // after "CHRS: "
    fields.Pid = rules.Pid;
    fields.UtcOffsetMinutes = LocalUtcOffsetMinutes(msg.DateWritten);
    msg.GetKludges() = BuildKludges(fields);
}

TSplitWrite::TSplitWrite(TCustomMsg& msg, const TSendRules& rules) : Msg(msg) {
    std::vector<TBodyLines> parts = SplitBody(msg.GetBody(), rules.MaxMsgLenKb);
    if (parts.empty())
        return;
    if (parts.size() == 1) {
        msg.GetBody() = std::move(parts.front());
        return;
    }
    TCustomBase* base = msg.Base();
    if (base == nullptr)
        throw EFileError("the message belongs to no base", 0);
    if (rules.Serials == nullptr)
        throw EFileError("no MSGID serials for the parts", 0);
    const uint32_t first = rules.Serials->Next(msg.DateWritten, uint32_t(parts.size() - 1));
    for (size_t i = 1; i < parts.size(); ++i) {
        std::unique_ptr<TCustomMsg> part = base->NewMsg();
        part->Assign(&msg);
        part->ReplyTo = msg.ReplyTo;
        part->Body = std::move(parts[i]);
        BuildKludges(*part, rules, first + uint32_t(i - 1));
        LaterParts.push_back(std::move(part));
    }
    msg.GetBody() = std::move(parts.front());
}

bool TSplitWrite::Write() {
    // A configured area whose files do not exist yet is made by its first message.
    if (!Done() && Msg.Base() != nullptr && !Msg.Base()->CreateIfMissing())
        return false;
    while (!Done()) {
        TCustomMsg& part = Next == 0 ? Msg : *LaterParts[Next - 1];
        if (!part.Save())
            return false;
        Ids.push_back(part.Base()->LastWrittenId());
        ++Next;
    }
    return true;
}

} // namespace tavro
