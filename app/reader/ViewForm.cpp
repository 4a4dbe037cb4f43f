#include "ViewForm.h"

#include "MessageDisplay.h"
#include "MessageLinks.h"
#include "MessageView.h"

#include "AreaTree.h"
#include "CopyCommand.h"
#include "MsgListModel.h"
#include "MsgListPane.h"
#include "ReaderCompose.h"
#include "ReaderMoves.h"
#include "ReaderOperations.h"
#include "SelectAreaDialog.h"
#include "SelectUserDialog.h"
#include "ViewLayout.h"
#include "ViewerActions.h"
#include "ViewerArea.h"
#include "ViewerPanes.h"
#include "ViewerStatusBar.h"
#include "widgets/QtText.h"
#include "widgets/WindowTray.h"

#include "config/Config.h"
#include "config/Echo.h"
#include "config/NetmailArea.h"
#include "config/TreeInfo.h"
#include "config/User.h"
#include "core/ConfigDir.h"
#include "reader/Favourites.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScreen>
#include <QSettings>
#include <QStatusTipEvent>
#include <QSystemTrayIcon>
#include <QToolBar>
#include <QTreeWidget>
#include <QUrl>

namespace tavro::app {

namespace {

const QString Caption = QStringLiteral("Tavro Viewer");
const QString LayoutSection = QStringLiteral("Viewer");

} // namespace

TViewForm::TViewForm(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("ViewForm"));
    setWindowTitle(Caption);
    Panes_ = new TViewerPanes(this);
    setCentralWidget(Panes_);
    Actions = new TViewerActions(this);
    Status = new TViewerStatusBar(this);
    setStatusBar(Status);
    Tray = new TWindowTray(this);
    resize(960, 680);
    BuildReader();
    ConnectCommands();
    RebuildFallbackNetmailArea();
    RestoreLayout();
}

TViewForm::~TViewForm() = default;

QAction* TViewForm::Action(const QString& name) const {
    return Actions->Action(name);
}

void TViewForm::ConnectCommands() {
    connect(Action(QStringLiteral("ToolbarAction")), &QAction::toggled, Actions->ToolBar(),
            &QToolBar::setVisible);
    Action(QStringLiteral("ToolbarAction"))->setChecked(true);
    connect(Action(QStringLiteral("FullScreenAction")), &QAction::toggled, this,
            &TViewForm::FullScreenToggled);
    connect(Action(QStringLiteral("BigTreeAction")), &QAction::toggled, this, &TViewForm::BigTreeToggled);
    connect(Action(QStringLiteral("ThreadModeAction")), &QAction::toggled, this,
            [this](bool on) { Area_->SetThreads(on); });
    connect(Action(QStringLiteral("RescanAction")), &QAction::triggered, this, [this] {
        AreaTree_->RescanAreas();
        AreaTree_->Repaint();
    });
    connect(Action(QStringLiteral("SelectUserAction")), &QAction::triggered, this, [this] {
        if (TUser* user = SelectUser(this))
            SetCurrentUser(user);
    });
    connect(Action(QStringLiteral("WWWAction")), &QAction::triggered, this,
            [] { QDesktopServices::openUrl(QUrl(QString::fromLatin1(HomePageUrl))); });
}

void TViewForm::BuildReader() {
    AreaTree_ = new TAreaTree(Panes_->Tree(), this);
    ListPane_ = new TMsgListPane(Panes_->List(), Panes_->ListModel(), this);
    ListPane_->ShowProgress = [this](int percent) { ShowProgress(percent); };
    ListPane_->HideProgress = [this] {
        HideProgress();
        SetStatusText(2, QString());
    };
    Display_ = new TMessageDisplay(Panes_->InfoPanel(), Panes_->MsgView(), this);
    connect(Display_, &TMessageDisplay::AnswersMenuChanged, Actions, &TViewerActions::SetRepliesMenu);
    auto* links = new TMessageLinks(Panes_->MsgView(), this);
    connect(links, &TMessageLinks::AddressOpened, this, [this](const QString& text) {
        TAddress address;
        address.Parse(FromQt(text));
        if (address.IsValid())
            Compose_->WriteTo(address);
    });
    new TCopyCommand(this, Panes_->List());
    Area_ = new TViewerArea(AreaTree_, ListPane_, Display_, this);
    connect(Action(QStringLiteral("ShowKludgesAction")), &QAction::toggled, this, [this](bool on) {
        try {
            Display_->SetShowKludges(on);
        } catch (const std::exception&) {
            // The update step finds the area locked.
            Display_->Clear();
        }
    });
    Area_->MessagePaneShown = [this] {
        const int alone = Panes_->AlonePane();
        return alone < 0 || alone == TViewerPanes::pnMessage;
    };
    Moves_ = new TReaderMoves(this);
    Compose_ = new TReaderCompose(this);
    Operations_ = new TReaderOperations(this);
    connect(Area_, &TViewerArea::CaptionChanged, this, &TViewForm::SetCaption);
    connect(Area_, &TViewerArea::CommandsChanged, this, &TViewForm::UpdateActions);
    connect(AreaTree_, &TAreaTree::StatusText, this, [this](const QString& text) { SetStatusText(2, text); });
    connect(AreaTree_, &TAreaTree::Activated, this, &TViewForm::ShowOpenedArea);
}

// Enter or a double click on an area: on to its text.
void TViewForm::ShowOpenedArea() {
    if (!Area_->OpenEcho())
        return;
    if (FullScreen())
        Panes_->ShowAlone(TViewerPanes::pnMessage);
    Panes_->MsgView()->setFocus();
}

void TViewForm::SetCaption(const QString& name, bool hasNode) {
    setWindowTitle(hasNode ? Caption + QStringLiteral(": ") + name : Caption + QLatin1Char(' '));
}

void TViewForm::UpdateActions() {
    TCommandState state;
    state.User = CurrentUser_ != nullptr;
    TTreeInfo* node = Area_ ? Area_->OpenNode() : nullptr;
    state.Area = Area_ && Area_->OpenEcho() && node && !node->Locked;
    state.Messages = state.Area && Panes_->ListModel()->rowCount() > 0;
    state.Message = state.Messages && ListPane_->CurrentPosition() >= 0;
    Actions->Update(state);
    Actions->ShowFavourites(state.User && state.Area && !Favourites(Config()).empty());
}

QMenu* TViewForm::FavouritesMenu() const {
    return Actions->FavouritesMenu();
}

bool TViewForm::ShowKludges() const {
    return Action(QStringLiteral("ShowKludgesAction"))->isChecked();
}

bool TViewForm::ThreadsMode() const {
    return Action(QStringLiteral("ThreadModeAction"))->isChecked();
}

bool TViewForm::FullScreen() const {
    return Action(QStringLiteral("FullScreenAction"))->isChecked();
}

bool TViewForm::BigTree() const {
    return Action(QStringLiteral("BigTreeAction"))->isChecked();
}

void TViewForm::FullScreenToggled(bool on) {
    if (on) {
        FocusBeforeFullScreen = focusWidget();
        Panes_->ShowAlone(Panes_->PaneOf(focusWidget()));
        return;
    }
    Panes_->ShowAlone(-1);
    if (FocusBeforeFullScreen)
        FocusBeforeFullScreen->setFocus();
    ListPane_->ScrollCurrentIntoView();
}

void TViewForm::BigTreeToggled(bool on) {
    // Moving the panes between splitters loses the focus; give it back.
    QPointer<QWidget> focus = focusWidget();
    Panes_->SetBigTree(on);
    if (focus)
        focus->setFocus();
    ListPane_->ScrollCurrentIntoView();
}

void TViewForm::SetCurrentUser(TUser* user) {
    if (user == CurrentUser_)
        return;
    CurrentUser_ = user;
    Area_->SetUser(user);
    if (!user)
        setWindowTitle(Caption);
    UpdateActions();
}

void TViewForm::ShowProgress(int percent) {
    Status->ShowProgress(percent);
    if (isVisible())
        Status->Progress()->repaint();
}

void TViewForm::HideProgress() {
    Status->HideProgress();
}

void TViewForm::SetStatusText(int panel, const QString& text) {
    Status->SetText(panel, text);
    if (isVisible() && Status->Panel(panel))
        Status->Panel(panel)->repaint();
}

QString TViewForm::StatusText(int panel) const {
    return Status->Text(panel);
}

void TViewForm::RestoreFromTray() {
    Tray->RestoreWindow();
}

void TViewForm::RebuildFallbackNetmailArea() {
    if (FallbackNetmail)
        RetiredNetmail.push_back(std::move(FallbackNetmail));
    FallbackNetmail = MakeFallbackNetmailArea(Settings());
}

bool TViewForm::TrayAvailable() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool TViewForm::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::StatusTip:
        Status->SetText(0, static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    case QEvent::WindowActivate:
        if (Tray->IsHidingWindow())
            Tray->RestoreWindow();
        break;
    default:
        break;
    }
    return QMainWindow::event(event);
}

void TViewForm::showEvent(QShowEvent* event) {
    if (!Shown) {
        Shown = true;
        ApplySavedState(this, SavedWindowState_);
    }
    QMainWindow::showEvent(event);
}

void TViewForm::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Tray->WindowStateChanged(Settings().MinToTray, TrayAvailable());
}

void TViewForm::closeEvent(QCloseEvent* event) {
    SaveLayout();
    QMainWindow::closeEvent(event);
    if (!event->isAccepted())
        return;
    if (Tray->Icon())
        Tray->Icon()->hide();
    // The open area's last-read pointer and marks are written now, not at some later exit.
    Area_->CloseOpenBase();
    emit Closed();
}

QMenu* TViewForm::createPopupMenu() {
    auto* menu = new QMenu(this);
    menu->addAction(Action(QStringLiteral("ToolbarAction")));
    return menu;
}

// ---- layout ----

TViewLayout TViewForm::CurrentLayout() const {
    TViewLayout layout;
    static_cast<TWindowPlacement&>(layout) =
        CurrentPlacement(this, Actions->ToolBar(), Action(QStringLiteral("ToolbarAction"))->isChecked());
    layout.FullScreen = FullScreen();
    layout.BigTree = BigTree();
    layout.ThreadsView = ThreadsMode();
    layout.SubjColSize = FormatSubjColSize(Panes_->ColumnWidths());
    layout.LeftPanelWidth = Panes_->LeftPanelWidth();
    layout.TopPanelHeight = Panes_->TopPanelHeight();
    return layout;
}

void TViewForm::SaveLayout() const {
    std::string dir;
    if (!EnsureConfigDir(dir))
        return;
    QSettings settings(LayoutFileName(), QSettings::IniFormat);
    settings.beginGroup(LayoutSection);
    WriteViewLayout(settings, CurrentLayout());
    settings.endGroup();
    settings.sync();
}

void TViewForm::RestoreLayout() {
    // A restored full-screen mode starts from the tree.
    Panes_->Tree()->setFocus();
    QSettings settings(LayoutFileName(), QSettings::IniFormat);
    settings.beginGroup(LayoutSection);
    const TViewLayout layout = ReadViewLayout(settings);
    settings.endGroup();
    RestoreFrame(this, layout.Geometry);
    SavedWindowState_ = layout.State;
    if (layout.LeftPanelWidth)
        Panes_->SetLeftPanelWidth(*layout.LeftPanelWidth);
    if (layout.TopPanelHeight)
        Panes_->SetTopPanelHeight(*layout.TopPanelHeight);
    Panes_->SetColumnWidths(ParseSubjColSize(layout.SubjColSize, Panes_->ColumnWidths()));
    ExecuteOnce(QStringLiteral("ToolbarAction"), !layout.ToolbarVisible);
    RestoreToolbar(this, Actions->ToolBar(), layout, Action(QStringLiteral("ToolbarAction"))->isChecked());
    ExecuteOnce(QStringLiteral("FullScreenAction"), layout.FullScreen);
    ExecuteOnce(QStringLiteral("BigTreeAction"), layout.BigTree);
    ExecuteOnce(QStringLiteral("ThreadModeAction"), layout.ThreadsView);
}

void TViewForm::ExecuteOnce(const QString& action, bool when) {
    if (when)
        Action(action)->trigger();
}

} // namespace tavro::app
