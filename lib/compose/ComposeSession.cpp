#include "ComposeSession.h"

#include "Cookies.h"
#include "MsgIdSerial.h"
#include "ReplyRules.h"

#include "config/AddressBook.h"
#include "config/Config.h"
#include "config/Echo.h"
#include "config/User.h"
#include "core/BufStream.h"
#include "core/Charset.h"
#include "core/CodePage.h"
#include "core/StrUtils.h"
#include "core/UserInterface.h"

#include <algorithm>

namespace tavro {

namespace {

constexpr const char* InvalidAddressText = "Invalid address!!! Reenter address, Please!";
constexpr const char* RetryText =
    "Error sending message. You may try to fix message base and try to send again.\rRepeat sending?";
constexpr const char* DeleteOriginalText = "Do you want to delete original message?";
constexpr const char* NoContactText = "The carbon copy list names no contact.";

bool IsReplyMode(TComposeMode mode) {
    return mode == TComposeMode::Reply || mode == TComposeMode::Quote || mode == TComposeMode::Comment ||
           mode == TComposeMode::QuoteInArea || mode == TComposeMode::CommentInArea;
}

// Reply, Quote and the "in area" replies answer through a gateway when they go to netmail.
bool UsesGatewayRule(TComposeMode mode) {
    return mode == TComposeMode::Reply || mode == TComposeMode::Quote || mode == TComposeMode::QuoteInArea ||
           mode == TComposeMode::CommentInArea;
}

// Comments go to the answered message's recipient, the other replies to its sender.
bool GoesToRecipient(TComposeMode mode) {
    return mode == TComposeMode::Comment || mode == TComposeMode::CommentInArea || mode == TComposeMode::Edit;
}

TTemplateKind KindOf(TComposeMode mode) {
    switch (mode) {
    case TComposeMode::Reply:
        return tkReply;
    case TComposeMode::Quote:
        return tkQuote;
    case TComposeMode::Comment:
        return tkComment;
    case TComposeMode::QuoteInArea:
        return tkQuoteInArea;
    case TComposeMode::CommentInArea:
        return tkCommentInArea;
    case TComposeMode::Forward:
        return tkForward;
    default:
        return tkNew;
    }
}

// The set a message's kludges name when it is not the OEM page: an edited message is
// written back in it.
const TCharset* OtherCharset(const TStringList& kludges) {
    const TCharset* set = TCharset::FromKludges(kludges);
    return set && !set->IsPage(ActiveCodePages().Oem()) ? set : nullptr;
}

TBaseRef OpenBase(TEcho& area) {
    TBaseRef base = area.GetBase();
    if (!base)
        throw EFileError("the area \"" + area.Name + "\" has no message base", 0);
    return base;
}

// A base or serial file out of reach ends the step with its error; the send goes on with
// the default copy.
template <typename Step> TSendOutcome Reported(Step&& step) {
    try {
        return step();
    } catch (const EFileError& e) {
        UserInterface().ShowError(e.what());
        return TSendOutcome::Failed;
    }
}

// The copy of a cross-post for `area`, headed by the other areas when the list is wanted.
void PrepareCrossPostCopy(TFanOutCopy& copy, TEcho& area, TCustomMsg& message,
                          const std::vector<TEcho*>& areas, bool withList) {
    copy.Write.reset();
    copy.Base = WritableBase(area);
    copy.Msg = copy.Base->NewMsg();
    copy.Msg->Assign(&message);
    if (withList) {
        const TBodyLines notes = CrossPostNotes(areas, &area);
        TBodyLines& body = copy.Msg->GetBody();
        body.insert(body.begin(), notes.begin(), notes.end());
    }
}

} // namespace

TEcho* ReplyArea(TConfig& config, TCustomMsg& answered, TEcho* current) {
    TEcho* named = FindAreaByName(config.Echoes, TakeReplyAreaName(answered));
    return named ? named : current;
}

TComposeSession::TComposeSession(TConfig& config, TUser& user, const TComposeRequest& request)
    : Config(config), User(user), Mode(request.Mode), Area_(request.Area), SourceArea(request.SourceArea),
      Base(OpenBase(*request.Area)), Msg_(Base->NewMsg()), ShowKludges(request.ShowKludges) {
    TCustomMsg* current = request.Current;
    if (Mode == TComposeMode::Edit && current) {
        Msg_->Assign(current);
        OwnCharset = OtherCharset(Msg_->Kludges);
        Reply = EditedReplyValueOf(*Msg_);
        EditedId = request.CurrentId;
        return;
    }
    if (Mode == TComposeMode::Contact && request.Contact) {
        AddressTo(*request.Contact);
        return;
    }
    if (Mode == TComposeMode::New || !current)
        return;
    if (Mode != TComposeMode::Forward) {
        Msg_->ToName = GoesToRecipient(Mode) ? current->ToName : current->FromName;
        Msg_->ToAddr = GoesToRecipient(Mode) ? current->ToAddr : current->FromAddr;
    }
    Answered = Base->NewMsg();
    Answered->Assign(current);
    AnsweredId = request.CurrentId;
    Msg_->DateArrived = Answered->DateWritten;
    Msg_->Subject = Answered->Subject;
    Reply = ReplyValueOf(*Answered);
    if (IsReplyMode(Mode)) {
        RepliedId = request.CurrentId;
        // Written beside its parent, the answer shows in the thread at once.
        if (Area_ == SourceArea)
            Msg_->ReplyTo = request.CurrentId;
    }
    if (UsesGatewayRule(Mode) && Area_->EchoType == etNetmail)
        if (const auto gateway =
                GatewayReply(*Answered, Config.Settings.GateName, Config.Settings.GateAddr)) {
            Msg_->ToName = gateway->ToName;
            Msg_->ToAddr = gateway->ToAddr;
            Msg_->Body = GatewayBodyLines(gateway->InternetAddress);
        }
}

TComposeSession::~TComposeSession() = default;

// The contact's names and address; one with e-mail addresses only is written to through the
// gateway.
void TComposeSession::AddressTo(const TABUser& contact) {
    TRecipientText text;
    AddressToContact(text, contact, {Config.Settings.GateName, Config.Settings.GateAddr});
    Msg_->ToName = text.ToName;
    Msg_->ToAddr.Parse(text.ToAddr);
    Msg_->Body = std::move(text.Body);
}

TComposeRequest RequestForDraft(TConfig& config, const TDraft& draft, TMsgHandle& holder) {
    TComposeRequest request;
    request.Mode = TComposeMode(int(draft.Mode));
    request.Area = FindAreaByName(config.Echoes, draft.AreaTag);
    request.SourceArea = FindAreaByName(config.Echoes, draft.SourceAreaTag);
    const bool edit = request.Mode == TComposeMode::Edit;
    TEcho* holding = edit ? request.Area : request.SourceArea;
    const TMsgId id = edit ? draft.EditedId : draft.AnsweredId;
    if (holding && id != 0)
        try {
            if (TBaseRef base = holding->GetBase()) {
                base->Rescan();
                const int position = base->IndexOfId(id);
                holder = position >= 0 ? base->GetMsg(position) : nullptr;
            }
        } catch (const EFileError&) {
            holder = nullptr; // the answered message is out of reach: written without it
        }
    request.Current = holder.get();
    request.CurrentId = holder ? id : 0;
    return request;
}

void TComposeSession::Restore(const TDraft& draft) {
    DefCCArea = FindAreaByName(Config.Echoes, Trim(Area_->DefCC));
    Reply = draft.Reply;
    EditedId = draft.EditedId;
    if (EditedId == 0 && IsReplyMode(Mode))
        RepliedId = draft.AnsweredId;
    TCustomMsg& msg = *Msg_;
    THeaderFields fields{draft.FromName, draft.FromAddr, draft.ToName, draft.ToAddr, draft.Subject};
    TBodyLines body;
    for (size_t i = 0; i < draft.Lines.size(); ++i)
        body.emplace_back(draft.Lines[i], i < draft.LineTags.size() ? draft.LineTags[i] : 0);
    CollectHeader(msg, fields, std::move(body), false);
    msg.Attr = draft.Attr;
    msg.DateWritten = draft.DateWritten != 0 ? draft.DateWritten : Now();
    if (msg.DateArrived == 0)
        msg.DateArrived = msg.DateWritten;
    ShowsOrigin = !EditMode() && (Area_->Flags & efAddOrigin) != 0;
    OriginText = draft.Origin;
}

TDraft TComposeSession::ToDraft(const THeaderFields& fields, const TBodyLines& body) const {
    TDraft draft;
    draft.UserId = User.UserId;
    draft.AreaTag = Area_->Name;
    draft.SourceAreaTag = SourceArea ? SourceArea->Name : std::string();
    draft.Mode = TDraftMode(int(Mode));
    draft.AnsweredId = RepliedId != 0 ? RepliedId : AnsweredId;
    draft.EditedId = EditedId;
    draft.Reply = Reply;
    draft.Attr = Msg_->Attr;
    draft.Origin = OriginText;
    draft.FromName = fields.FromName;
    draft.FromAddr = fields.FromAddr;
    draft.ToName = fields.ToName;
    draft.ToAddr = fields.ToAddr;
    draft.Subject = fields.Subject;
    for (const TBodyLine& line : body) {
        draft.Lines.push_back(line.Text);
        draft.LineTags.push_back(line.LineTag);
    }
    draft.DateWritten = Msg_->DateWritten;
    return draft;
}

const TTemplate* TComposeSession::Template() const {
    return EditMode() ? nullptr : User.Templates[size_t(KindOf(Mode))];
}

TCursorPos TComposeSession::Activate(bool wrap, const std::function<size_t(size_t)>& pick) {
    DefCCArea = FindAreaByName(Config.Echoes, Trim(Area_->DefCC));
    if (EditMode()) {
        ShowsOrigin = false;
        return {};
    }
    TCustomMsg& msg = *Msg_;
    const TGlobalSettings& settings = Config.Settings;
    if (msg.FromName.empty())
        msg.FromName = User.Name;
    if (!msg.FromAddr.IsValid())
        msg.FromAddr = Area_->Address;
    if (msg.ToName.empty() && Area_->EchoType == etEchomail)
        msg.ToName = "All";
    if (msg.DateWritten == 0)
        msg.DateWritten = Now();
    if (msg.DateArrived == 0)
        msg.DateArrived = Now();
    TCursorPos caret;
    if (const TTemplate* tpl = Template())
        caret = ApplyTemplate(msg, *Area_, *tpl, wrap, ShowKludges, SourceArea, Answered.get());
    if (Area_->Flags & efAddCookies)
        for (std::string& line : ChooseCookie(settings.Cookies, pick))
            msg.Body.emplace_back(std::move(line));
    msg.Body.emplace_back("--- " + settings.TearlineText);
    ShowsOrigin = (Area_->Flags & efAddOrigin) != 0;
    if (ShowsOrigin)
        OriginText = ChooseOrigin(*Area_, settings.Origins, pick);
    msg.Attr = Area_->DefAttr;
    return caret;
}

TComposeFocus TComposeSession::FirstFocus() const {
    const TCustomMsg& msg = *Msg_;
    if (msg.FromName.empty())
        return TComposeFocus::FromName;
    if (!msg.FromAddr.IsValid())
        return TComposeFocus::FromAddr;
    if (msg.ToName.empty())
        return TComposeFocus::ToName;
    if (!msg.ToAddr.IsValid() && msg.ToName != "All")
        return TComposeFocus::ToAddr;
    if (msg.Subject.empty())
        return TComposeFocus::Subject;
    return TComposeFocus::Editor;
}

bool TComposeSession::CollectHeader(TCustomMsg& msg, const THeaderFields& fields, TBodyLines body,
                                    bool validate) {
    TAddress from;
    from.Parse(fields.FromAddr);
    if (validate && !from.IsValid()) {
        UserInterface().ShowError(InvalidAddressText);
        return false;
    }
    msg.FromName = fields.FromName;
    msg.FromAddr = from;
    msg.ToName = fields.ToName;
    TAddress to;
    to.Parse(fields.ToAddr);
    msg.ToAddr = to.IsValid() ? to : from;
    msg.Subject = fields.Subject;
    msg.Body = std::move(body);
    msg.Tail.clear();
    return true;
}

void TComposeSession::RefreshHeader(const THeaderFields& fields, TBodyLines body) {
    CollectHeader(*Msg_, fields, std::move(body), false);
    if (const TTemplate* tpl = Template())
        ReapplyTemplate(*Msg_, *Area_, *tpl, SourceArea, Answered.get());
}

TSendRules TComposeSession::Rules(TMsgIdSerials& serials) const {
    TSendRules rules;
    rules.Area = Area_;
    rules.RealName = User.RealName;
    rules.Pid = Config.Settings.VersionText;
    rules.OemCodePage = ActiveCodePages().OemNumber();
    rules.Charset = OwnCharset;
    rules.Reply = Reply;
    rules.OriginText = Trim(OriginText);
    rules.EditMode = EditMode();
    rules.MaxMsgLenKb = Config.Settings.MaxMsgLen;
    rules.Serials = &serials;
    return rules;
}

// The split is made once per message, so a retry writes only the parts still missing.
bool TComposeSession::WriteWithRetry(TCustomMsg& msg, std::unique_ptr<TSplitWrite>& write,
                                     const TSendRules& rules) {
    if (!write)
        write = std::make_unique<TSplitWrite>(msg, rules);
    while (!write->Write())
        if (UserInterface().Ask(RetryText, mtError, {mbYes, mbCancel}) != mbYes)
            return false;
    return true;
}

std::unique_ptr<TCustomMsg> TComposeSession::PrepareCopy(const THeaderFields& fields, const TBodyLines& body,
                                                         const TSendRules& rules) {
    std::unique_ptr<TCustomMsg> copy = WritableBase(*DefCCArea)->NewMsg();
    copy->Assign(Msg_.get());
    if (!CollectHeader(*copy, fields, body, true))
        return nullptr;
    AddOriginLine(*copy, rules);
    BuildKludges(*copy, rules, rules.Serials->Next(copy->DateWritten));
    copy->Body.insert(copy->Body.begin(), {TBodyLine("* Sent to " + Area_->Name), TBodyLine()});
    return copy;
}

TSendOutcome TComposeSession::Send(const THeaderFields& fields, TBodyLines body, TMsgIdSerials& serials) {
    const TSendRules rules = Rules(serials);
    if (DefCCArea && !Copy) {
        const TSendOutcome prepared = Reported([&] {
            Copy = PrepareCopy(fields, body, rules);
            return Copy ? TSendOutcome::Sent : TSendOutcome::InvalidAddress;
        });
        if (!Copy)
            return prepared;
    }
    const TSendOutcome outcome = Reported([&] { return WriteMessage(fields, std::move(body), rules); });
    if (outcome == TSendOutcome::InvalidAddress)
        return outcome;
    // The default copy is written whether the message itself could be or not.
    const bool copied = !Copy || Reported([&] {
                                     return WriteWithRetry(*Copy, CopyWrite, rules) ? TSendOutcome::Sent
                                                                                    : TSendOutcome::Failed;
                                 }) == TSendOutcome::Sent;
    return outcome == TSendOutcome::Sent && copied ? TSendOutcome::Sent : TSendOutcome::Failed;
}

TSendOutcome TComposeSession::WriteMessage(const THeaderFields& fields, TBodyLines body,
                                           const TSendRules& rules) {
    if (Area_->EchoType == etNetmail)
        return CarbonCopies_.empty() ? WriteSingle(fields, std::move(body), rules)
                                     : CarbonCopyFanOut(fields, body, rules);
    // A cross-post once begun goes on, so that no area gets the message twice.
    if (!CrossPostAreas_.empty() || CrossPosted)
        return CrossPostFanOut(fields, std::move(body), rules);
    return WriteSingle(fields, std::move(body), rules);
}

TSendOutcome TComposeSession::WriteSingle(const THeaderFields& fields, TBodyLines body,
                                          const TSendRules& rules) {
    if (MainWritten)
        return TSendOutcome::Sent;
    // A message none of whose parts got written is taken afresh from what is typed now.
    if (MainWrite && MainWrite->WrittenIds().empty())
        MainWrite.reset();
    if (!MainWrite) {
        if (!CollectHeader(*Msg_, fields, std::move(body), true))
            return TSendOutcome::InvalidAddress;
        AddOriginLine(*Msg_, rules);
        BuildKludges(*Msg_, rules, rules.Serials->Next(Msg_->DateWritten));
    }
    MainWritten = WriteWithRetry(*Msg_, MainWrite, rules);
    return MainWritten ? TSendOutcome::Sent : TSendOutcome::Failed;
}

// One message in every area: once a copy is written, the rest are made from the same message.
TSendOutcome TComposeSession::CrossPostFanOut(const THeaderFields& fields, TBodyLines body,
                                              const TSendRules& rules) {
    const bool started = std::any_of(CrossPostCopies.begin(), CrossPostCopies.end(),
                                     [](const auto& entry) { return entry.second.Started(); });
    if (!started) {
        CrossPostCopies.clear();
        CrossPosted = Base->NewMsg();
        CrossPosted->Assign(Msg_.get());
        if (!CollectHeader(*CrossPosted, fields, std::move(body), true))
            return TSendOutcome::InvalidAddress;
        AddOriginLine(*CrossPosted, rules);
        BuildKludges(*CrossPosted, rules, rules.Serials->Next(CrossPosted->DateWritten));
    }
    const std::vector<TEcho*> areas = CrossPostTargets(CrossPostAreas_, Area_);
    for (TEcho* area : areas) {
        TFanOutCopy& copy = CrossPostCopies[area];
        if (!copy.Started()) {
            PrepareCrossPostCopy(copy, *area, *CrossPosted, areas, AddCrossPostList_);
            // Written beside its parent, the answer shows in the thread at once.
            if (area == Area_)
                copy.Msg->ReplyTo = Msg_->ReplyTo;
        }
        // A copy written before has nothing left to write; one cut short, its missing parts.
        if (!WriteWithRetry(*copy.Msg, copy.Write, rules))
            return TSendOutcome::Failed;
    }
    return TSendOutcome::Sent;
}

TSendOutcome TComposeSession::CarbonCopyFanOut(const THeaderFields& fields, const TBodyLines& body,
                                               const TSendRules& rules) {
    const std::vector<TABUser*> contacts = CarbonCopyContacts(CarbonCopies_);
    if (contacts.empty()) {
        UserInterface().ShowError(NoContactText);
        return TSendOutcome::Failed;
    }
    for (const TABUser* contact : contacts) {
        TFanOutCopy& copy = CarbonCopyCopies[contact];
        if (!copy.Started() && !PrepareCarbonCopy(copy, *contact, fields, body, rules))
            return TSendOutcome::InvalidAddress;
        if (!WriteWithRetry(*copy.Msg, copy.Write, rules))
            return TSendOutcome::Failed;
    }
    return TSendOutcome::Sent;
}

// Every contact's copy is made from the text as typed, with its own recipient, template lines
// and MSGID.
bool TComposeSession::PrepareCarbonCopy(TFanOutCopy& copy, const TABUser& contact,
                                        const THeaderFields& fields, const TBodyLines& body,
                                        const TSendRules& rules) {
    TRecipientText text{fields.ToName, fields.ToAddr, body};
    AddressToContact(text, contact, {Config.Settings.GateName, Config.Settings.GateAddr});
    THeaderFields header = fields;
    header.ToName = text.ToName;
    header.ToAddr = text.ToAddr;
    copy.Write.reset();
    copy.Base = WritableBase(*Area_);
    copy.Msg = copy.Base->NewMsg();
    TCustomMsg& msg = *copy.Msg;
    msg.Assign(Msg_.get());
    msg.ReplyTo = Msg_->ReplyTo;
    if (!CollectHeader(msg, header, std::move(text.Body), true))
        return false;
    AddOriginLine(msg, rules);
    if (const TTemplate* tpl = Template())
        ReapplyTemplate(msg, *Area_, *tpl, SourceArea, Answered.get());
    BuildKludges(msg, rules, rules.Serials->Next(msg.DateWritten));
    return true;
}

void TComposeSession::CloseAfterSend() {
    if (EditMode())
        Base->DeleteMsg(EditedId);
    else
        DeleteAnswered();
}

void TComposeSession::DeleteAnswered() {
    if (RepliedId == 0 || SourceArea == nullptr)
        return;
    const TGlobalSettings& settings = Config.Settings;
    const bool wanted = SourceArea->EchoType == etNetmail    ? settings.ReplyDelNetmail
                        : SourceArea->EchoType == etEchomail ? settings.ReplyDelEchomail
                                                             : false;
    if (!wanted)
        return;
    if (settings.ConfirmDelReplied &&
        UserInterface().Ask(DeleteOriginalText, mtConfirmation, {mbYes, mbNo}) != mbYes)
        return;
    if (TBaseRef base = SourceArea->GetBase())
        base->DeleteMsg(RepliedId);
}

} // namespace tavro
