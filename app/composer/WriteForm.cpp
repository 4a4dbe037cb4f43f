#include "WriteForm.h"

#include "TaggedText.h"
#include "WriteCommands.h"
#include "WriteEditing.h"

#include "widgets/EditorSettings.h"
#include "widgets/MessageDialog.h"
#include "widgets/QtText.h"
#include "widgets/StyledTextEdit.h"
#include "widgets/UserColors.h"
#include "widgets/WindowPlacement.h"
#include "widgets/WindowTray.h"

#include "compose/Cookies.h"
#include "compose/DraftStore.h"
#include "compose/MsgIdSerial.h"
#include "config/Config.h"
#include "config/Echo.h"
#include "config/User.h"
#include "core/Attributes.h"
#include "core/BufStream.h"
#include "core/ConfigDir.h"
#include "core/LocaleFormat.h"
#include "core/Settings.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSettings>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTextBlock>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace tavro::app {

namespace {

constexpr int DraftDelayMs = 3000;
const QString LayoutSection = QStringLiteral("Editor");

QLineEdit* Box(const char* name) {
    auto* box = new QLineEdit;
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

QComboBox* EditableList(const char* name) {
    auto* list = new QComboBox;
    list->setObjectName(QString::fromLatin1(name));
    list->setEditable(true);
    list->setInsertPolicy(QComboBox::NoInsert);
    return list;
}

} // namespace

TWriteForm::TWriteForm(std::unique_ptr<TComposeSession> session, TUser& user, QWidget* parent)
    : QMainWindow(parent), Session_(std::move(session)), User(user),
      Serials(std::make_unique<TMsgIdSerials>(ConfigDir() + "/" + TMsgIdSerials::FileName)),
      DraftTimer(new QTimer(this)) {
    setObjectName(QStringLiteral("WriteForm"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Tavro Editor: ") + ToQt(Session_->Area().Name));
    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(2, 2, 2, 2);
    auto* header = new QWidget;
    header->setObjectName(QStringLiteral("HeaderPanel"));
    BuildHeader(header);
    layout->addWidget(header);
    BuildEditor();
    layout->addWidget(TextMemo, 1);
    layout->addWidget(OriginPanel);
    setCentralWidget(central);
    Commands_ = new TWriteCommands(this);
    Editing =
        new TWriteEditing(this, Commands_, TextMemo, {FromName, FromAddr, ToName, ToAddr, Subject}, User);
    Tray = new TWindowTray(this);
    ConnectCommands();
    DraftTimer->setSingleShot(true);
    connect(DraftTimer, &QTimer::timeout, this, &TWriteForm::SaveDraft);
    resize(760, 560);
    RestoreLayout();
}

TWriteForm::~TWriteForm() = default;

void TWriteForm::BuildHeader(QWidget* panel) {
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(4, 4, 4, 4);
    FromName = EditableList("FromName");
    FromAddr = Box("FromAddr");
    ToName = Box("ToName");
    ToAddr = EditableList("ToAddr");
    Subject = Box("Subject");
    SendDate = new QLabel;
    RecvDate = new QLabel;
    Attribs = new QLabel;
    auto* toButton = new QToolButton;
    toButton->setObjectName(QStringLiteral("ToNameButton"));
    toButton->setText(QStringLiteral("+"));
    toButton->setEnabled(false); // carbon copies and cross-posts come with their dialogs
    auto* toName = new QHBoxLayout;
    toName->addWidget(ToName, 1);
    toName->addWidget(toButton);
    grid->addWidget(new QLabel(QStringLiteral("From:")), 0, 0);
    grid->addWidget(FromName, 0, 1);
    grid->addWidget(FromAddr, 0, 2);
    grid->addWidget(SendDate, 0, 3);
    grid->addWidget(new QLabel(QStringLiteral("To:")), 1, 0);
    grid->addLayout(toName, 1, 1);
    grid->addWidget(ToAddr, 1, 2);
    grid->addWidget(RecvDate, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Subj:")), 2, 0);
    grid->addWidget(Subject, 2, 1, 1, 2);
    grid->addWidget(Attribs, 2, 3);
    grid->setColumnStretch(1, 3);
    grid->setColumnStretch(2, 2);
    for (QWidget* field : std::initializer_list<QWidget*>{FromName, FromAddr, ToName, ToAddr, Subject})
        field->installEventFilter(this);
}

void TWriteForm::BuildEditor() {
    TextMemo = new TStyledTextEdit;
    TextMemo->setObjectName(QStringLiteral("TextMemo"));
    OriginPanel = new QWidget;
    OriginPanel->setObjectName(QStringLiteral("OriginPanel"));
    auto* origin = new QHBoxLayout(OriginPanel);
    origin->setContentsMargins(0, 0, 0, 0);
    OriginEdit = EditableList("OriginEdit");
    origin->addWidget(new QLabel(QStringLiteral("Origin:")));
    origin->addWidget(OriginEdit, 1);
    CaretPanel = new QLabel;
    CaretPanel->setMinimumWidth(250);
    InsertPanel = new QLabel;
    InsertPanel->setMinimumWidth(50);
    InsertPanel->setAlignment(Qt::AlignRight);
    statusBar()->setObjectName(QStringLiteral("WriteStatusBar"));
    statusBar()->addWidget(CaretPanel);
    statusBar()->addWidget(InsertPanel);
    connect(TextMemo, &QPlainTextEdit::cursorPositionChanged, this, &TWriteForm::UpdateStatus);
}

// Every activation: the user's editor settings and colours, which may have changed meanwhile.
void TWriteForm::ApplyUserLook() {
    ApplyEditorSettings(TextMemo, nullptr, User);
    TextMemo->SetUser(User);
    const QColor text = ToQColor(User.Colors[ceText].Fg);
    const QColor back = ToQColor(User.Colors[ceText].Bg);
    for (QWidget* field :
         std::initializer_list<QWidget*>{FromName, FromAddr, ToName, ToAddr, Subject, OriginEdit}) {
        QPalette palette = field->palette();
        palette.setColor(QPalette::Text, text);
        palette.setColor(QPalette::Base, back);
        field->setPalette(palette);
    }
}

void TWriteForm::ConnectCommands() {
    connect(Commands_->Action(QStringLiteral("SendAction")), &QAction::triggered, this, &TWriteForm::Send);
    connect(Commands_->Action(QStringLiteral("CancelAction")), &QAction::triggered, this, &QWidget::close);
    connect(Commands_->Action(QStringLiteral("ToolbarAction")), &QAction::toggled, Commands_->ToolBar(),
            &QWidget::setVisible);
    connect(Editing, &TWriteEditing::InsertModeChanged, this, &TWriteForm::UpdateStatus);
    connect(TextMemo, &QPlainTextEdit::textChanged, this, &TWriteForm::ScheduleDraft);
    for (QLineEdit* box : {FromAddr, ToName, Subject})
        connect(box, &QLineEdit::textEdited, this, &TWriteForm::ScheduleDraft);
    for (QComboBox* list : {FromName, ToAddr, OriginEdit})
        connect(list, &QComboBox::editTextChanged, this, &TWriteForm::ScheduleDraft);
}

void TWriteForm::Activate() {
    // Without the text border the template wraps its quotes itself.
    const bool border = Commands_->Action(QStringLiteral("WordWrap1"))->isChecked();
    const TCursorPos caret = Session_->Activate(!border, RandomIndex);
    ApplyUserLook();
    ShowMessage();
    if (caret.Line >= TextMemo->document()->blockCount())
        TextMemo->Complete();
    QTextCursor cursor(TextMemo->document()->findBlockByNumber(caret.Line));
    cursor.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, caret.Column);
    TextMemo->setTextCursor(cursor);
    if (QWidget* field = FocusField(Session_->FirstFocus()))
        field->setFocus();
}

void TWriteForm::Restore(const TDraft& draft, std::unique_ptr<TDraftFile> file) {
    Session_->Restore(draft);
    Draft = std::move(file);
    ApplyUserLook();
    ShowMessage();
    TextMemo->setFocus();
}

void TWriteForm::ShowMessage() {
    Filling = true;
    TCustomMsg& msg = Session_->Msg();
    FromName->clear();
    for (const auto& user : Config().Users)
        FromName->addItem(ToQt(user->Name));
    FromName->setEditText(ToQt(msg.FromName));
    FromAddr->setText(ToQt(msg.FromAddr.ToStr5D()));
    ToName->setText(ToQt(msg.ToName));
    ToAddr->setEditText(ToQt(msg.ToAddr.IsValid() ? msg.ToAddr.ToStr5D() : std::string()));
    Subject->setText(ToQt(msg.Subject));
    SetTaggedText(TextMemo, msg.Body);
    SendDate->setText(ToQt(FormatDateTimeText(msg.DateWritten)));
    RecvDate->setText(ToQt(FormatDateTimeText(msg.DateArrived)));
    Attribs->setText(ToQt(AttrToStr(msg.Attr)));
    OriginPanel->setVisible(Session_->HasOrigin());
    OriginEdit->clear();
    for (const std::string& origin : Config().Settings.Origins)
        OriginEdit->addItem(ToQt(origin));
    OriginEdit->setEditText(ToQt(Session_->OriginText));
    Filling = false;
    UpdateStatus();
}

QWidget* TWriteForm::FocusField(TComposeFocus focus) const {
    switch (focus) {
    case TComposeFocus::FromName:
        return FromName;
    case TComposeFocus::FromAddr:
        return FromAddr;
    case TComposeFocus::ToName:
        return ToName;
    case TComposeFocus::ToAddr:
        return ToAddr;
    case TComposeFocus::Subject:
        return Subject;
    case TComposeFocus::Editor:
        return TextMemo;
    }
    return TextMemo;
}

THeaderFields TWriteForm::Fields() const {
    return {FromQt(FromName->currentText()), FromQt(FromAddr->text()), FromQt(ToName->text()),
            FromQt(ToAddr->currentText()), FromQt(Subject->text())};
}

// The template lines follow the header; the caret and the view stay where they were.
void TWriteForm::RefreshHeader() {
    Session_->RefreshHeader(Fields(), TaggedText(TextMemo));
    const QTextCursor old = TextMemo->textCursor();
    const int line = old.blockNumber();
    const int column = old.positionInBlock();
    const int scrolled = TextMemo->verticalScrollBar()->value();
    Filling = true;
    UpdateTaggedText(TextMemo, Session_->Msg().Body);
    Filling = false;
    QTextCursor cursor(TextMemo->document()->findBlockByNumber(line));
    cursor.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor,
                        std::min(column, std::max(0, cursor.block().length() - 1)));
    TextMemo->setTextCursor(cursor);
    TextMemo->verticalScrollBar()->setValue(scrolled);
    ScheduleDraft();
}

bool TWriteForm::Send() {
    TextMemo->setFocus();
    Session_->OriginText = FromQt(OriginEdit->currentText());
    switch (Session_->Send(Fields(), TaggedText(TextMemo), *Serials)) {
    case TSendOutcome::InvalidAddress:
        FromAddr->setFocus();
        return false;
    case TSendOutcome::Failed:
        return false;
    case TSendOutcome::Sent:
        break;
    }
    SentOk = true;
    Session_->CloseAfterSend();
    DropDraft();
    emit Sent();
    close();
    return true;
}

void TWriteForm::showEvent(QShowEvent* event) {
    if (!Shown) {
        Shown = true;
        ApplySavedState(this, SavedWindowState);
    }
    QMainWindow::showEvent(event);
}

void TWriteForm::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Tray->WindowStateChanged(Settings().MinToTray, QSystemTrayIcon::isSystemTrayAvailable());
    if (event->type() != QEvent::ActivationChange)
        return;
    if (isActiveWindow()) {
        ApplyUserLook();
        TextMemo->setOverwriteMode(Overwrite);
        UpdateStatus();
    } else {
        Overwrite = TextMemo->overwriteMode();
    }
}

void TWriteForm::RestoreLayout() {
    QSettings settings(LayoutFileName(), QSettings::IniFormat);
    settings.beginGroup(LayoutSection);
    const TWindowPlacement placement = ReadWindowPlacement(settings);
    const bool border = SettingFlag(settings, QStringLiteral("WordWrap"), true);
    settings.endGroup();
    RestoreFrame(this, placement.Geometry);
    SavedWindowState = placement.State;
    Commands_->Action(QStringLiteral("WordWrap1"))->setChecked(border);
    Commands_->Action(QStringLiteral("ToolbarAction"))->setChecked(placement.ToolbarVisible);
    RestoreToolbar(this, Commands_->ToolBar(), placement, placement.ToolbarVisible);
}

void TWriteForm::SaveLayout() const {
    std::string dir;
    if (!EnsureConfigDir(dir))
        return;
    QSettings settings(LayoutFileName(), QSettings::IniFormat);
    settings.beginGroup(LayoutSection);
    WriteWindowPlacement(settings,
                         CurrentPlacement(this, Commands_->ToolBar(),
                                          Commands_->Action(QStringLiteral("ToolbarAction"))->isChecked()));
    settings.setValue(QStringLiteral("WordWrap"),
                      int(Commands_->Action(QStringLiteral("WordWrap1"))->isChecked()));
    settings.endGroup();
    settings.sync();
}

void TWriteForm::closeEvent(QCloseEvent* event) {
    if (!SentOk) {
        raise();
        activateWindow();
        if (MessageDlg(this, QStringLiteral("Close without send?"), mtConfirmation, mbtYes | mbtNo) !=
            mrYes) {
            event->ignore();
            return;
        }
        DropDraft();
    }
    SaveLayout();
    if (Tray->Icon())
        Tray->Icon()->hide();
    event->accept();
}

// Leaving a header field refreshes the lines the template made from it.
bool TWriteForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut && !Filling)
        RefreshHeader();
    return QMainWindow::eventFilter(watched, event);
}

void TWriteForm::ScheduleDraft() {
    if (!Filling)
        DraftTimer->start(DraftDelayMs);
}

// A draft that cannot be saved costs nothing but the protection: the letter is still there.
void TWriteForm::SaveDraft() {
    try {
        if (!Draft)
            Draft = TDraftFile::Create(ConfigDir());
        Session_->OriginText = FromQt(OriginEdit->currentText());
        Draft->Save(Session_->ToDraft(Fields(), TaggedText(TextMemo)));
    } catch (const std::exception&) {
    }
}

void TWriteForm::DropDraft() {
    DraftTimer->stop();
    if (!Draft)
        return;
    try {
        Draft->Remove();
    } catch (const std::exception&) {
    }
    Draft.reset();
}

const std::string& TWriteForm::DraftPath() const {
    static const std::string none;
    return Draft ? Draft->Path() : none;
}

void TWriteForm::UpdateStatus() {
    const QTextCursor cursor = TextMemo->textCursor();
    CaretPanel->setText(
        QStringLiteral("%1:%2  ").arg(cursor.blockNumber() + 1).arg(cursor.positionInBlock() + 1));
    InsertPanel->setText(TextMemo->overwriteMode() ? QStringLiteral("Overwrite") : QStringLiteral("Insert"));
}

} // namespace tavro::app
