#pragma once

#include "Address.h"
#include "DateTime.h"
#include "StorageText.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tavro {

class TCustomBase;
class TCharset;
class TCodePagePair;

using TStringList = std::vector<std::string>;
using TMsgId = uint32_t;

// A body line; the tag marks lines a template generated and is never stored.
struct TBodyLine {
    std::string Text;
    int LineTag = 0;

    TBodyLine() = default;
    TBodyLine(std::string text, int tag = 0) : Text(std::move(text)), LineTag(tag) {}
    bool operator==(const TBodyLine&) const = default;
};
using TBodyLines = std::vector<TBodyLine>;

// The format-independent message. Stored messages load their text on the first call of
// an accessor; strings are in the display code page.
class TCustomMsg {
public:
    explicit TCustomMsg(TCustomBase* base);
    virtual ~TCustomMsg();
    TCustomMsg(const TCustomMsg&) = delete;
    TCustomMsg& operator=(const TCustomMsg&) = delete;

    TStringList Kludges;
    TBodyLines Body;
    TStringList Tail;
    TAddress FromAddr;
    TAddress ToAddr;
    uint32_t Attr = 0;
    TMsgId ReplyTo = 0;
    std::vector<TMsgId> Replies;
    std::string FromName;
    std::string ToName;
    std::string Subject;
    TDateTime DateWritten = 0;
    TDateTime DateArrived = 0;

    TCustomBase* Base() const { return Base_; }

    // The text and the attributes, read from storage first when the message is stored and
    // not loaded yet.
    virtual TStringList& GetKludges() {
        EnsureLoaded();
        return Kludges;
    }
    virtual TBodyLines& GetBody() {
        EnsureLoaded();
        return Body;
    }
    virtual TStringList& GetTail() {
        EnsureLoaded();
        return Tail;
    }
    virtual uint32_t GetAttr() {
        EnsureLoaded();
        return Attr;
    }
    // Copies text, names, subject, addresses, dates and attributes; not the reply links. A
    // null source changes nothing.
    virtual void Assign(TCustomMsg* source);
    // Stores the message through its base's WriteMsg; false without a base.
    virtual bool Save();
    // Whether the message is netmail: it lies in a netmail area (a format may know more).
    virtual bool IsNetmail() const;

    // The rest of the first kludge line whose text after the ^A starts with `name` (ASCII
    // case ignored), trimmed; empty when none. `name` carries its colon where the kludge has
    // one: "MSGID:", "INTL".
    std::string GetKludge(std::string_view name) const;
    // Derives the origin and destination addresses from REPLYTO, INTL with FMPT and TOPT,
    // MSGID, REPLY and, for a still unknown origin, the origin line. Point numbers that are
    // not integers are ignored.
    void ResolveAddresses();

    // The code pages and SoftCR rule of the owning base (the active pair without one).
    const TCodePagePair& CodePages() const;
    bool KeepSoftCR() const;

    // Converts one stored (OEM) line, dropping SoftCR unless the base keeps it, and sorts it
    // into Kludges, Body or Tail. Each format cuts its raw text into lines itself;
    // textStarted is false at the start of each load.
    void AddLine(std::string_view oemLine, bool& textStarted);

    // Empties the three line lists; the text's character set is forgotten with them.
    void ClearText();

    // The set the stored text is in when its CHRS (CHARSET, CODEPAGE) kludge names another
    // than the base's OEM page; null when the OEM page holds. Bases that copy bytes unchanged
    // (the identity pages) never convert by it.
    const TCharset* TextCharset() const { return Charset_; }
    // Whether the text is stored in UTF-8, where 0x8D is part of a character, not a SoftCR.
    bool Utf8Text() const;
    // Takes the set a kludge line (display text, with or without its ^A) names, if any.
    void NoteCharsetKludge(std::string_view line);
    // Stored bytes (a line, a name, a subject) to display text by the message's set.
    std::string DecodeStored(std::string_view stored) const;
    // How the text was read: the set found while reading.
    TTextCodec ReadCodec() const;
    // How the message is written: in the set its own CHRS kludge names (an edited or copied
    // message stays in its set; one to be sent in UTF-8 says so), else the OEM page.
    TTextCodec WriteCodec() const;
    // Sets the thread kludges from Kludges as they are now.
    void TakeThreadKludges();

    // False for a stored message whose text has not been read yet.
    bool Loaded = true;

    // The trimmed values of the MSGID and REPLY kludges, as GetKludge answers them, for
    // formats that keep kludges beside the header: threads are built without reading texts.
    std::string MsgIdKludge;
    std::string ReplyKludge;
    bool ThreadKludgesRead = false;

protected:
    // Reads the text of a stored message; called by the accessors while Loaded is false.
    virtual void LoadStored() {}
    // The names and subject read again from the stored header once the text named its set.
    virtual void RedecodeHeader() {}
    // After a text was loaded: the header follows the set the text named.
    void FollowTextCharset(const TCharset* before);
    void ForgetTextCharset() { Charset_ = nullptr; }

    void EnsureLoaded() {
        if (!Loaded)
            LoadStored();
    }

private:
    void AddressFromOrigin();

    TCustomBase* Base_;
    const TCharset* Charset_ = nullptr;
};

// The MSGID and REPLY values of kludge lines met in stored order, as GetKludge answers them:
// the first line of each name counts.
struct TThreadKludgeScan {
    std::string MsgId;
    std::string Reply;
    bool HaveMsgId = false;
    bool HaveReply = false;

    // One kludge line in the display code page, starting with its ^A.
    void Add(std::string_view line);
    bool Complete() const { return HaveMsgId && HaveReply; }
};

// A message handed out by a base. The base caches it; a message someone still holds stays
// valid and cached, one nobody holds may be freed to keep the cache small.
using TMsgHandle = std::shared_ptr<TCustomMsg>;

} // namespace tavro
