#pragma once

#include <QMainWindow>
#include <QPointer>

#include <memory>
#include <vector>

namespace tavro {
class TEcho;
class TUser;
} // namespace tavro

namespace tavro::app {

class TAreaTree;
class TMessageDisplay;
class TMsgListPane;
class TReaderCompose;
class TReaderOperations;
class TReaderMoves;
class TViewerActions;
class TViewerArea;
class TViewerPanes;
class TViewerStatusBar;
class TWindowTray;
struct TViewLayout;

// The reader window: area tree, message list and message pane under the menus and the
// toolbar, with a status bar of three panels. Its layout lives in section "Viewer" of the
// layout file.
class TViewForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TViewForm(QWidget* parent = nullptr);
    ~TViewForm() override;

    TUser* CurrentUser() const { return CurrentUser_; }
    void SetCurrentUser(TUser* user);

    // Status panels 0..2 and the progress bar over panel 1; -1 is a busy bar. They repaint
    // at once, as their callers are busy loops.
    void ShowProgress(int percent);
    void HideProgress();
    void SetStatusText(int panel, const QString& text);
    QString StatusText(int panel) const;

    // Out of the tray (or out of minimised) and to the front.
    void RestoreFromTray();

    // The netmail area made from the netmail path, or null; rebuilt after the settings change.
    TEcho* FallbackNetmailArea() const { return FallbackNetmail.get(); }
    void RebuildFallbackNetmailArea();

    // The layout file's section "Viewer".
    void SaveLayout() const;
    void RestoreLayout();
    // The window state read from the layout (0 normal, 1 minimised, 2 maximised), applied
    // when the window is first shown.
    int SavedWindowState() const { return SavedWindowState_; }

    QAction* Action(const QString& name) const;
    TViewerPanes* Panes() const { return Panes_; }
    TAreaTree* AreaTree() const { return AreaTree_; }
    TMsgListPane* ListPane() const { return ListPane_; }
    TViewerArea* Area() const { return Area_; }
    TMessageDisplay* Display() const { return Display_; }
    TReaderMoves* Moves() const { return Moves_; }
    TReaderCompose* Compose() const { return Compose_; }
    TReaderOperations* Operations() const { return Operations_; }
    QMenu* FavouritesMenu() const;
    TViewerStatusBar* StatusBar() const { return Status; }

    bool ShowKludges() const;
    bool ThreadsMode() const;
    bool FullScreen() const;
    bool BigTree() const;

signals:
    // The window was closed; the shell ends the program when nothing else is left.
    void Closed();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    QMenu* createPopupMenu() override;
    // Whether the desktop offers a system tray; a seam for tests.
    virtual bool TrayAvailable() const;

private:
    void ConnectCommands();
    void UpdateActions();
    void FullScreenToggled(bool on);
    void BigTreeToggled(bool on);
    TViewLayout CurrentLayout() const;
    void ExecuteOnce(const QString& action, bool when);
    void BuildReader();
    void SetCaption(const QString& name, bool hasNode);
    void ShowOpenedArea();

    TViewerPanes* Panes_ = nullptr;
    TAreaTree* AreaTree_ = nullptr;
    TMsgListPane* ListPane_ = nullptr;
    TViewerArea* Area_ = nullptr;
    TMessageDisplay* Display_ = nullptr;
    TReaderCompose* Compose_ = nullptr;
    TReaderOperations* Operations_ = nullptr;
    TReaderMoves* Moves_ = nullptr;
    TViewerActions* Actions = nullptr;
    TViewerStatusBar* Status = nullptr;
    TWindowTray* Tray = nullptr;
    TUser* CurrentUser_ = nullptr;
    std::unique_ptr<TEcho> FallbackNetmail;
    // Replaced fallback areas stay alive: an open composer may still write through one.
    std::vector<std::unique_ptr<TEcho>> RetiredNetmail;
    QPointer<QWidget> FocusBeforeFullScreen;
    int SavedWindowState_ = 0;
    bool Shown = false;
};

} // namespace tavro::app
