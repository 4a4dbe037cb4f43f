#include "ComposeSession.h"

#include "Cookies.h"
#include "MsgIdSerial.h"
#include "ReplyRules.h"

#include "config/Config.h"
#include "config/Echo.h"
#include "config/User.h"
#include "core/BufStream.h"
#include "core/CodePage.h"
#include "core/StrUtils.h"
#include "core/UserInterface.h"

namespace tavro {

namespace {

constexpr const char* InvalidAddressText = "Invalid address!!! Reenter address, Please!";
constexpr const char* RetryText =
    "Error sending message. You may try to fix message base and try to send again.\rRepeat sending?";
constexpr const char* DeleteOriginalText = "Do you want to delete original message?";

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

TBaseRef OpenBase(TEcho& area) {
    TBaseRef base = area.GetBase();
    if (!base)
        throw EFileError("the area \"" + area.Name + "\" has no message base", 0);
    return base;
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
        Reply = EditedReplyValueOf(*Msg_);
        EditedId = request.CurrentId;
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

TComposeRequest RequestForDraft(TConfig& config, const TDraft& draft, TMsgHandle& holder) {
    TComposeRequest request;
    request.Mode = draft.Mode == TDraftMode::Contact ? TComposeMode::New : TComposeMode(int(draft.Mode));
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
    TBaseRef base = DefCCArea->GetBase();
    if (!base || !base->CreateIfMissing())
        throw EFileError("cannot open the message base of \"" + DefCCArea->Name + "\"", 0);
    std::unique_ptr<TCustomMsg> copy = base->NewMsg();
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
    try {
        if (DefCCArea && !Copy) {
            Copy = PrepareCopy(fields, body, rules);
            if (!Copy)
                return TSendOutcome::InvalidAddress;
        }
        // A message none of whose parts got written is taken afresh from what is typed now.
        if (MainWrite && MainWrite->WrittenIds().empty())
            MainWrite.reset();
        bool written = MainWritten;
        if (!written) {
            if (!MainWrite) {
                if (!CollectHeader(*Msg_, fields, std::move(body), true))
                    return TSendOutcome::InvalidAddress;
                AddOriginLine(*Msg_, rules);
                BuildKludges(*Msg_, rules, serials.Next(Msg_->DateWritten));
            }
            written = MainWritten = WriteWithRetry(*Msg_, MainWrite, rules);
        }
        // The default copy is written whether the message itself could be or not.
        const bool copied = !Copy || WriteWithRetry(*Copy, CopyWrite, rules);
        return written && copied ? TSendOutcome::Sent : TSendOutcome::Failed;
    } catch (const EFileError& e) {
        UserInterface().ShowError(e.what());
        return TSendOutcome::Failed;
    }
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
