#pragma once

#include "Draft.h"
#include "FanOut.h"
#include "MessageSender.h"

#include "config/Template.h"
#include "core/Base.h"
#include "core/Msg.h"
#include "text/TemplateEngine.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavro {

class TABUser;
class TCharset;
class TConfig;
class TEcho;
class TMsgIdSerials;
class TUser;

// The ways of writing a message that the reader offers.
// Contact: a new message to an address-book contact (the favourites of the "New" button).
enum class TComposeMode { New, Reply, Quote, Comment, QuoteInArea, CommentInArea, Forward, Edit, Contact };

// What the reader hands a new composer.
struct TComposeRequest {
    TComposeMode Mode = TComposeMode::New;
    TEcho* Area = nullptr;         // written to
    TEcho* SourceArea = nullptr;   // the area the reader shows; the answered message's
    TCustomMsg* Current = nullptr; // the reader's current message, for every mode but New
    TMsgId CurrentId = 0;
    bool ShowKludges = false;
    const TABUser* Contact = nullptr; // Contact mode only
};

// The area a reply goes to: the one the answered message names (its "AREA:" kludge or body
// line, which is then taken out of the message), else the current area.
TEcho* ReplyArea(TConfig& config, TCustomMsg& answered, TEcho* current);

// The header fields as typed in the window.
struct THeaderFields {
    std::string FromName, FromAddr, ToName, ToAddr, Subject;
};

// The request that reopens the composer a draft was left by: its areas found by tag and the
// answered or edited message by id, read into `holder`. Null Area when the area is gone.
TComposeRequest RequestForDraft(TConfig& config, const TDraft& draft, TMsgHandle& holder);

// Which header field takes the focus when the window first shows, or the editor.
enum class TComposeFocus { FromName, FromAddr, ToName, ToAddr, Subject, Editor };

// How a send ended.
enum class TSendOutcome {
    Sent,           // everything written: the window closes
    InvalidAddress, // the From address is not valid: nothing written, focus to FromAddr
    Failed,         // a write was given up; what was written stays written
};

// One message being written: how the composer is prefilled for its mode, its first
// activation, the header refresh, and the send with its retries and close rules. The window
// shows what this holds and hands back what was typed.
class TComposeSession {
public:
    TComposeSession(TConfig& config, TUser& user, const TComposeRequest& request);
    ~TComposeSession();

    // The steps of the first activation: defaults of the header, the template, a cookie, the
    // tearline, the origin text, the attributes. Answers where the caret goes.
    TCursorPos Activate(bool wrap, const std::function<size_t(size_t)>& pick);

    TCustomMsg& Msg() { return *Msg_; }
    TEcho& Area() const { return *Area_; }
    bool EditMode() const { return EditedId != 0; }
    bool HasOrigin() const { return ShowsOrigin; }
    std::string OriginText;
    TComposeFocus FirstFocus() const;
    TEcho* DefaultCopyArea() const { return DefCCArea; }

    // A composer brought back from its draft: header, text, origin and attributes as they were
    // left, instead of the first activation.
    void Restore(const TDraft& draft);
    // What a draft keeps of this composer, with the fields and text as typed now.
    TDraft ToDraft(const THeaderFields& fields, const TBodyLines& body) const;

    // Who gets the message besides the header's recipient: further areas for a cross-post
    // (in an echomail or bad-mail area), contacts and groups for carbon copies (in netmail).
    void SetCrossPostAreas(std::vector<TEcho*> areas) { CrossPostAreas_ = std::move(areas); }
    const std::vector<TEcho*>& CrossPostAreas() const { return CrossPostAreas_; }
    void SetCarbonCopies(std::vector<TCarbonCopyEntry> entries) { CarbonCopies_ = std::move(entries); }
    const std::vector<TCarbonCopyEntry>& CarbonCopies() const { return CarbonCopies_; }
    // Whether each cross-posted copy names the other areas on top.
    void SetAddCrossPostList(bool on) { AddCrossPostList_ = on; }
    bool AddCrossPostList() const { return AddCrossPostList_; }

    // Takes the fields without checking them and expands the template lines again.
    void RefreshHeader(const THeaderFields& fields, TBodyLines body);

    // Writes the message, or its cross-posted or carbon copies, and the copy for the area's
    // default carbon-copy area. A write that fails asks whether to try again; a target whose
    // base cannot be opened is an error. What was written is not written again by a later send.
    TSendOutcome Send(const THeaderFields& fields, TBodyLines body, TMsgIdSerials& serials);
    // After a successful send: deletes the edited message, and the answered one when the
    // settings say so (asking first when they want that).
    void CloseAfterSend();

private:
    const TTemplate* Template() const;
    void AddressTo(const TABUser& contact);
    bool CollectHeader(TCustomMsg& msg, const THeaderFields& fields, TBodyLines body, bool validate);
    TSendRules Rules(TMsgIdSerials& serials) const;
    bool WriteWithRetry(TCustomMsg& msg, std::unique_ptr<TSplitWrite>& write, const TSendRules& rules);
    std::unique_ptr<TCustomMsg> PrepareCopy(const THeaderFields& fields, const TBodyLines& body,
                                            const TSendRules& rules);
    TSendOutcome WriteMessage(const THeaderFields& fields, TBodyLines body, const TSendRules& rules);
    TSendOutcome WriteSingle(const THeaderFields& fields, TBodyLines body, const TSendRules& rules);
    TSendOutcome CrossPostFanOut(const THeaderFields& fields, TBodyLines body, const TSendRules& rules);
    TSendOutcome CarbonCopyFanOut(const THeaderFields& fields, const TBodyLines& body,
                                  const TSendRules& rules);
    bool PrepareCarbonCopy(TFanOutCopy& copy, const TABUser& contact, const THeaderFields& fields,
                           const TBodyLines& body, const TSendRules& rules);
    void DeleteAnswered();

    TConfig& Config;
    TUser& User;
    TComposeMode Mode;
    TEcho* Area_;
    TEcho* SourceArea;
    TBaseRef Base;
    std::unique_ptr<TCustomMsg> Msg_;
    std::unique_ptr<TCustomMsg> Answered;
    std::string Reply;                    // the REPLY value, verbatim
    const TCharset* OwnCharset = nullptr; // an edited message's own set, written back in it
    TMsgId EditedId = 0;
    TMsgId RepliedId = 0;
    TMsgId AnsweredId = 0; // the answered or forwarded message, for its draft
    bool ShowKludges = false;
    bool ShowsOrigin = true;
    TEcho* DefCCArea = nullptr;
    // What a send that did not finish has written already.
    std::unique_ptr<TSplitWrite> MainWrite, CopyWrite;
    std::unique_ptr<TCustomMsg> Copy;
    bool MainWritten = false;
    std::vector<TEcho*> CrossPostAreas_;
    std::vector<TCarbonCopyEntry> CarbonCopies_;
    bool AddCrossPostList_ = false;
    // The fan-outs' copies by target. The cross-posted ones share one message, kept once a
    // copy was written so that the rest carry the same MSGID.
    std::unique_ptr<TCustomMsg> CrossPosted;
    std::map<const TEcho*, TFanOutCopy> CrossPostCopies;
    std::map<const TABUser*, TFanOutCopy> CarbonCopyCopies;
};

} // namespace tavro
