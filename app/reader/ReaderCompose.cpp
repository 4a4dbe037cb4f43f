#include "ReaderCompose.h"

#include "MsgListModel.h"
#include "MsgListPane.h"
#include "SelectAreaDialog.h"
#include "ViewForm.h"
#include "ViewerArea.h"
#include "composer/WriteForm.h"
#include "widgets/MessageDialog.h"
#include "widgets/QtText.h"

#include "compose/DraftStore.h"
#include "config/Config.h"
#include "config/User.h"
#include "core/ConfigDir.h"
#include "reader/Favourites.h"

#include <QAction>
#include <QMenu>

namespace tavro::app {

namespace {

const std::pair<const char*, TComposeMode> ModeCommands[] = {
    {"NewAction", TComposeMode::New},
    {"ReplyAction", TComposeMode::Reply},
    {"QuoteAction", TComposeMode::Quote},
    {"CommentAction", TComposeMode::Comment},
    {"QuoteInAreaAction", TComposeMode::QuoteInArea},
    {"CommentInAreaAction", TComposeMode::CommentInArea},
    {"ForwardAction", TComposeMode::Forward},
    {"EditAction", TComposeMode::Edit},
};

bool ChoosesArea(TComposeMode mode) {
    return mode == TComposeMode::QuoteInArea || mode == TComposeMode::CommentInArea;
}

} // namespace

TReaderCompose::TReaderCompose(TViewForm* form) : QObject(form), Form(form) {
    for (const auto& [name, mode] : ModeCommands)
        connect(Form->Action(QString::fromLatin1(name)), &QAction::triggered, this,
                [this, mode = mode] { Open(mode); });
    QMenu* favourites = Form->FavouritesMenu();
    connect(favourites, &QMenu::aboutToShow, this, [this, favourites] { FillFavourites(favourites); });
}

// Made afresh each time: the address book may have changed.
void TReaderCompose::FillFavourites(QMenu* menu) {
    menu->clear();
    for (const TABUser* contact : Favourites(Config()))
        menu->addAction(ToQt(FavouriteCaption(*contact)), this,
                        [this, contact] { WriteToContact(*contact); });
}

TWriteForm* TReaderCompose::WriteToContact(const TABUser& contact) {
    TEcho* open = Form->Area()->OpenEcho();
    if (!Form->CurrentUser() || !open)
        return nullptr;
    TComposeRequest request;
    request.Mode = TComposeMode::Contact;
    request.Area = request.SourceArea = open;
    request.ShowKludges = Form->ShowKludges();
    request.Contact = &contact;
    TWriteForm* form = Show(request);
    if (form)
        form->Activate();
    return form;
}

// The reply area rule picks the area of replies (and the preselection of the "in area" ones);
// it takes the "AREA:" line out of the message, so it is not applied to edits and forwards.
TEcho* TReaderCompose::TargetArea(TComposeMode mode, TCustomMsg* current) {
    TEcho* open = Form->Area()->OpenEcho();
    if (mode == TComposeMode::New || mode == TComposeMode::Edit)
        return open;
    if (mode == TComposeMode::Forward)
        return SelectArea(*Form->CurrentUser(), nullptr, Form);
    TEcho* replyArea = current ? ReplyArea(Config(), *current, open) : open;
    if (ChoosesArea(mode))
        return SelectArea(*Form->CurrentUser(), replyArea, Form);
    return replyArea;
}

TWriteForm* TReaderCompose::Open(TComposeMode mode) {
    TEcho* open = Form->Area()->OpenEcho();
    TCustomBase* base = Form->ListPane()->Model()->Base();
    if (!Form->CurrentUser() || !open || !base)
        return nullptr;
    TComposeRequest request;
    request.Mode = mode;
    request.SourceArea = open;
    request.ShowKludges = Form->ShowKludges();
    TMsgHandle current;
    if (mode != TComposeMode::New) {
        const int position = Form->ListPane()->CurrentPosition();
        try {
            current = position >= 0 ? base->GetMsg(position) : nullptr;
            if (current) {
                current->GetKludges();
                request.CurrentId = base->GetMsgId(position);
            }
        } catch (const std::exception&) {
            current = nullptr;
        }
        if (!current)
            return nullptr;
        request.Current = current.get();
    }
    request.Area = TargetArea(mode, request.Current);
    if (!request.Area)
        return nullptr;
    TWriteForm* form = Show(request);
    if (form)
        form->Activate();
    return form;
}

TWriteForm* TReaderCompose::WriteTo(const TAddress& address) {
    if (!Form->CurrentUser())
        return nullptr;
    TComposeRequest request;
    request.Area = SelectArea(*Form->CurrentUser(), nullptr, Form);
    if (!request.Area)
        return nullptr;
    TWriteForm* form = Show(request);
    if (form) {
        form->Session().Msg().ToAddr = address;
        form->Activate();
    }
    return form;
}

TWriteForm* TReaderCompose::Show(const TComposeRequest& request) {
    std::unique_ptr<TComposeSession> session;
    try {
        session = std::make_unique<TComposeSession>(Config(), *Form->CurrentUser(), request);
    } catch (const std::exception& e) {
        MessageDlg(Form, ToQt(e.what()), mtError, mbtOK);
        return nullptr;
    }
    // Its own window beside the reader, not owned by it.
    auto* form = new TWriteForm(std::move(session), *Form->CurrentUser());
    connect(form, &TWriteForm::Sent, Form->Area(), &TViewerArea::UpdateStep);
    form->show();
    return form;
}

void TReaderCompose::OfferLeftDrafts() {
    TUser* user = Form->CurrentUser();
    if (!user)
        return;
    TDraftScan scan;
    try {
        scan = FindLeftDrafts(ConfigDir(), user->UserId);
    } catch (const std::exception&) {
        return;
    }
    if (scan.Drafts.empty())
        return;
    const QString question = QStringLiteral("Restore %1 unsent messages?").arg(scan.Drafts.size());
    if (MessageDlg(Form, question, mtConfirmation, mbtYes | mbtNo) != mrYes)
        return;
    for (const TFoundDraft& found : scan.Drafts) {
        std::unique_ptr<TDraftFile> file;
        try {
            file = TDraftFile::Adopt(found.Path);
        } catch (const std::exception&) {
            continue; // its lock cannot be had: it stays for the next start
        }
        TMsgHandle holder;
        const TComposeRequest request = RequestForDraft(Config(), found.Draft, holder);
        if (!file || !request.Area)
            continue;
        if (TWriteForm* form = Show(request))
            form->Restore(found.Draft, std::move(file));
    }
}

} // namespace tavro::app
