#pragma once

#include "core/Base.h"
#include "core/Msg.h"

#include <memory>
#include <string>
#include <vector>

namespace tavro {

class TCharset;
class TEcho;
class TMsgIdSerials;

// What the messages of one send are written with besides their own header and text.
struct TSendRules {
    const TEcho* Area = nullptr; // the composer's area: its type decides INTL, FMPT and TOPT
    std::string RealName;
    std::string Pid;
    int OemCodePage = 0;
    // The set the message is stored in when not the OEM page (UTF-8 on request, an edited
    // message's own set); its CHRS kludge says so and the base writes the text in it.
    const TCharset* Charset = nullptr;
    std::string Reply;      // the REPLY value, verbatim; empty for none
    std::string OriginText; // trimmed
    bool EditMode = false;  // an edited message keeps its text as it is: no origin line
    int MaxMsgLenKb = 16;
    TMsgIdSerials* Serials = nullptr;
};

// Appends the origin line when the area adds one (not to an edited message).
void AddOriginLine(TCustomMsg& msg, const TSendRules& rules);
// Replaces the message's kludge lines with those of a new message carrying this serial.
void BuildKludges(TCustomMsg& msg, const TSendRules& rules, uint32_t serial);

// One message written, split into parts when it is too long. It is made once per message,
// so that a write failing part-way can be tried again for the parts not written yet.
class TSplitWrite {
public:
    // Cuts the message into parts (the first is the message itself) and gives each later part
    // its own serial. Throws EFileError when no serial can be had.
    TSplitWrite(TCustomMsg& msg, const TSendRules& rules);

    // Writes the parts not written yet, in order, up to the first failure; true once all are.
    bool Write();
    bool Done() const { return Next > LaterParts.size(); }
    size_t PartCount() const { return LaterParts.size() + 1; }
    // The ids the written parts were given, in order.
    const std::vector<TMsgId>& WrittenIds() const { return Ids; }

private:
    TCustomMsg& Msg;
    std::vector<std::unique_ptr<TCustomMsg>> LaterParts;
    size_t Next = 0; // 0 is the message itself
    std::vector<TMsgId> Ids;
};

} // namespace tavro
