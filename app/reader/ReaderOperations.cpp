#include "ReaderOperations.h"

#include "AreaTree.h"
#include "MessagePrinter.h"
#include "MessageView.h"
#include "MsgListModel.h"
#include "MsgListPane.h"
#include "SelectAreaDialog.h"
#include "TransferForm.h"
#include "ViewForm.h"
#include "ViewerArea.h"
#include "ViewerPanes.h"
#include "widgets/MessageDialog.h"
#include "widgets/QtText.h"

#include "compose/FanOut.h"
#include "config/Echo.h"
#include "config/Template.h"
#include "config/User.h"
#include "core/BufStream.h"
#include "core/Settings.h"
#include "core/StrUtils.h"
#include "reader/MsgDelete.h"
#include "reader/MsgExport.h"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QPrinter>

namespace tavro::app {

namespace {

const QString FileWriteError = QStringLiteral("File write error.");
const QString TextFilter = QStringLiteral("Text file (*.txt)");

const TTemplate* UserTemplate(const TUser& user, TTemplateKind kind) {
    return user.Templates[size_t(kind)];
}

} // namespace

TReaderOperations::TReaderOperations(TViewForm* form) : QObject(form), Form(form) {
    const std::pair<const char*, void (TReaderOperations::*)()> commands[] = {
        {"DeleteAction", &TReaderOperations::Delete},
        {"WriteAction", &TReaderOperations::WriteToFile},
        {"PrintAction", &TReaderOperations::Print},
    };
    for (const auto& [name, slot] : commands)
        connect(Form->Action(QString::fromLatin1(name)), &QAction::triggered, this, slot);
    connect(Form->Action(QStringLiteral("CopyAction")), &QAction::triggered, this,
            [this] { Transfer(false); });
    connect(Form->Action(QStringLiteral("MoveAction")), &QAction::triggered, this,
            [this] { Transfer(true); });
}

TReaderOperations::~TReaderOperations() = default;

TCustomBase* TReaderOperations::OpenBase() const {
    if (!Form->CurrentUser() || !Form->Area()->OpenEcho())
        return nullptr;
    return Form->ListPane()->Model()->Base();
}

std::vector<TMsgId> TReaderOperations::WorkIds() {
    TViewerArea* area = Form->Area();
    const int current = Form->ListPane()->CurrentPosition();
    if (area->Marks().Count() == 0 && current >= 0)
        area->ChangeMarks([current](TSortedList& marks, TCustomBase& base) {
            marks.Add(static_cast<int32_t>(base.GetMsgId(current)));
        });
    std::vector<TMsgId> ids;
    for (int i = 0; i < area->Marks().Count(); ++i)
        ids.push_back(TMsgId(area->Marks().Get(i)));
    return ids;
}

void TReaderOperations::Unmark(const std::vector<TMsgId>& ids) {
    if (ids.empty())
        return;
    Form->Area()->ChangeMarks([&ids](TSortedList& marks, TCustomBase&) {
        for (TMsgId id : ids)
            marks.Remove(static_cast<int32_t>(id));
    });
}

void TReaderOperations::Delete() {
    TCustomBase* base = OpenBase();
    const int current = Form->ListPane()->CurrentPosition();
    if (!base || current < 0)
        return;
    if (Settings().ConfirmDel && MessageDlg(Form, QStringLiteral("Are you really want to delete message(s)?"),
                                            mtConfirmation, mbtYes | mbtNo) != mrYes)
        return;
    Form->SetStatusText(2, QStringLiteral("Deleting..."));
    if (Form->Area()->Marks().Count() > 0)
        Form->ShowProgress(0);
    Form->Area()->ChangeMarks([this, current](TSortedList& marks, TCustomBase& open) {
        DeleteMessages(open, marks, current, [this](int percent) { Form->ShowProgress(percent); });
    });
    Form->HideProgress();
    Form->SetStatusText(2, QString());
    Form->Area()->Reload();
    Form->AreaTree()->UpdateAreaNode(Form->Area()->OpenEcho());
    Form->AreaTree()->Repaint();
}

void TReaderOperations::Transfer(bool move) {
    if (!OpenBase())
        return;
    if (TEcho* target = SelectArea(*Form->CurrentUser(), nullptr, Form, Form->Area()->OpenEcho()))
        TransferTo(*target, move);
}

void TReaderOperations::TransferTo(TEcho& target, bool move) {
    TCustomBase* base = OpenBase();
    TEcho* open = Form->Area()->OpenEcho();
    if (!base)
        return;
    // Copies go through bases of their own that move the stored bytes as they are, whatever
    // set a message is in. The reader's base writes its pointer and marks first and reads
    // the area again afterwards.
    TBaseRef source, raw;
    try {
        WritableBase(target);
        base->Close();
        source = open->NewRawBase();
        raw = target.NewRawBase();
        if (!source || !raw)
            throw EFileError("no message base to copy through", 0);
        source->Rescan();
        raw->Rescan();
    } catch (const std::exception& e) {
        MessageDlg(Form, ToQt(e.what()), mtError, mbtOK);
        return;
    }
    TCopiedIds& copied = Copied[open];
    const TCopiedIds before = copied;
    TMsgTransfer transfer(*source, *raw, move, &copied);
    TTransferForm dialog(
        move ? TTransferForm::tmMove : TTransferForm::tmCopy, WorkIds(),
        [&transfer](TMsgId id) { return transfer.Step(id); }, [&transfer] { return transfer.Flush(); },
        [this](const std::vector<TMsgId>& ids) { Unmark(ids); }, Form);
    dialog.exec();
    std::vector<TMsgId> fresh;
    for (TMsgId id : dialog.CopiedNotDeleted())
        if (!before.count(id))
            fresh.push_back(id);
    ReportNotDeleted(fresh);
    Form->Area()->Reload();
    Form->AreaTree()->UpdateAreaNode(&target);
    if (move)
        Form->AreaTree()->UpdateAreaNode(open);
    Form->AreaTree()->Repaint();
}

// Once per message: it stays marked, and a later move only tries its deletion again.
void TReaderOperations::ReportNotDeleted(const std::vector<TMsgId>& ids) {
    if (ids.empty())
        return;
    MessageDlg(Form,
               QStringLiteral("%1 message(s) were copied but could not be deleted here; they stay marked.")
                   .arg(ids.size()),
               mtError, mbtOK);
}

// The subject of the current message, or of the first marked one when the current one is
// not marked.
TMsgId TReaderOperations::SubjectSource(TCustomBase& base) const {
    const TSortedList& marks = Form->Area()->Marks();
    const TMsgId current = base.GetMsgId(Form->ListPane()->CurrentPosition());
    if (marks.Count() > 0 && !marks.Contains(static_cast<int32_t>(current)))
        return TMsgId(marks.Get(0));
    return current;
}

QString TReaderOperations::ChooseExportFile(TCustomBase& base, bool& append) {
    std::string subject;
    if (TMsgHandle msg = base.GetMsg(base.IndexOfId(SubjectSource(base))))
        subject = msg->Subject;
    QFileDialog dialog(Form);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setNameFilters({TextFilter, QStringLiteral("Any file (*)")});
    dialog.selectFile(ToQt(ExportFileName(subject)));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QString name = QString::fromStdString(WithTextExtension(
        dialog.selectedFiles().front().toStdString(), dialog.selectedNameFilter() == TextFilter));
    append = false;
    if (!QFileInfo::exists(name))
        return name;
    const int answer = MessageDlg(Form, QLatin1Char('"') + name + QStringLiteral("\" file already exists!"),
                                  mtWarning, mbtAppend | mbtOverwrite | mbtCancel);
    if (answer != mrAppend && answer != mrOverwrite)
        return {};
    append = answer == mrAppend;
    return name;
}

void TReaderOperations::WriteToFile() {
    TCustomBase* base = OpenBase();
    TEcho* open = Form->Area()->OpenEcho();
    if (!base || Form->ListPane()->CurrentPosition() < 0)
        return;
    bool append = false;
    const QString name = ChooseExportFile(*base, append);
    if (name.isEmpty())
        return;
    std::unique_ptr<TExportFile> file;
    try {
        file = TExportFile::Open(name.toStdString(), append);
    } catch (const std::exception&) {
        MessageDlg(Form, FileWriteError, mtError, mbtOK);
        return;
    }
    const TTemplate* tpl = UserTemplate(*Form->CurrentUser(), tkExportToFile);
    const bool kludges = Form->ShowKludges();
    std::vector<TMsgId> written;
    bool writeFailed = false;
    TTransferForm* shown = nullptr;
    TTransferForm dialog(
        TTransferForm::tmWrite, WorkIds(),
        [&](TMsgId id) {
            TMsgHandle msg = base->GetMsg(base->IndexOfId(id));
            if (!msg)
                return false;
            const TBodyLines lines =
                tpl ? TemplateLines(*base, *open, *tpl, false, kludges, *msg) : TBodyLines();
            if (!file->Write(lines)) {
                writeFailed = true;
                shown->Cancel();
                return true;
            }
            written.push_back(id);
            return true;
        },
        // A file that fails is put back as it was: the messages are unmarked only once the
        // file holds them for good.
        [] { return TTransferBatch(); }, [](const std::vector<TMsgId>&) {}, Form);
    shown = &dialog;
    dialog.exec();
    if (file->Close() && !writeFailed)
        Unmark(written);
    else
        MessageDlg(Form, FileWriteError, mtError, mbtOK);
    Form->Area()->KeepCurrent();
}

void TReaderOperations::Print() {
    TCustomBase* base = OpenBase();
    TEcho* open = Form->Area()->OpenEcho();
    const int current = Form->ListPane()->CurrentPosition();
    if (!base || current < 0)
        return;
    const TMessageView* view = Form->Panes()->MsgView();
    const TTemplate* tpl = UserTemplate(*Form->CurrentUser(), tkExportToPrinter);
    const bool kludges = Form->ShowKludges();
    if (!Printer)
        Printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    PrintWithDialog(*Printer, Form, view->textCursor().hasSelection(), [&](bool selection) {
        if (selection)
            return SelectedLines(*view);
        QStringList lines;
        TMsgHandle msg = base->GetMsg(current);
        if (msg && tpl)
            for (const TBodyLine& line : TemplateLines(*base, *open, *tpl, true, kludges, *msg))
                lines << ToQt(line.Text);
        return lines;
    });
}

} // namespace tavro::app
